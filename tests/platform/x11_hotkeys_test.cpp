// The X11 hot keys against a private Xvfb: chords pressed by xdotool, and a
// chord held by another client.
#include <gtest/gtest.h>
// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <poll.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../support/xvfb_server.h"
#include "platform/x11.h"

namespace platform::x11 {
namespace {

constexpr uint32_t kSig = 0x5a555647;
constexpr uint32_t kCmdOpt = carbon::kCommand | carbon::kOption;
constexpr uint32_t kCmdCtl = carbon::kCommand | carbon::kControl;

int SwallowErrors(Display*, XErrorEvent*) {
    return 0;
}

using Presses = std::vector<std::pair<uint32_t, uint32_t>>;

class X11HotKeysTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = new testsupport::XvfbServer("640x480x24"); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ok());
        hk_ = X11HotKeys::Open(server_->display().c_str());
        ASSERT_TRUE(hk_);
        hk_->SetCallback([this](uint32_t s, uint32_t id) { got_.emplace_back(s, id); });
    }

    // Waits on the descriptor as an event loop would, dispatching until `count`
    // presses have arrived or the server has been quiet for `quietMs`.
    void WaitFor(size_t count, int quietMs = 2000) {
        while (got_.size() < count) {
            hk_->Dispatch();  // Xlib may already hold events read during a sync
            if (got_.size() >= count) break;
            pollfd p{hk_->FileDescriptor(), POLLIN, 0};
            if (poll(&p, 1, quietMs) != 1) break;
            hk_->Dispatch();
        }
    }
    // Lets anything still on its way arrive, to prove nothing more comes.
    void Settle() {
        pollfd p{hk_->FileDescriptor(), POLLIN, 0};
        while (poll(&p, 1, 300) == 1) hk_->Dispatch();
        hk_->Dispatch();
    }
    void Key(const char* keys) { ASSERT_EQ(server_->Run(std::string("xdotool key ") + keys), 0); }

    static testsupport::XvfbServer* server_;
    std::unique_ptr<X11HotKeys> hk_;
    Presses got_;
};
testsupport::XvfbServer* X11HotKeysTest::server_ = nullptr;

TEST_F(X11HotKeysTest, DeliversEachPressOfAGrabbedChordOnceWithItsId) {
    ASSERT_EQ(hk_->Register(0, kCmdOpt, kSig, 0), 0);   // Command-Option-A
    ASSERT_EQ(hk_->Register(8, kCmdCtl, kSig, 11), 0);  // Command-Control-C
    ASSERT_GE(hk_->FileDescriptor(), 0);

    Key("super+alt+a");
    WaitFor(1);
    Settle();
    EXPECT_EQ(got_, (Presses{{kSig, 0}}));

    Key("super+ctrl+c super+alt+a");
    WaitFor(3);
    Key("super+alt+c ctrl+c a");  // not registered
    Settle();
    EXPECT_EQ(got_, (Presses{{kSig, 0}, {kSig, 11}, {kSig, 0}}));
    EXPECT_EQ(hk_->LastError(), 0);
}

TEST_F(X11HotKeysTest, TheProgramsTwentyChordsAllRegisterAndKeepTheirIds) {
    const uint32_t keys[10] = {0, 8, 2, 3, 5, 4, 1, 9, 7, 6};  // A C D F G H S V X Z
    for (uint32_t id = 0; id < 20; ++id)
        EXPECT_EQ(hk_->Register(keys[id % 10], id < 10 ? kCmdOpt : kCmdCtl, kSig, id), 0) << id;
    EXPECT_EQ(hk_->LastError(), 0);
    Key("super+ctrl+z super+alt+h super+ctrl+a");
    WaitFor(3);
    Settle();
    EXPECT_EQ(got_, (Presses{{kSig, 19}, {kSig, 5}, {kSig, 10}}));
}

TEST_F(X11HotKeysTest, ChordsFireWithCapsLockOrNumLockOn) {
    ASSERT_EQ(hk_->Register(3, kCmdOpt, kSig, 3), 0);  // Command-Option-F
    Key("Caps_Lock super+alt+f Caps_Lock");
    Key("Num_Lock super+alt+f Num_Lock");
    Key("Num_Lock Caps_Lock super+alt+f Caps_Lock Num_Lock");
    WaitFor(3);
    Settle();
    EXPECT_EQ(got_, (Presses{{kSig, 3}, {kSig, 3}, {kSig, 3}}));
}

