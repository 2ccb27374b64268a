// The Display Windows commands of the application menu.
#include <array>

#include "fw/runtime/exceptions.h"
#include "fw/ui/menu.h"
#include "shell/app.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

using Four = std::array<bool, 4>;

class DisplayWindowsTest : public ProgramTest {
  protected:
    // Every window shown and in Fixed mode, staring at a point of its own.
    void StartAllFixed() {
        WriteSettingsOverDefaults("#NumDW 4\n");
        Start();
        for (int n = 1; n <= 4; ++n) Fix(n);
    }
    void Fix(int n) {
        *StateModule::Display(n).fixed = true;
        *StateModule::Display(n).fixedX = 100 * n;
        *StateModule::Display(n).fixedY = 10 * n;
        Panel()->Alarm(n)->SetFillColor(FixedLightColor);
    }
    Four ShownWindows() { return {Shown(1), Shown(2), Shown(3), Shown(4)}; }
    Four Checked() {
        return {DisplayWindowsOne()->Checked(), DisplayWindowsTwo()->Checked(),
                DisplayWindowsThree()->Checked(), DisplayWindowsFour()->Checked()};
    }
    Four Fixed() {
        Four f;
        for (int n = 1; n <= 4; ++n) f[n - 1] = *StateModule::Display(n).fixed;
        return f;
    }
    Four WhiteLights() {
        Four f;
        for (int n = 1; n <= 4; ++n) f[n - 1] = Panel()->Alarm(n)->FillColor() == NormalLightColor;
        return f;
    }
    void ExpectFixedPointsKept() {
        for (int n = 1; n <= 4; ++n) {
            EXPECT_EQ(*StateModule::Display(n).fixedX, 100 * n) << n;
            EXPECT_EQ(*StateModule::Display(n).fixedY, 10 * n) << n;
        }
    }
};

struct Command {
    const char* item;
    int32_t n;
};

class EachCommandTest : public DisplayWindowsTest, public ::testing::WithParamInterface<Command> {};

// Windows up to n are shown and keep their mode; those above n are hidden and
// back in Normal mode with a white light, their fixed points untouched.
TEST_P(EachCommandTest, ShowsUpToNAndReturnsTheHiddenOnesToNormalMode) {
    const Command c = GetParam();
    StartAllFixed();
    Panel()->PushButton1()->SetCaption("Show");

    EXPECT_TRUE(fw::RuntimeChooseMenuItem(c.item));

    Four upToN, aboveN;
    for (int k = 1; k <= 4; ++k) {
        upToN[k - 1] = k <= c.n;
        aboveN[k - 1] = k > c.n;
    }
    Four onlyN{};
    onlyN[c.n - 1] = true;
    EXPECT_EQ(SettingsModule::NumDW, c.n);
    EXPECT_EQ(Checked(), onlyN);
    EXPECT_EQ(ShownWindows(), upToN);
    EXPECT_EQ(Fixed(), upToN);
    EXPECT_EQ(WhiteLights(), aboveN);
    ExpectFixedPointsKept();
    EXPECT_EQ(Panel()->PushButton1()->Caption(), fw::String("Hide"));
}

INSTANTIATE_TEST_SUITE_P(Commands, EachCommandTest,
                         ::testing::Values(Command{"DisplayWindowsOne", 1},
                                           Command{"DisplayWindowsTwo", 2},
                                           Command{"DisplayWindowsThree", 3},
                                           Command{"DisplayWindowsFour", 4}),
                         [](const auto& info) { return std::string(info.param.item); });

TEST_F(DisplayWindowsTest, EachHandlerReportsTheCommandHandled) {
    WriteSettingsOverDefaults("#NumDW 4\n");
    Start();
    fw::Ref<App> app = AppObject();
    EXPECT_TRUE(app->DisplayWindowsOne_Action());
    EXPECT_TRUE(app->DisplayWindowsTwo_Action());
    EXPECT_TRUE(app->DisplayWindowsThree_Action());
    EXPECT_TRUE(app->DisplayWindowsFour_Action());
    EXPECT_EQ(SettingsModule::NumDW, 4);
}

