// The twenty chords: registration, and what each press does to the state and
// the panel's status lights.
#include "shell/program_fixture.h"

namespace apptest {
namespace {

TEST_F(ProgramTest, TwentyChordsAreRegisteredInOrderUnderOneSignature) {
    Start();
    ASSERT_EQ(hotKeys->registered.size(), 20u);
    for (uint32_t i = 0; i < 20; ++i) {
        const auto& r = hotKeys->registered[i];
        EXPECT_EQ(r.id, i);
        EXPECT_EQ(r.signature, 0x5A555647u);
        EXPECT_EQ(r.modifiers, i < 10 ? 0x0900u : 0x1100u);
        EXPECT_EQ(r.keyCode, uint32_t(HotKeyModule::kHotKeys[i % 10].keyCode));
    }
    // Letters A, C, D, F, G, H, S, V, X, Z as ANSI key codes.
    const uint32_t codes[10] = {0, 8, 2, 3, 5, 4, 1, 9, 7, 6};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(hotKeys->registered[i].keyCode, codes[i]);
    EXPECT_TRUE(h.MessageBoxTexts().empty());
}

TEST_F(ProgramTest, FailedRegistrationIsReportedOnceAndTheRestStays) {
    failingHotKeys = {4, 17};
    Start();
    EXPECT_EQ(h.MessageBoxTexts(), std::vector<std::string>{"The Hotkey could not be registered!"});
    EXPECT_EQ(hotKeys->registered.size(), 18u);
}

struct PressCase {
    uint32_t id;
    int window;  // 0: none
    bool fixed;
};

class HotKeyPress : public ProgramTest, public ::testing::WithParamInterface<PressCase> {};

TEST_P(HotKeyPress, ActsOnItsWindowOnly) {
    Start();
    // Start from window 3 fixed elsewhere, so that every change shows.
    StateModule::w3Fixed = true;
    StateModule::w3FixedX = 11;
    StateModule::w3FixedY = 22;
    Panel()->Alarm3()->SetFillColor(FixedLightColor);
    h.SetMouse(640, 480);
    hotKeys->Press(GetParam().id);
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        const StateModule::DisplayState& st = StateModule::Display(n);
        const bool before = n == 3;
        const bool expected = n == GetParam().window ? GetParam().fixed : before;
        EXPECT_EQ(*st.fixed, expected);
        EXPECT_EQ(Panel()->Alarm(n)->FillColor(), expected ? FixedLightColor : NormalLightColor);
        if (n == GetParam().window && GetParam().fixed) {
            EXPECT_EQ(*st.fixedX, 640);
            EXPECT_EQ(*st.fixedY, 480);
        } else if (n == 3) {  // back to Normal keeps the point
            EXPECT_EQ(*st.fixedX, 11);
            EXPECT_EQ(*st.fixedY, 22);
        } else {
            EXPECT_EQ(*st.fixedX, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ids, HotKeyPress,
                         ::testing::Values(PressCase{0, 1, true}, PressCase{1, 2, true},
                                           PressCase{2, 3, true}, PressCase{3, 4, true},
                                           PressCase{10, 1, false}, PressCase{11, 2, false},
                                           PressCase{12, 3, false}, PressCase{13, 4, false},
                                           PressCase{4, 0, false}, PressCase{9, 0, false},
                                           PressCase{14, 0, false}, PressCase{19, 0, false}));

TEST_F(ProgramTest, SecondFixReplacesThePointAndHiddenWindowsChangeAllTheSame) {
    WriteSettingsOverDefaults("#NumDW 1\n");
    Start();
    ASSERT_FALSE(Shown(2));
    h.SetMouse(100, 200);
    hotKeys->Press(1);
    h.SetMouse(300, 400);
    hotKeys->Press(1);
    EXPECT_TRUE(StateModule::w2Fixed);
    EXPECT_EQ(StateModule::w2FixedX, 300);
    EXPECT_EQ(StateModule::w2FixedY, 400);
    EXPECT_EQ(Panel()->Alarm2()->FillColor(), FixedLightColor);
    EXPECT_FALSE(Shown(2));
}

TEST_F(ProgramTest, FixedWindowKeepsItsPointWhileTheMouseMoves) {
    Start();
    h.SetMouse(500, 300);
    hotKeys->Press(0);
    CaptureLog::calls.clear();
    h.SetMouse(900, 700);
    h.AdvanceClock(100);
    // Window 1 is 200 x 100 at magnification 2 by default.
    EXPECT_NE(std::find(CaptureLog::calls.begin(), CaptureLog::calls.end(),
                        CaptureLog::Call{450, 275, 100, 50}),
              CaptureLog::calls.end());
}

}  // namespace
}  // namespace apptest
