// The built program's ends on a real X server: asked to stop at any moment of
// a start made slow by a long settings file, its display going away, and no
// display to start on.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Desktop;
using testsupport::Program;

// The settings of the runs, as the writer writes them.
constexpr const char* kSettings =
    "#Window2Position 120,300\n#w1Position 60,200\n#w2Position 60,410\n#w3Position 60,620\n"
    "#w4Position 70,830\n#w1Size 110,210\n#w2Size 120,220\n#w3Size 130,230\n"
    "#w4Size 140,240\n#MyMag 3.5\n#MyMag2 2.5\n#MyMag3 4\n#MyMag4 1.5\n#ShrinkWindow False\n"
    "#Crosshairs True\n#NumDW 3\n";

// Comment lines before the settings keep the reader, and its yields to the
// event loop, going for a good part of a second.
std::string WithComments(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "' this line is a comment that the reader passes over\n";
    return text + kSettings;
}
constexpr int kSlowStart = 400000;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the process has a handler of its own for `sig` (it is past the point
// where the signal would simply end it).
bool Catches(pid_t pid, int sig) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (sig - 1)) & 1;
        }
    }
    return false;
}
bool WaitUntilCatching(pid_t pid, int sig) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!Catches(pid, sig)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class QuitE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ostrel4-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        config = tmpl;
    }
    void TearDown() override {
        if (!config.empty()) fs::remove_all(config);
    }
    fs::path SettingsPath() const { return config / "ostrel4.txt"; }
    bool WaitForAllWindows(const Desktop& desktop) {
        for (const char* t : {"  Ostrel 4", "a", "c", "d"})
            if (!desktop.FindWindow(t)) return false;
        return true;
    }

    fs::path config;
};

// When the request comes: a moment after the program began to watch for it
// (during the start, most of them while the settings are read), or once its
// windows are up.
struct StopCase {
    const char* name;
    int signal;
    std::optional<std::chrono::milliseconds> after;  // none: once the windows are up
};

void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.name;
}

class StopDuringStart : public QuitE2E, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopDuringStart, EndsNormallyAndSavesTheSettingsThatWereRead) {
    const StopCase& c = GetParam();
    Desktop desktop;
    if (!desktop.ok()) GTEST_SKIP() << "no Xvfb";
    std::ofstream(SettingsPath()) << WithComments(c.after ? kSlowStart : 10);
    Program program(desktop, config);
    ASSERT_TRUE(WaitUntilCatching(program.pid(), c.signal)) << program.Stderr();
    if (c.after) {
        std::this_thread::sleep_for(*c.after);
    } else {
        ASSERT_TRUE(WaitForAllWindows(desktop)) << program.Stderr();
    }
    program.Signal(c.signal);
    EXPECT_EQ(program.Wait(20s), std::optional<int>(0)) << program.Stderr();
    EXPECT_EQ(ReadFile(SettingsPath()), kSettings);
}

