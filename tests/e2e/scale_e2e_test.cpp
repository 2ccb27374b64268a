// The program on desktops of one and two pixels per point, on desktops whose
// fractional scales it rounds to those, and on two monitors: every pixel of
// every display window is checked against the root pixel that the view rules
// give.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "e2e/coded_root.h"
#include "support/program_run.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Geometry;
using testsupport::Program;

int I(double v) {
    return int(v);  // the framework's conversion truncates
}

// A display window of W x H points, on the desktop at `g` in device pixels,
// magnifying `mag` times around the point (px, py): what each of its device
// pixels must show by the view update's rules at `scale` pixels per point.
// Points count from the main display's corner, `mainX` points from the
// screen's left. The capture's picture has one pixel per requested point; at
// two pixels per point it holds the top-left half of the shifted rectangle,
// its pixel k being the desktop's device pixel 2 * left + k from the main
// display's corner. Returns the mismatches.
std::string CheckView(const e2e::CodedRoot& root, const Geometry& g, int W, int H, double mag,
                      int px, int py, int scale, int mainX) {
    const int x0 = I(px - W / (2.0 * mag)), y0 = I(py - H / (2.0 * mag));
    int left = x0, top = y0;
    if (scale == 2) {
        left = I(x0 + W / (4.0 * mag));
        top = I(y0 + H / (4.0 * mag));
    }
    const int64_t pw = I(W / mag), ph = I(H / mag);
    const int hy = I(H / 2.0), vx = I(W / 2.0);
    const int64_t dw = int64_t(W) * scale, dh = int64_t(H) * scale;
    if (g.x < 0 || g.y < 0 || g.x + dw > root.width || g.y + dh > root.height)
        return " not wholly on the screenshot";
    std::ostringstream out;
    int wrong = 0;
    for (int k = 0; k < dh; ++k) {
        for (int j = 0; j < dw; ++j) {
            const bool line = k / scale == hy || j / scale == vx;
            const uint32_t want =
                line ? 0u
                     : e2e::Coded(scale * (mainX + left) + int((2 * j + 1) * pw / (2 * dw)),
                                  scale * top + int((2 * k + 1) * ph / (2 * dh)));
            const uint32_t got = root.At(g.x + j, g.y + k);
            if (got != want && ++wrong <= 3)
                out << " (" << j << "," << k << "): " << std::hex << got << " not " << want
                    << std::dec;
        }
    }
    if (wrong) out << " - " << wrong << " of " << dw * dh << " pixels wrong";
    return out.str();
}

struct ScaleCase {
    const char* name;
    const char* variable;  // put into the program's environment, or null
    int xftDpi;            // the desktop's font resolution, or 0
    int scale;             // pixels per point the program must take
    // Null: one monitor. Else two, each half the screen's width, the main one
    // on this side ("left" or "right").
    const char* mainMonitor = nullptr;
};
void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.name;
}

// A desktop of 1280 x 800 points, on one monitor or on two of 640 x 800.
class ScaledDesktopE2E : public testsupport::WithDesktop<::testing::TestWithParam<ScaleCase>> {
  protected:
    ScaledDesktopE2E()
        : WithDesktop(std::to_string(1280 * GetParam().scale) + "x" +
                      std::to_string(800 * GetParam().scale) + "x24") {}
};

