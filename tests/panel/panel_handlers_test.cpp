// The panel's controls, chords, moves and close.
#include "fw/runtime/text.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

using namespace SettingsModule;

class PanelTest : public ProgramTest {
  protected:
    void StartWith(const std::string& settings) {
        WriteSettingsOverDefaults(settings);
        Start();
        p = Panel();
    }
    std::vector<bool> ShownWindows() {
        std::vector<bool> v;
        for (int n = 1; n <= 4; ++n) v.push_back(Shown(n));
        return v;
    }
    fw::String Caption() { return p->PushButton1()->Caption(); }
    fw::Ref<Window2> p;
};

TEST_F(PanelTest, ButtonHidesAllFourAndShowsWhatNumDWAllows) {
    StartWith("#NumDW 2\n");
    EXPECT_EQ(ShownWindows(), (std::vector<bool>{true, true, false, false}));
    StateModule::w2Fixed = true;
    p->PushButton1()->Push();
    EXPECT_EQ(Caption(), fw::String("Show"));
    EXPECT_EQ(ShownWindows(), (std::vector<bool>{false, false, false, false}));
    p->PushButton1()->Push();
    EXPECT_EQ(Caption(), fw::String("Hide"));
    EXPECT_EQ(ShownWindows(), (std::vector<bool>{true, true, false, false}));
    EXPECT_TRUE(StateModule::w2Fixed);  // visibility only
}

struct Chord {
    const char* name;
    bool control, shift, option, command;
    const char* captionBefore;
    const char* captionAfter;
};

class ChordTest : public PanelTest, public ::testing::WithParamInterface<Chord> {};

TEST_P(ChordTest, OneTickOfTheTimer) {
    const Chord& c = GetParam();
    StartWith("");
    if (fw::String(c.captionBefore) == fw::String("Show")) p->PushButton1()->Push();
    h.SetModifiers(c.control, c.shift, c.option, c.command);
    h.AdvanceClock(50);
    EXPECT_EQ(Caption(), fw::String(c.captionAfter));
    EXPECT_EQ(Shown(1), fw::String(c.captionAfter) == fw::String("Hide"));
}