INSTANTIATE_TEST_SUITE_P(Moments, StopDuringStart,
                         ::testing::Values(StopCase{"TerminateAtOnce", SIGTERM, 0ms},
                                           StopCase{"TerminateSoon", SIGTERM, 100ms},
                                           StopCase{"TerminateWhileReading", SIGTERM, 200ms},
                                           StopCase{"InterruptWhileReading", SIGINT, 150ms},
                                           StopCase{"HangUpWhileReading", SIGHUP, 250ms},
                                           StopCase{"TerminateOnceUp", SIGTERM, std::nullopt},
                                           StopCase{"HangUpOnceUp", SIGHUP, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// Alt+Shift held from before the start hides the display windows, but only
// once the start has made them: the panel's key watch ticks after its Open.
TEST_F(QuitE2E, KeysHeldThroughASlowStartActOnceTheWindowsAreMade) {
    Desktop desktop;
    if (!desktop.ok()) GTEST_SKIP() << "no Xvfb";
    std::ofstream(SettingsPath()) << WithComments(kSlowStart);
    ASSERT_EQ(desktop.Run("xdotool keydown alt+shift"), 0);
    Program program(desktop, config);
    ASSERT_TRUE(desktop.FindWindow("  Ostrel 4", 20s)) << program.Stderr();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(desktop.Run("xdotool search --name '^a$' >/dev/null"), 0) << "never made";
    EXPECT_FALSE(desktop.Visible("a"));
    desktop.Run("xdotool keyup alt+shift");
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(20s), std::optional<int>(0)) << program.Stderr();
    EXPECT_EQ(program.Stderr().find("Exception"), std::string::npos) << program.Stderr();
    EXPECT_EQ(ReadFile(SettingsPath()), kSettings);
}

// A second run finds the hot keys taken by the first, and its start waits in
// the message that says so. A request to stop then (a log-out) still ends it,
// with its settings saved, instead of waiting for somebody to press OK.
TEST_F(QuitE2E, AStopWhileTheStartShowsAMessageEndsTheRun) {
    Desktop desktop;
    if (!desktop.ok()) GTEST_SKIP() << "no Xvfb";
    const fs::path firstConfig = config / "first";
    fs::create_directories(firstConfig);
    std::ofstream(firstConfig / "ostrel4.txt") << kSettings;
    Program first(desktop, firstConfig);
    ASSERT_TRUE(WaitForAllWindows(desktop)) << first.Stderr();
    ASSERT_FALSE(desktop.Visible("Ostrel 4"));

    std::ofstream(SettingsPath()) << kSettings;
    Program second(desktop, config);
    ASSERT_TRUE(desktop.FindWindow("Ostrel 4")) << second.Stderr();
    second.Signal(SIGTERM);
    EXPECT_EQ(second.Wait(20s), std::optional<int>(0)) << second.Stderr();
    EXPECT_EQ(ReadFile(SettingsPath()), kSettings);
    EXPECT_FALSE(desktop.Visible("Ostrel 4"));
}

// The X server goes away while the settings are read, or once the windows
// are up: the program ends with a message and leaves its file alone.
struct LossCase {
    const char* name;
    bool whileReading;
};

void PrintTo(const LossCase& c, std::ostream* os) {
    *os << c.name;
}

class DisplayLost : public QuitE2E, public ::testing::WithParamInterface<LossCase> {};

TEST_P(DisplayLost, EndsWithStatusOneAndAMessageAndLeavesTheFileAsItWas) {
    auto desktop = std::make_unique<Desktop>();
    if (!desktop->ok()) GTEST_SKIP() << "no Xvfb";
    const std::string display = desktop->display();
    const std::string settings = WithComments(GetParam().whileReading ? kSlowStart : 10);
    std::ofstream(SettingsPath()) << settings;
    Program program(*desktop, config);
    ASSERT_TRUE(WaitUntilCatching(program.pid(), SIGTERM)) << program.Stderr();
    if (GetParam().whileReading) {
        std::this_thread::sleep_for(150ms);
    } else {
        ASSERT_TRUE(WaitForAllWindows(*desktop)) << program.Stderr();
    }
    desktop.reset();  // the server and its window manager end

    EXPECT_EQ(program.Wait(20s), std::optional<int>(1)) << program.Stderr();
    const std::string err = program.Stderr();
    const std::string line = "ostrel4: lost the connection to the X display " + display + "\n";
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find("ostrel4:"), err.find(line)) << err;
    EXPECT_EQ(err.find("ostrel4:", err.find(line) + 1), std::string::npos) << err;
    EXPECT_EQ(ReadFile(SettingsPath()), settings);
}

INSTANTIATE_TEST_SUITE_P(Moments, DisplayLost,
                         ::testing::Values(LossCase{"WhileReading", true},
                                           LossCase{"OnceUp", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A display name that no server answers to.
std::string UnusedDisplay() {
    for (int n = 4321;; ++n)
        if (!fs::exists("/tmp/.X11-unix/X" + std::to_string(n))) return ":" + std::to_string(n);
}

struct NoDisplayCase {
    const char* name;
    std::string display;  // the variable as the program gets it
    std::string shown;
};

void PrintTo(const NoDisplayCase& c, std::ostream* os) {
    *os << c.name;
}

class NoDisplay : public QuitE2E, public ::testing::WithParamInterface<NoDisplayCase> {};

TEST_P(NoDisplay, SaysSoAndEndsWithStatusOne) {
    const NoDisplayCase& c = GetParam();
    std::ofstream(SettingsPath()) << kSettings;
    Program program(std::string(), config, OSTREL4_PROGRAM, {}, {c.display, "WAYLAND_DISPLAY"});
    EXPECT_EQ(program.Wait(), std::optional<int>(1)) << program.Stderr();
    EXPECT_EQ(program.Stderr(), "ostrel4: cannot open the X display " + c.shown + "\n");
    EXPECT_EQ(ReadFile(SettingsPath()), kSettings);
}

INSTANTIATE_TEST_SUITE_P(
    Displays, NoDisplay,
    ::testing::Values(NoDisplayCase{"Unset", "DISPLAY", "(DISPLAY is not set)"},
                      NoDisplayCase{"Empty", "DISPLAY=", "(DISPLAY is not set)"},
                      NoDisplayCase{"NoServer", "DISPLAY=" + UnusedDisplay(), UnusedDisplay()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuitE2E, AWaylandSessionStillShowsTheWindowsOnX11) {
    Desktop desktop;
    if (!desktop.ok()) GTEST_SKIP() << "no Xvfb";
    // What a Wayland session sets, with no compositor behind it: the program
    // must not try it.
    Program program(desktop, config, OSTREL4_PROGRAM, {},
                    {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-ostrel4-none",
                     "XDG_SESSION_TYPE=wayland"});
    ASSERT_TRUE(WaitForAllWindows(desktop)) << program.Stderr();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();
    EXPECT_NE(ReadFile(SettingsPath()).find("#Window2Position 55,10\n"), std::string::npos);
}

}  // namespace
