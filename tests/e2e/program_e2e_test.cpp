// The built program on a real X server (Xvfb with openbox), driven with xdotool
// and checked on screenshots of the root window.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Desktop;
using testsupport::Geometry;
using testsupport::Program;

class ProgramE2E : public testsupport::WithDesktop<::testing::Test> {
  protected:
    // Waits until the panel and the four windows are up.
    bool WaitForAllWindows() {
        for (const char* t : {"  Ostrel 4", "a", "c", "d", "f"})
            if (!desktop.FindWindow(t)) return false;
        return true;
    }
    void Settle() { std::this_thread::sleep_for(600ms); }
};

// The root window tiled with a 16 x 16 checkerboard of 8-pixel red and blue
// cells, so that every point's colour is known.
bool PaintPattern(const Desktop& d, const fs::path& dir) {
    const fs::path xbm = dir / "check.xbm";
    std::ofstream out(xbm);
    // The reader wants the values on lines of their own after the opening brace.
    out << "#define check_width 16\n#define check_height 16\nstatic char check_bits[] = {\n";
    for (int y = 0; y < 16; ++y) {
        const int row = (y / 8) ? 0xFF00 : 0x00FF;
        out << (y ? ",\n" : "") << "0x" << std::hex << (row & 0xFF) << ", 0x" << (row >> 8);
    }
    out << "};\n";
    out.close();
    return d.Run("xsetroot -bitmap " + xbm.string() + " -fg red -bg blue") == 0;
}
bool PatternRed(int x, int y) {
    return ((x / 8) + (y / 8)) % 2 == 0;
}
bool IsRed(const std::array<int, 3>& c) {
    return c[0] > 200 && c[2] < 60;
}
bool IsBlue(const std::array<int, 3>& c) {
    return c[2] > 200 && c[0] < 60;
}

// Share of the window's points that show the pattern enlarged twice around
// (cx, cy): window point (x, y) shows screen point (cx - W/4 + x/2, cy - H/4 + y/2).
double MatchEnlarged(const Desktop::Image& img, const Geometry& w, int cx, int cy) {
    int match = 0, total = 0;
    // Stay clear of a border the window manager might draw.
    for (int y = 4; y < w.height - 4; y += 3)
        for (int x = 4; x < w.width - 4; x += 3) {
            const int sx = cx - w.width / 4 + x / 2, sy = cy - w.height / 4 + y / 2;
            const auto c = img.At(w.x + x, w.y + y);
            ++total;
            if (PatternRed(sx, sy) ? IsRed(c) : IsBlue(c)) ++match;
        }
    return total ? double(match) / total : 0.0;
}

TEST_F(ProgramE2E, WindowsAppearAtTheirPlacesAndMagnifyAroundTheMouseOrTheFixedPoint) {
    ASSERT_TRUE(PaintPattern(desktop, config));
    desktop.Run("xdotool mousemove 600 500");
    Program program(desktop, config);
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    Settle();

    const struct {
        const char* title;
        int left;
    } windows[] = {{"a", 180}, {"c", 390}, {"d", 600}, {"f", 810}};
    for (const auto& w : windows) {
        Geometry g = desktop.GeometryOf(*desktop.FindWindow(w.title));
        EXPECT_EQ(g, (Geometry{w.left, 50, 200, 100})) << w.title;
    }
    Geometry panel = desktop.GeometryOf(*desktop.FindWindow("  Ostrel 4"));
    EXPECT_EQ(panel.x, 10);
    EXPECT_EQ(panel.width, 160);
    // The panel's menu bar lies above its content area, which starts at 55.
    EXPECT_LE(panel.y, 55);

    // The pattern the windows see, outside any window: a sanity check of the desktop.
    Desktop::Image img = desktop.Screenshot();
    ASSERT_GT(img.width, 0);
    ASSERT_TRUE(IsRed(img.At(600, 496)) || IsBlue(img.At(600, 496)));

    const Geometry a = desktop.GeometryOf(*desktop.FindWindow("a"));
    EXPECT_GT(MatchEnlarged(img, a, 600, 500), 0.97);

    // Fix window 1 on the point under the mouse, then move the mouse away.
    desktop.Run("xdotool key super+alt+a");
    std::this_thread::sleep_for(300ms);
    desktop.Run("xdotool mousemove 701 613");
    Settle();
    img = desktop.Screenshot();
    EXPECT_GT(MatchEnlarged(img, a, 600, 500), 0.97);
    // Window 2 still follows the mouse.
    const Geometry c = desktop.GeometryOf(*desktop.FindWindow("c"));
    EXPECT_GT(MatchEnlarged(img, c, 701, 613), 0.97);
}

