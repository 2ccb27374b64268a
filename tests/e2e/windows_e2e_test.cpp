// The program's windows on a desktop with a window manager: where they open,
// how they come back to the front, what stacks above what, and settings
// whose geometry is absurd. Driven through the menus with xdotool.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/program_run.h"
// Last: Xlib's macros would clash with names above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Geometry;
using testsupport::Program;

constexpr int kScreenWidth = 1280, kScreenHeight = 800;

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

class WindowsE2E : public testsupport::WithDesktop<::testing::TestWithParam<int>> {
  protected:
    int Scale() const { return GetParam(); }
    std::vector<std::string> ScaleEnvironment() const {
        return {"QT_SCALE_FACTOR=" + std::to_string(Scale())};
    }
    bool WaitForAllWindows() {
        for (const char* t : {"  Ostrel 4", "a", "c", "d", "f"})
            if (!desktop.FindWindow(t)) return false;
        std::this_thread::sleep_for(500ms);
        return true;
    }
    std::string Panel() { return *desktop.FindWindow("  Ostrel 4"); }

    // The window's frame: its own area and what the window manager put around it.
    Geometry Frame(const std::string& id) const {
        Geometry g = desktop.GeometryOf(id);
        int left = 0, right = 0, top = 0, bottom = 0;
        const std::string extents = desktop.Output("xprop -id " + id + " _NET_FRAME_EXTENTS");
        const auto eq = extents.find('=');
        if (eq != std::string::npos)
            std::sscanf(extents.c_str() + eq + 1, " %d, %d, %d, %d", &left, &right, &top, &bottom);
        return {g.x - left, g.y - top, g.width + left + right, g.height + top + bottom};
    }
    static bool OnScreen(const Geometry& f) {
        return f.x >= 0 && f.y >= 0 && f.x + f.width <= kScreenWidth &&
               f.y + f.height <= kScreenHeight;
    }

    // The managed windows from bottom to top, as decimal ids like xdotool's.
    std::vector<std::string> Stacking() const {
        std::vector<std::string> ids;
        std::string list = desktop.Output("xprop -root _NET_CLIENT_LIST_STACKING");
        const auto hash = list.find('#');
        if (hash == std::string::npos) return ids;
        std::replace(list.begin(), list.end(), ',', ' ');
        std::istringstream in(list.substr(hash + 1));
        for (std::string hex; in >> hex;)
            ids.push_back(std::to_string(std::stoul(hex, nullptr, 16)));
        return ids;
    }
    bool StacksAbove(const std::string& upper, const std::string& lower) const {
        const std::vector<std::string> s = Stacking();
        const auto u = std::find(s.begin(), s.end(), upper),
                   l = std::find(s.begin(), s.end(), lower);
        return u != s.end() && l != s.end() && u > l;
    }
    bool Iconic(const std::string& id) const {
        return desktop.Output("xprop -id " + id + " WM_STATE").find("Iconic") != std::string::npos;
    }

    // The panel's menu bar is too narrow for all its menus: the last two sit
    // behind the bar's extension button at its right end, which opens them
    // in a popup that the arrow keys walk.
    void ChooseFromExtension(const std::string& keys) {
        desktop.Run("xdotool windowactivate --sync " + Panel());
        const Geometry p = desktop.GeometryOf(Panel());
        const int s = Scale();
        desktop.Run("xdotool mousemove " + std::to_string(p.x + p.width - 5 * s) + " " +
                    std::to_string(p.y + 9 * s) + " click 1");
        std::this_thread::sleep_for(500ms);
        desktop.Run("xdotool key " + keys);
        std::this_thread::sleep_for(300ms);
    }
    void ShowHelp() { ChooseFromExtension("Down Down Right Return"); }
    void About() { ChooseFromExtension("Down Down Right Down Return"); }
    void DisplayWindowsFour() { ChooseFromExtension("Down Right Down Down Down Return"); }
    // The panel's Hide/Show button (27, 29, 60 x 20 on the panel, below its menu bar).
    void PushHideShow() {
        const Geometry p = desktop.GeometryOf(Panel());
        const int s = Scale(), menuBar = p.height - 232 * s;
        desktop.Run("xdotool mousemove " + std::to_string(p.x + 57 * s) + " " +
                    std::to_string(p.y + menuBar + 39 * s) + " click 1");
        std::this_thread::sleep_for(400ms);
    }
};