TEST_F(DisplayWindowsTest, AWindowFixedWhileHiddenByOneComesBackInNormalMode) {
    WriteSettingsOverDefaults("#NumDW 4\n");
    Start();
    Fix(3);
    ASSERT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsOne"));
    EXPECT_FALSE(Shown(3));
    EXPECT_FALSE(StateModule::w3Fixed);
    EXPECT_EQ(Panel()->Alarm3()->FillColor(), NormalLightColor);
    EXPECT_EQ(StateModule::w3FixedX, 300);
    EXPECT_EQ(StateModule::w3FixedY, 30);

    ASSERT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsFour"));
    EXPECT_TRUE(Shown(3));
    EXPECT_FALSE(StateModule::w3Fixed);
}

TEST_F(DisplayWindowsTest, FourLeavesAFixedWindowFixed) {
    WriteSettingsOverDefaults("#NumDW 2\n");
    Start();
    Fix(2);
    ASSERT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsFour"));
    EXPECT_EQ(ShownWindows(), (Four{true, true, true, true}));
    EXPECT_TRUE(StateModule::w2Fixed);
    EXPECT_EQ(Panel()->Alarm2()->FillColor(), FixedLightColor);
}

// Choosing the checked item again applies every step again, so it undoes
// whatever changed the windows since.
TEST_F(DisplayWindowsTest, TheCheckedCommandAgainRepeatsEveryStep) {
    WriteSettingsOverDefaults("#NumDW 4\n");
    Start();
    ASSERT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsTwo"));
    Display(3)->Show();
    Fix(4);
    DisplayWindowsOne()->SetChecked(true);
    Panel()->PushButton1()->SetCaption("Show");

    ASSERT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsTwo"));
    EXPECT_EQ(ShownWindows(), (Four{true, true, false, false}));
    EXPECT_EQ(Checked(), (Four{false, true, false, false}));
    EXPECT_FALSE(StateModule::w4Fixed);
    EXPECT_EQ(Panel()->Alarm4()->FillColor(), NormalLightColor);
    EXPECT_EQ(Panel()->PushButton1()->Caption(), fw::String("Hide"));
}

TEST_F(DisplayWindowsTest, TwoAfterTheButtonHidAllShowsTwoAndTheButtonReadsHide) {
    WriteSettingsOverDefaults("#NumDW 4\n");
    Start();
    Panel()->PushButton1()->Push();
    ASSERT_EQ(Panel()->PushButton1()->Caption(), fw::String("Show"));
    ASSERT_EQ(ShownWindows(), (Four{false, false, false, false}));

    ASSERT_TRUE(fw::RuntimeChooseMenuItem("DisplayWindowsTwo"));
    EXPECT_EQ(ShownWindows(), (Four{true, true, false, false}));
    EXPECT_EQ(Panel()->PushButton1()->Caption(), fw::String("Hide"));
}

// Without its window the command stops there; what came before stays done.
TEST_F(DisplayWindowsTest, AMissingWindowStopsTheCommandAfterTheStepsBeforeIt) {
    WriteSettingsOverDefaults("#NumDW 4\n");
    Start();
    Fix(4);
    Panel()->PushButton1()->Push();  // all hidden, caption "Show"
    fw::Ref<fw::Window> third = StateModule::w3Window;
    StateModule::w3Window.Reset();

    EXPECT_THROW(AppObject()->DisplayWindowsTwo_Action(), fw::NilObjectException);
    StateModule::w3Window = third;

    EXPECT_EQ(SettingsModule::NumDW, 2);
    EXPECT_EQ(Checked(), (Four{false, true, false, false}));
    EXPECT_EQ(Panel()->PushButton1()->Caption(), fw::String("Hide"));
    EXPECT_EQ(ShownWindows(), (Four{true, true, false, false}));
    EXPECT_TRUE(StateModule::w4Fixed);
    EXPECT_EQ(Panel()->Alarm4()->FillColor(), FixedLightColor);
}

}  // namespace
}  // namespace apptest