TEST_F(ProgramE2E, ModifierChordsHideAndShowTheWindows) {
    Program program(desktop, config);
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    Settle();
    desktop.Run("xdotool keydown alt+shift");
    std::this_thread::sleep_for(300ms);
    desktop.Run("xdotool keyup alt+shift");
    Settle();
    for (const char* t : {"a", "c", "d", "f"}) EXPECT_FALSE(desktop.Visible(t)) << t;
    EXPECT_TRUE(desktop.Visible("  Ostrel 4"));

    desktop.Run("xdotool keydown ctrl+shift");
    std::this_thread::sleep_for(300ms);
    desktop.Run("xdotool keyup ctrl+shift");
    for (const char* t : {"a", "c", "d", "f"}) EXPECT_TRUE(desktop.FindWindow(t, 3s)) << t;
}

TEST_F(ProgramE2E, PanelMovedTwiceAndClosedByTheWindowManagerKeepsItsPlaceAcrossRuns) {
    Geometry moved, movedA;
    {
        Program program(desktop, config);
        ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
        Settle();
        const std::string panel = *desktop.FindWindow("  Ostrel 4");
        desktop.Run("xdotool windowmove " + panel + " 300 200");
        Settle();
        desktop.Run("xdotool windowmove " + panel + " 420 260");
        const std::string a = *desktop.FindWindow("a");
        desktop.Run("xdotool windowmove " + a + " 500 400");
        Settle();
        moved = desktop.GeometryOf(panel);
        movedA = desktop.GeometryOf(a);
        desktop.Run("xdotool windowactivate --sync " + panel + " key alt+F4");
        ASSERT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    }
    const std::string saved = SettingsText();
    ASSERT_FALSE(saved.empty());
    EXPECT_NE(saved.find("#Window2Position "), std::string::npos);
    EXPECT_EQ(saved.find("#Window2Position 55,10"), std::string::npos) << saved;

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Program program(desktop, config);
        ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
        Settle();
        const std::string panel = *desktop.FindWindow("  Ostrel 4");
        EXPECT_EQ(desktop.GeometryOf(panel), moved);
        EXPECT_EQ(desktop.GeometryOf(*desktop.FindWindow("a")), movedA);
        program.Signal(SIGTERM);
        ASSERT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    }
    EXPECT_EQ(SettingsText(), saved);
}

TEST_F(ProgramE2E, CtrlQQuitsThroughTheSameCloseAndSavesTheSettings) {
    Program program(desktop, config);
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    Settle();
    const std::string panel = *desktop.FindWindow("  Ostrel 4");
    desktop.Run("xdotool windowactivate --sync " + panel + " key ctrl+q");
    ASSERT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    EXPECT_NE(SettingsText().find("#Window2Position 55,10\n"), std::string::npos) << SettingsText();
}

TEST_F(ProgramE2E, MissingCaptureLibraryStopsTheStartWithAMessage) {
    // The program alone, with its platform library but no plug-in folder.
    const fs::path bin = config / "bin", lib = config / "lib";
    fs::create_directories(bin);
    fs::create_directories(lib);
    fs::copy_file(OSTREL4_PROGRAM, bin / "ostrel4");
    fs::create_symlink(OSTREL4_PLATFORM_LIB, lib / fs::path(OSTREL4_PLATFORM_LIB).filename());
    Program program(desktop, config, (bin / "ostrel4").string());
    std::optional<int> status = program.Wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    EXPECT_NE(program.Stderr().find("Zuvshot.dylib"), std::string::npos) << program.Stderr();
    EXPECT_FALSE(fs::exists(config / "ostrel4.txt"));
}

}  // namespace