TEST_P(WindowsE2E, HelpAndAboutOpenWithTheirWholeFrameOnTheScreen) {
    Program program(desktop, config, OSTREL4_PROGRAM, {}, ScaleEnvironment());
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    ShowHelp();
    std::optional<std::string> help = desktop.FindWindow("Ostrel 4 Help");
    ASSERT_TRUE(help) << program.Stderr();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(OnScreen(Frame(*help))) << Frame(*help);
    About();
    std::optional<std::string> about = desktop.FindWindow("About...");
    ASSERT_TRUE(about) << program.Stderr();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(OnScreen(Frame(*about))) << Frame(*about);
    // The about box belongs to the panel and stays above the floating
    // windows, also when they are shown again.
    EXPECT_TRUE(StacksAbove(*about, *desktop.FindWindow("a")));
    DisplayWindowsFour();
    for (const char* t : {"a", "c", "d", "f"})
        EXPECT_TRUE(StacksAbove(*about, *desktop.FindWindow(t))) << t;
}

TEST_P(WindowsE2E, ShowHelpOnAnOpenHelpWindowRaisesItAboveThePanel) {
    Program program(desktop, config, OSTREL4_PROGRAM, {}, ScaleEnvironment());
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    ShowHelp();
    std::optional<std::string> help = desktop.FindWindow("Ostrel 4 Help");
    ASSERT_TRUE(help) << program.Stderr();
    const std::string panel = Panel();
    desktop.Run("xdotool windowactivate --sync " + panel);
    ASSERT_TRUE(Eventually([&] { return StacksAbove(panel, *help); }));
    ShowHelp();
    EXPECT_TRUE(Eventually([&] { return StacksAbove(*help, panel); }));
    EXPECT_EQ(desktop.Output("xdotool search --name '^Ostrel 4 Help$' | wc -l"), "1\n");
}

TEST_P(WindowsE2E, MinimisedDisplayWindowComesBackWithHideShowAndTheMenu) {
    Program program(desktop, config, OSTREL4_PROGRAM, {}, ScaleEnvironment());
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    const std::string a = *desktop.FindWindow("a"), c = *desktop.FindWindow("c");
    for (const std::string& w : {a, c}) desktop.Run("xdotool windowminimize " + w);
    ASSERT_TRUE(Eventually([&] { return Iconic(a) && Iconic(c); }));
    PushHideShow();  // Hide
    PushHideShow();  // Show
    EXPECT_TRUE(Eventually([&] { return !Iconic(a) && desktop.Visible("a"); }));
    desktop.Run("xdotool windowminimize " + a);
    ASSERT_TRUE(Eventually([&] { return Iconic(a); }));
    DisplayWindowsFour();
    EXPECT_TRUE(Eventually([&] { return !Iconic(a) && desktop.Visible("a"); }));
    EXPECT_TRUE(desktop.Visible("c"));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), std::optional<int>(0));
}

// Another client holds Super+Alt+A, one of the program's chords.
TEST_P(WindowsE2E, MessageBoxOfATakenHotKeyStacksAboveTheDisplayWindows) {
    Display* other = XOpenDisplay(desktop.display().c_str());
    ASSERT_NE(other, nullptr);
    XGrabKey(other, XKeysymToKeycode(other, XK_a), Mod4Mask | Mod1Mask, DefaultRootWindow(other),
             True, GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    Program program(desktop, config, OSTREL4_PROGRAM, {}, ScaleEnvironment());
    std::optional<std::string> box = desktop.FindWindow("Ostrel 4");
    ASSERT_TRUE(box) << program.Stderr();
    ASSERT_TRUE(WaitForAllWindows());
    for (const char* t : {"a", "c", "d", "f"})
        EXPECT_TRUE(Eventually([&] { return StacksAbove(*box, *desktop.FindWindow(t)); })) << t;
    EXPECT_TRUE(OnScreen(Frame(*box))) << Frame(*box);
    desktop.Run("xdotool windowactivate --sync " + *box + " key Return");
    EXPECT_TRUE(Eventually([&] { return !desktop.Visible("Ostrel 4"); }));
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), std::optional<int>(0));
    XCloseDisplay(other);
}

