// The screen of a process that chose none: opened at its first use, tried
// again only after growing pauses while it cannot be opened, and beaten by any
// screen the process chooses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "../support/xvfb_server.h"
#include "platform/virtual.h"
#include "platform/x11.h"

namespace platform::x11 {
namespace {

using std::chrono::milliseconds;
using Time = std::chrono::steady_clock::time_point;

// An opener that fails `failures` times, then gives a one-display screen.
struct FakeDesktop {
    int failures = 0;
    int attempts = 0;
    Time now{};
    DesktopScreen screen{[this]() -> std::unique_ptr<Screen> {
                             ++attempts;
                             if (failures > 0) {
                                 --failures;
                                 return nullptr;
                             }
                             auto s = std::make_unique<VirtualScreen>();
                             s->Fill(s->AddDisplay({0, 0, 40, 30}), 0x00123456);
                             return s;
                         },
                         [this] { return now; }};
};

TEST(DesktopScreen, OpensAtTheFirstCallAndOnlyOnce) {
    FakeDesktop desktop;
    EXPECT_EQ(desktop.attempts, 0);
    PixelView view;
    Rect covered;
    ASSERT_TRUE(desktop.screen.Read(1, {0, 0, 4, 4}, &view, &covered));
    EXPECT_EQ(covered.width, 4);
    EXPECT_EQ(view.data[2], 0x12);
    ASSERT_EQ(desktop.screen.Displays().size(), 1u);
    EXPECT_EQ(desktop.screen.Displays()[0].bounds.width, 40);
    EXPECT_EQ(desktop.attempts, 1);
}

TEST(DesktopScreen, WithoutADisplayReadsFailAndTheOpenWaitsLongerAfterEachFailure) {
    FakeDesktop desktop;
    desktop.failures = 100;
    PixelView view;
    view.data = reinterpret_cast<const uint8_t*>("stale");
    Rect covered{1, 2, 3, 4};
    EXPECT_FALSE(desktop.screen.Read(1, {0, 0, 4, 4}, &view, &covered));
    EXPECT_EQ(view.data, nullptr);
    EXPECT_EQ(covered.width, 0);
    EXPECT_EQ(desktop.attempts, 1);
    // Each row: the time of a call since the first failure, and the attempts
    // made once it has run.
    const std::vector<std::pair<int, int>> schedule = {
        {0, 1},     {999, 1},    {1000, 2},   {2999, 2},   {3000, 3},
        {6999, 3},  {7000, 4},   {14999, 4},  {15000, 5},  {31000, 6},
        {63000, 7}, {126999, 7}, {127000, 8}, {191000, 9}, {255000, 10}};
    for (auto [at, attempts] : schedule) {
        desktop.now = Time{} + milliseconds(at);
        EXPECT_TRUE(desktop.screen.Displays().empty());
        EXPECT_EQ(desktop.attempts, attempts) << "at " << at << " ms";
    }
}

TEST(DesktopScreen, ADisplayThatComesLaterIsFoundAtTheNextTry) {
    FakeDesktop desktop;
    desktop.failures = 1;
    EXPECT_TRUE(desktop.screen.Displays().empty());
    desktop.now += DesktopScreen::kFirstRetry;
    EXPECT_EQ(desktop.screen.Displays().size(), 1u);
    desktop.now += DesktopScreen::kLongestRetry;
    desktop.screen.Displays();
    EXPECT_EQ(desktop.attempts, 2);
}

TEST(CurrentScreen, IsTheDisplayNamedByDisplayUntilAScreenIsChosen) {
    testsupport::XvfbServer server("320x240x24");
    ASSERT_TRUE(server.ok());
    ASSERT_EQ(setenv("DISPLAY", server.display().c_str(), 1), 0);
    std::vector<DisplayInfo> list = CurrentScreen().Displays();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].bounds.width, 320);
    EXPECT_EQ(list[0].bounds.height, 240);
    PixelView view;
    EXPECT_TRUE(CurrentScreen().Read(list[0].id, {0, 0, 8, 8}, &view));

    auto chosen = std::make_unique<VirtualScreen>();
    chosen->AddDisplay({0, 0, 10, 10});
    SetCurrentScreen(std::move(chosen));
    ASSERT_EQ(CurrentScreen().Displays().size(), 1u);
    EXPECT_EQ(CurrentScreen().Displays()[0].bounds.width, 10);

    SetCurrentScreen(nullptr);
    unsetenv("DISPLAY");
    EXPECT_TRUE(CurrentScreen().Displays().empty());
}

}  // namespace
}  // namespace platform::x11