INSTANTIATE_TEST_SUITE_P(
    Chords, ChordTest,
    ::testing::Values(Chord{"ControlShiftShows", true, true, false, false, "Show", "Hide"},
                      Chord{"ControlShiftWhenShown", true, true, false, false, "Hide", "Hide"},
                      Chord{"OptionShiftHides", false, true, true, false, "Hide", "Show"},
                      Chord{"OptionShiftWhenHidden", false, true, true, false, "Show", "Show"},
                      Chord{"CommandDoesNotMatter", true, true, false, true, "Show", "Hide"},
                      Chord{"ShiftAlone", false, true, false, false, "Show", "Show"},
                      Chord{"ControlOptionNoShift", true, false, true, false, "Hide", "Hide"},
                      // Shown by the first test, hidden again by the second.
                      Chord{"AllThreeWhenHidden", true, true, true, false, "Show", "Show"},
                      Chord{"AllThreeWhenShown", true, true, true, false, "Hide", "Show"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PanelTest, AHeldChordActsOnceThenSwitchingChordsActsAgain) {
    StartWith("");
    p->PushButton1()->Push();  // hidden
    h.SetModifiers(true, true, false);
    h.AdvanceClock(50);
    ASSERT_EQ(Caption(), fw::String("Hide"));
    h.AdvanceClock(200);
    EXPECT_EQ(Caption(), fw::String("Hide"));
    EXPECT_TRUE(Shown(1));
    h.SetModifiers(false, true, true);
    h.AdvanceClock(50);
    EXPECT_EQ(Caption(), fw::String("Show"));
    EXPECT_FALSE(Shown(1));
}

TEST_F(PanelTest, TriangleShrinksAndExpandsOnlyOnceThePanelIsOpen) {
    StartWith("");
    p->DisclosureTriangle1()->Click(5, 5);
    EXPECT_EQ(p->Height(), 22);
    EXPECT_EQ(p->StaticText1()->Text(), fw::String("Expand"));
    EXPECT_EQ(ShrinkWindow, fw::String("True"));
    EXPECT_EQ(p->Width(), 160);
    p->DisclosureTriangle1()->Click(5, 5);
    EXPECT_EQ(p->Height(), 232);
    EXPECT_EQ(p->StaticText1()->Text(), fw::String("Shrink"));
    EXPECT_EQ(ShrinkWindow, fw::String("False"));

    StateModule::PanelOpened = false;
    p->DisclosureTriangle1()->Click(5, 5);
    EXPECT_EQ(p->Height(), 232);
    EXPECT_EQ(ShrinkWindow, fw::String("False"));
}

TEST_F(PanelTest, CheckboxSetsCrosshairsOnlyOnceThePanelIsOpen) {
    StartWith("");
    p->Checkbox1()->Click();
    EXPECT_EQ(Crosshairs, fw::String("True"));
    p->Checkbox1()->Click();
    EXPECT_EQ(Crosshairs, fw::String("False"));
    StateModule::PanelOpened = false;
    p->Checkbox1()->Click();
    EXPECT_EQ(Crosshairs, fw::String("False"));
}

struct SliderCase {
    int32_t value;
    double mag;
    const char* label;
};

class SliderTest : public PanelTest, public ::testing::WithParamInterface<SliderCase> {};

TEST_P(SliderTest, EachSliderSetsItsOwnMagnificationAndLabel) {
    StartWith("");
    double* mags[4] = {&MyMag, &MyMag2, &MyMag3, &MyMag4};
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        p->Slider(n)->DragTo(GetParam().value);
        EXPECT_EQ(*mags[n - 1], GetParam().mag);
        EXPECT_EQ(p->Label(n)->Text(), fw::String(GetParam().label));
        for (int k = n + 1; k <= 4; ++k) EXPECT_EQ(*mags[k - 1], 2.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, SliderTest,
                         ::testing::Values(SliderCase{10, 1.0, "1.0"}, SliderCase{35, 3.5, "3.5"},
                                           SliderCase{60, 6.0, "6.0"}));

TEST_F(PanelTest, SliderBeforeThePanelOpensChangesNothing) {
    StartWith("");
    StateModule::PanelOpened = false;
    p->Slider2()->DragTo(45);
    EXPECT_EQ(MyMag2, 2.0);
    EXPECT_EQ(p->Label2()->Text(), fw::String("2.0"));
}

struct LabelCase {
    double mag;
    const char* text;
};

class LabelOpenTest : public PanelTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(LabelOpenTest, OneDigitTextsGainTheirDecimal) {
    StartWith("");
    MyMag3 = GetParam().mag;
    p->Label3_Open(p->Label3());
    EXPECT_EQ(p->Label3()->Text(), fw::String(GetParam().text));
    EXPECT_EQ(StateModule::MagTextLength, fw::StringDBCSLen(fw::StringStrDouble(GetParam().mag)));
}

INSTANTIATE_TEST_SUITE_P(Values, LabelOpenTest,
                         ::testing::Values(LabelCase{2.0, "2.0"}, LabelCase{0.0, "0.0"},
                                           LabelCase{2.5, "2.5"}, LabelCase{10.0, "10"}));

TEST_F(PanelTest, FirstMoveOfTheRunIsIgnoredAndLaterOnesRecorded) {
    StartWith("");
    // The start places the panel with moves of its own; the run's first Moved
    // is made the next one, whatever the start raised.
    StateModule::PanelMovedOnce = false;
    const int32_t top = Window2Top, left = Window2Left;
    p->SetTop(p->Top() + 15);
    EXPECT_TRUE(StateModule::PanelMovedOnce);
    EXPECT_EQ(Window2Top, top);
    EXPECT_EQ(Window2Left, left);
    p->SetTop(80);
    p->SetLeft(90);
    EXPECT_EQ(Window2Top, 80);
    EXPECT_EQ(Window2Left, 90);
}

TEST_F(PanelTest, CloseWritesTheSettingsOfThatMomentAndQuits) {
    StartWith("#NumDW 3\n");
    p->Slider1()->DragTo(35);
    p->Checkbox1()->Click();
    p->DisclosureTriangle1()->Click(5, 5);
    Display(2)->SetTop(77);
    p->SetTop(100);
    p->SetLeft(200);
    p->SetTop(101);
    p->Close();
    EXPECT_TRUE(h.QuitRequested());
    EXPECT_EQ(h.QuitCode(), 0);
    EXPECT_EQ(ReadSettings(),
              "#Window2Position 101,200\n#w1Position 50,180\n#w2Position 77,390\n"
              "#w3Position 50,600\n#w4Position 50,810\n#w1Size 100,200\n#w2Size 100,200\n"
              "#w3Size 100,200\n#w4Size 100,200\n#MyMag 3.5\n#MyMag2 2\n#MyMag3 2\n#MyMag4 2\n"
              "#ShrinkWindow True\n#Crosshairs True\n#NumDW 3\n");
}

TEST_F(PanelTest, SigtermQuitsThroughTheSameClose) {
    StartWith("");
    p->Slider4()->DragTo(50);
    h.RaiseSignal(SIGTERM);
    EXPECT_TRUE(h.QuitRequested());
    EXPECT_NE(ReadSettings().find("#MyMag4 5\n"), std::string::npos);
}

}  // namespace
}  // namespace apptest