TEST_P(WindowsE2E, QuitLastInTheFileMenuQuitsThroughThePanelsCloseThatSaves) {
    Program program(desktop, config, OSTREL4_PROGRAM, {}, ScaleEnvironment());
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    desktop.Run("xdotool windowactivate --sync " + Panel());
    const Geometry p = desktop.GeometryOf(Panel());
    desktop.Run("xdotool mousemove " + std::to_string(p.x + 15 * Scale()) + " " +
                std::to_string(p.y + 9 * Scale()) + " click 1");
    std::this_thread::sleep_for(500ms);
    desktop.Run("xdotool key Down Down Return");
    ASSERT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    EXPECT_NE(SettingsText().find("#Window2Position 55,10\n"), std::string::npos) << SettingsText();
}

long PeakMemoryKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Sizes no screen holds and places no monitor has: the windows stay within
// the screen with their title bars in reach, take no more memory than
// screen-sized canvases, and the file gets what they really have.
TEST_P(WindowsE2E, AbsurdGeometryInTheSettingsGivesUsableWindowsAndIsSavedAsTheyAre) {
    std::ofstream(config / "ostrel4.txt")
        << "#Window2Position -5000,-5000\n#w1Position 2147483647,-2147483648\n"
           "#w2Position 50,390\n#w3Position 5000,5000\n#w4Position -40,600\n"
           "#w1Size 2147483647,2147483647\n#w2Size 32767,32767\n#w3Size 0,0\n#w4Size 100,200\n"
           "#MyMag 2\n#MyMag2 2\n#MyMag3 2\n#MyMag4 2\n#ShrinkWindow False\n#Crosshairs False\n"
           "#NumDW 4\n";
    Program program(desktop, config, OSTREL4_PROGRAM, {}, ScaleEnvironment());
    ASSERT_TRUE(WaitForAllWindows()) << program.Stderr();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(PeakMemoryKiB(program.pid()), 400 * 1024);
    const int s = Scale();
    struct Seen {
        const char* title;
        Geometry client;
    };
    std::vector<Seen> seen;
    for (const char* t : {"  Ostrel 4", "a", "c", "d", "f"}) {
        SCOPED_TRACE(t);
        const std::string id = *desktop.FindWindow(t);
        const Geometry f = Frame(id), g = desktop.GeometryOf(id);
        // Within the screen, title bar included (the window manager's thin
        // borders aside).
        EXPECT_LE(g.width, kScreenWidth);
        EXPECT_LE(g.y + g.height - f.y, kScreenHeight);
        // The title bar, above the window's own area, lies on the screen.
        EXPECT_GE(f.y, 0);
        EXPECT_LE(g.y, kScreenHeight);
        EXPECT_GE(std::min(f.x + f.width, kScreenWidth) - std::max(f.x, 0), std::min(f.width, 40));
        seen.push_back({t, g});
    }
    program.Signal(SIGTERM);
    ASSERT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    const std::string saved = SettingsText();
    EXPECT_EQ(saved.find("-5000"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("2147483647"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("32767"), std::string::npos) << saved;
    // The display windows' own areas are their geometry, in points (a pixel
    // of a window manager's border counts as a whole point).
    const auto points = [s](int pixels) { return std::to_string((pixels + s / 2) / s); };
    const char* keys[] = {"w1", "w2", "w3", "w4"};
    for (int n = 0; n < 4; ++n) {
        const Geometry& g = seen[size_t(n) + 1].client;
        const std::string position =
            "#" + std::string(keys[n]) + "Position " + points(g.y) + "," + points(g.x) + "\n";
        const std::string size =
            "#" + std::string(keys[n]) + "Size " + points(g.height) + "," + points(g.width) + "\n";
        EXPECT_NE(saved.find(position), std::string::npos) << position << saved;
        EXPECT_NE(saved.find(size), std::string::npos) << size << saved;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, WindowsE2E, ::testing::Values(1, 2),
                         [](const auto& info) { return "Scale" + std::to_string(info.param); });

}  // namespace