TEST_P(ScaledDesktopE2E, EveryWindowPixelShowsThePointOfInterestByTheScaleRules) {
    const ScaleCase& c = GetParam();
    const int s = c.scale;
    // Where the main display starts, in points from the screen's left: the
    // program's points count from there.
    int mainX = 0;
    if (c.mainMonitor) {
        const std::string w = std::to_string(640 * s), h = std::to_string(800 * s);
        const bool right = std::string(c.mainMonitor) == "right";
        const std::string leftName = right ? "left" : "*left",
                          rightName = right ? "*right" : "right";
        ASSERT_EQ(desktop.Run("xrandr --setmonitor '" + leftName + "' " + w + "/169x" + h +
                              "/211+0+0 screen >/dev/null"),
                  0);
        ASSERT_EQ(desktop.Run("xrandr --setmonitor '" + rightName + "' " + w + "/169x" + h +
                              "/211+" + w + "+0 none >/dev/null"),
                  0);
        if (right) mainX = 640;
    }
    const auto points = [&](int x) { return std::to_string(x - mainX); };
    ASSERT_TRUE(e2e::PaintCodedRoot(desktop.display()));
    if (c.xftDpi) {
        std::ofstream(config / "resources") << "Xft.dpi: " << c.xftDpi << "\n";
        ASSERT_EQ(desktop.Run("xrdb -nocpp -load " + (config / "resources").string()), 0);
    }
    // Windows in points, away from the points of interest; four magnifications.
    // With the main display on the left at two pixels per point, windows d and
    // f lie on the other monitor.
    const std::string settings =
        "#Window2Position 55," + points(10) + "\n#w1Position 50," + points(180) +
        "\n#w2Position 50," + points(390) + "\n#w3Position 60," + points(600) +
        "\n#w4Position 50," + points(810) +
        "\n#w1Size 100,200\n#w2Size 100,200\n#w3Size 121,201\n"
        "#w4Size 100,200\n#MyMag 2\n#MyMag2 3\n#MyMag3 2.5\n#MyMag4 6\n#ShrinkWindow False\n"
        "#Crosshairs True\n#NumDW 4\n";
    std::ofstream(config / "ostrel4.txt") << settings;
    struct View {
        const char* title;
        int left, top, width, height;
        double mag;
    } const views[] = {{"a", 180, 50, 200, 100, 2},
                       {"c", 390, 50, 200, 100, 3},
                       {"d", 600, 60, 201, 121, 2.5},
                       {"f", 810, 50, 200, 100, 6}};

    auto mouse = [&](int x, int y) {
        desktop.Run("xdotool mousemove " + std::to_string(x * s) + " " + std::to_string(y * s));
    };
    // The points of interest lie on either monitor, each view's rectangle
    // wholly on one.
    mouse(480, 500);
    std::vector<std::string> environment;
    if (c.variable) environment.emplace_back(c.variable);
    Program program(desktop, config, OSTREL4_PROGRAM, {}, environment);
    std::vector<std::string> ids;
    for (const View& v : views) {
        std::optional<std::string> id = desktop.FindWindow(v.title);
        ASSERT_TRUE(id) << v.title << program.Stderr();
        ids.push_back(*id);
        // Positions and sizes are points.
        EXPECT_EQ(desktop.GeometryOf(*id),
                  (Geometry{v.left * s, v.top * s, v.width * s, v.height * s}))
            << v.title;
    }

    // Each window's view around its point of interest, waited for since the
    // windows draw at their own ticks.
    auto showsViews = [&](auto pointOf) {
        std::string failures;
        const auto end = std::chrono::steady_clock::now() + 10s;
        do {
            const e2e::CodedRoot root = e2e::GrabRoot(desktop.display());
            failures.clear();
            for (size_t i = 0; i < std::size(views); ++i) {
                const View& v = views[i];
                const auto [px, py] = pointOf(v.title);
                const std::string f = CheckView(root, desktop.GeometryOf(ids[i]), v.width, v.height,
                                                v.mag, px - mainX, py, s, mainX);
                if (!f.empty()) failures += std::string("\n") + v.title + ":" + f;
            }
            if (failures.empty()) return failures;
            std::this_thread::sleep_for(200ms);
        } while (std::chrono::steady_clock::now() < end);
        return failures;
    };
    using Point = std::pair<int, int>;
    EXPECT_EQ(showsViews([](const char*) { return Point{480, 500}; }), "");

    // Window a fixed on the mouse; the others go on following it.
    desktop.Run("xdotool key super+alt+a");
    std::this_thread::sleep_for(300ms);
    mouse(831, 613);
    EXPECT_EQ(showsViews([](const char* t) {
                  return std::string(t) == "a" ? Point{480, 500} : Point{831, 613};
              }),
              "");

    program.Signal(SIGTERM);
    ASSERT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    // The same points are saved as were read.
    EXPECT_EQ(SettingsText(), settings);
}

const ScaleCase kScaleCases[] = {
    {"one_pixel_per_point", nullptr, 0, 1},
    {"two_pixels_per_point", "QT_SCALE_FACTOR=2", 0, 2},
    {"desktop_scaled_one_and_a_half", nullptr, 144, 2},
    {"factor_one_and_a_quarter", "QT_SCALE_FACTOR=1.25", 0, 1},
    {"two_monitors_the_main_one_right", nullptr, 0, 1, "right"},
    {"two_pixels_per_point_on_two_monitors", "QT_SCALE_FACTOR=2", 0, 2, "left"},
    {"two_pixels_per_point_the_main_monitor_right", "QT_SCALE_FACTOR=2", 0, 2, "right"},
};
INSTANTIATE_TEST_SUITE_P(Scales, ScaledDesktopE2E, ::testing::ValuesIn(kScaleCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