TEST_F(X11HotKeysTest, AChordHeldByAnotherClientIsAFailureNotACrash) {
    Display* other = XOpenDisplay(server_->display().c_str());
    ASSERT_NE(other, nullptr);
    KeyCode d = XKeysymToKeycode(other, XK_d);
    XGrabKey(other, d, Mod4Mask | Mod1Mask, DefaultRootWindow(other), True, GrabModeAsync,
             GrabModeAsync);
    XSync(other, False);

    // A toolkit that swallows every X error, installed after the hot keys,
    // must not hide the refusal, and must find its handler in place afterwards.
    XErrorHandler before = XSetErrorHandler(SwallowErrors);
    EXPECT_EQ(hk_->Register(0, kCmdOpt, kSig, 0), 0);
    int32_t rc = hk_->Register(2, kCmdOpt, kSig, 2);  // Command-Option-D
    EXPECT_EQ(XSetErrorHandler(before), SwallowErrors);
    EXPECT_EQ(rc, kErrorChordTaken);
    EXPECT_EQ(hk_->LastError(), rc);
    EXPECT_EQ(hk_->Register(3, kCmdOpt, kSig, 3), 0);
    EXPECT_EQ(hk_->LastError(), rc);  // kept after a later success

    Key("super+alt+d super+alt+f");
    WaitFor(1);
    Settle();
    EXPECT_EQ(got_, (Presses{{kSig, 3}}));
    XCloseDisplay(other);
}

TEST_F(X11HotKeysTest, SecondObjectCannotTakeAChordAndUnregisterAllReleasesIt) {
    ASSERT_EQ(hk_->Register(9, kCmdCtl, kSig, 19), 0);
    auto second = X11HotKeys::Open(server_->display().c_str());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Register(9, kCmdCtl, kSig, 19), kErrorChordTaken);
    EXPECT_EQ(hk_->Register(9, kCmdCtl, kSig, 19), kErrorChordTaken);  // already ours

    hk_->UnregisterAll();
    EXPECT_EQ(second->Register(9, kCmdCtl, kSig, 19), 0);
    Key("super+ctrl+v");
    Settle();
    EXPECT_TRUE(got_.empty());
}

TEST_F(X11HotKeysTest, RefusesChordsItCannotExpress) {
    EXPECT_EQ(hk_->Register(10, kCmdOpt, kSig, 0), kErrorBadChord);
    EXPECT_EQ(hk_->Register(0, 0x0001, kSig, 0), kErrorBadChord);
    EXPECT_EQ(hk_->LastError(), kErrorBadChord);
}

TEST_F(X11HotKeysTest, HeldKeyFiresOnceDespiteAutoRepeat) {
    ASSERT_EQ(server_->Run("xset r rate 50 50"), 0);
    ASSERT_EQ(hk_->Register(1, kCmdOpt, kSig, 6), 0);  // Command-Option-S
    // Held for well past the repeat delay, so the server repeats the key.
    Key("super+alt+s");
    ASSERT_EQ(server_->Run("xdotool keydown super+alt+s sleep 0.4 keyup s keyup super+alt"), 0);
    WaitFor(2);
    Settle();
    EXPECT_EQ(got_, (Presses{{kSig, 6}, {kSig, 6}}));
    server_->Run("xset r rate 660 25");
}

TEST(X11HotKeysLost, StopsQuietlyOnceTheServerIsGone) {
    auto server = std::make_unique<testsupport::XvfbServer>("320x240x24");
    ASSERT_TRUE(server->ok());
    auto hk = X11HotKeys::Open(server->display().c_str());
    ASSERT_TRUE(hk);
    ASSERT_EQ(hk->Register(0, kCmdOpt, kSig, 0), 0);
    server.reset();
    hk->Dispatch();
    EXPECT_EQ(hk->FileDescriptor(), -1);
    EXPECT_EQ(hk->Register(8, kCmdOpt, kSig, 1), kErrorConnection);
    hk->UnregisterAll();
}

TEST(X11HotKeysLost, TheLossIsReportedOnceWithTheDisplaysName) {
    static int losses = 0;
    static std::string lostDisplay;
    SetConnectionLostHandler([](const char* name) {
        ++losses;
        lostDisplay = name;
    });
    auto server = std::make_unique<testsupport::XvfbServer>("320x240x24");
    ASSERT_TRUE(server->ok());
    const std::string display = server->display();
    auto hk = X11HotKeys::Open(display.c_str());
    ASSERT_TRUE(hk);
    EXPECT_EQ(losses, 0);
    server.reset();
    hk->Dispatch();
    hk->Register(8, kCmdOpt, kSig, 1);
    hk->UnregisterAll();
    SetConnectionLostHandler(nullptr);
    EXPECT_EQ(losses, 1);
    EXPECT_EQ(lostDisplay, display);
}

}  // namespace
}  // namespace platform::x11
