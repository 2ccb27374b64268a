// The X11 input against a private Xvfb, driven by xdotool as another client.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "../support/eventually.h"
#include "../support/xvfb_server.h"
#include "platform/x11.h"

namespace platform::x11 {
namespace {

using testsupport::Eventually;

class X11InputTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = new testsupport::XvfbServer("1280x800x24"); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ok());
        SetPixelsPerPoint(1);
        server_->Run("xrandr --delmonitor left >/dev/null 2>&1");
        server_->Run("xrandr --delmonitor right >/dev/null 2>&1");
        input_ = X11Input::Open(server_->display().c_str());
        ASSERT_TRUE(input_);
    }
    void TearDown() override {
        SetPixelsPerPoint(1);
        server_->Run("xdotool keyup ctrl shift alt super");
    }
    static testsupport::XvfbServer* server_;
    std::unique_ptr<X11Input> input_;
};
testsupport::XvfbServer* X11InputTest::server_ = nullptr;

TEST_F(X11InputTest, MousePositionFollowsAnotherClientsMoves) {
    ASSERT_EQ(server_->Run("xdotool mousemove 300 200"), 0);
    EXPECT_TRUE(Eventually([&] { return input_->MousePosition().x == 300; }));
    EXPECT_EQ(input_->MousePosition().y, 200);

    ASSERT_EQ(server_->Run("xdotool mousemove 1279 0"), 0);
    EXPECT_TRUE(Eventually([&] { return input_->MousePosition().x == 1279; }));
    EXPECT_EQ(input_->MousePosition().y, 0);
}

TEST_F(X11InputTest, MousePositionIsInPointsFromTheMainDisplaysCorner) {
    ASSERT_EQ(server_->Run("xrandr --setmonitor '*right' 640/169x800/211+640+0 none >/dev/null"),
              0);
    ASSERT_EQ(server_->Run("xrandr --setmonitor left 640/169x800/211+0+0 screen >/dev/null"), 0);
    ASSERT_EQ(server_->Run("xdotool mousemove 100 300"), 0);
    EXPECT_TRUE(Eventually([&] { return input_->MousePosition().x == -540; }));
    EXPECT_EQ(input_->MousePosition().y, 300);
    SetPixelsPerPoint(2);
    EXPECT_EQ(input_->MousePosition().x, -270);
    EXPECT_EQ(input_->MousePosition().y, 150);
}

TEST_F(X11InputTest, ModifierStateIsTheLiveStateOfEachKey) {
    struct Case {
        const char* key;
        Modifiers expected;
    };
    const Case cases[] = {
        {"ctrl", {.control = true}},
        {"shift", {.shift = true}},
        {"alt", {.option = true}},
        {"super", {.command = true}},
        {"ctrl+shift", {.control = true, .shift = true}},
    };
    auto same = [](Modifiers a, Modifiers b) {
        return a.control == b.control && a.shift == b.shift && a.option == b.option &&
               a.command == b.command;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_EQ(server_->Run(std::string("xdotool keydown ") + c.key), 0);
        EXPECT_TRUE(Eventually([&] { return same(input_->ModifierState(), c.expected); }));
        ASSERT_EQ(server_->Run(std::string("xdotool keyup ") + c.key), 0);
        EXPECT_TRUE(Eventually([&] { return same(input_->ModifierState(), Modifiers{}); }));
    }
}

TEST_F(X11InputTest, StateIsThePointerAndTheKeysTogether) {
    ASSERT_EQ(server_->Run("xdotool mousemove 120 130 keydown shift"), 0);
    EXPECT_TRUE(Eventually([&] { return input_->State().modifiers.shift; }));
    const InputState s = input_->State();
    EXPECT_EQ(s.mouse.x, 120);
    EXPECT_EQ(s.mouse.y, 130);
    EXPECT_FALSE(s.modifiers.control);
}

// The keys come from the server's reports of each change. A report that
// arrives together with the answer to a pointer query is taken in with that
// answer, off the socket, and must still count.
TEST_F(X11InputTest, AKeyReportTakenInWithAPointerAnswerIsNotMissed) {
    for (const char* key : {"ctrl", "alt"}) {
        SCOPED_TRACE(key);
        ASSERT_EQ(server_->Run(std::string("xdotool keydown ") + key), 0);
        input_->MousePosition();
        const Modifiers m = input_->ModifierState();
        EXPECT_TRUE(std::string(key) == "ctrl" ? m.control : m.option);
        ASSERT_EQ(server_->Run(std::string("xdotool keyup ") + key), 0);
        input_->MousePosition();
        EXPECT_FALSE(input_->ModifierState().control || input_->ModifierState().option);
    }
}

TEST_F(X11InputTest, UseX11MakesTheX11BackEndsCurrent) {
    ASSERT_TRUE(UseX11(server_->display().c_str()));
    EXPECT_EQ(CurrentScreen().Displays().size(), 1u);
    EXPECT_GE(CurrentHotKeys().FileDescriptor(), 0);
    ASSERT_EQ(server_->Run("xdotool mousemove 33 44"), 0);
    EXPECT_TRUE(Eventually([] { return CurrentInput().MousePosition().x == 33; }));
    unsetenv("DISPLAY");  // so that the screen has no desktop to fall back on
    SetCurrentScreen(nullptr);
    SetCurrentInput(nullptr);
    SetCurrentHotKeys(nullptr);
    EXPECT_TRUE(CurrentScreen().Displays().empty());
}

TEST(X11InputLost, GivesTheOriginAndNoKeysOnceTheServerIsGone) {
    auto server = std::make_unique<testsupport::XvfbServer>("320x240x24");
    ASSERT_TRUE(server->ok());
    auto input = X11Input::Open(server->display().c_str());
    ASSERT_TRUE(input);
    server->Run("xdotool mousemove 50 60 keydown ctrl");
    ASSERT_TRUE(Eventually([&] { return input->ModifierState().control; }));
    server.reset();
    EXPECT_EQ(input->MousePosition().x, 0);
    EXPECT_FALSE(input->ModifierState().control);
}

}  // namespace
}  // namespace platform::x11
