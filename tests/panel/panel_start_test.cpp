// The control panel's start: settings read, panel and display windows placed,
// magnifications brought onto the sliders, crosshairs, hot keys last.
#include <cmath>

#include "fw/runtime/text.h"
#include "shell/program_fixture.h"

namespace apptest {
namespace {

using namespace SettingsModule;

TEST_F(ProgramTest, WithoutSettingsFileEverythingTakesItsDefault) {
    Start();
    fw::Ref<Window2> p = Panel();
    EXPECT_EQ(p->Top(), 55);
    EXPECT_EQ(p->Left(), 10);
    EXPECT_EQ(p->Width(), 160);
    EXPECT_EQ(p->Height(), 232);
    EXPECT_EQ(p->Title(), fw::String("  Ostrel 4"));
    EXPECT_EQ(p->StaticText1()->Text(), fw::String("Shrink"));
    EXPECT_TRUE(p->DisclosureTriangle1()->Value());
    EXPECT_EQ(p->PushButton1()->Caption(), fw::String("Hide"));
    EXPECT_FALSE(p->Checkbox1()->Value());
    EXPECT_TRUE(DisplayWindowsFour()->Checked());
    EXPECT_FALSE(DisplayWindowsOne()->Checked());

    const int32_t lefts[] = {180, 390, 600, 810};
    const char* titles[] = {"a", "c", "d", "f"};
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        fw::Ref<DisplayWindow> w = Display(n);
        EXPECT_EQ(w->Top(), 50);
        EXPECT_EQ(w->Left(), lefts[n - 1]);
        EXPECT_EQ(w->Width(), 200);
        EXPECT_EQ(w->Height(), 100);
        EXPECT_EQ(w->Title(), fw::String(titles[n - 1]));
        EXPECT_TRUE(Shown(n));
        EXPECT_TRUE(*StateModule::Display(n).placed);
        EXPECT_EQ(p->Slider(n)->Value(), 20);
        EXPECT_EQ(p->Label(n)->Text(), fw::String("2.0"));
        EXPECT_EQ(p->Alarm(n)->FillColor(), NormalLightColor);
    }
    // Positions set while placing are not taken for moves by the user.
    EXPECT_EQ(w1Left, 180);
    EXPECT_EQ(w4Width, 200);
    EXPECT_TRUE(StateModule::PanelOpened);
    EXPECT_EQ(hotKeys->registered.size(), 20u);
    EXPECT_TRUE(h.MessageBoxTexts().empty());
}

struct ShrinkCase {
    const char* text;
    bool shrunk;
};

class ShrinkStart : public ProgramTest, public ::testing::WithParamInterface<ShrinkCase> {};

TEST_P(ShrinkStart, OnlyTrueInAnyCaseStartsShrunk) {
    WriteSettingsOverDefaults(std::string("#ShrinkWindow ") + GetParam().text + "\n#NumDW 4\n");
    Start();
    fw::Ref<Window2> p = Panel();
    EXPECT_EQ(p->Height(), GetParam().shrunk ? 22 : 232);
    EXPECT_EQ(p->StaticText1()->Text(), fw::String(GetParam().shrunk ? "Expand" : "Shrink"));
    EXPECT_EQ(p->DisclosureTriangle1()->Value(), !GetParam().shrunk);
    EXPECT_EQ(p->Width(), 160);
}

INSTANTIATE_TEST_SUITE_P(Texts, ShrinkStart,
                         ::testing::Values(ShrinkCase{"True", true}, ShrinkCase{"true", true},
                                           ShrinkCase{"TRUE", true}, ShrinkCase{"False", false},
                                           ShrinkCase{"", false}, ShrinkCase{"yes", false}));

struct NumDWCase {
    int32_t numDW;
    int checked;    // 1..4
    int shownUpTo;  // windows 1..shownUpTo shown
};

class NumDWStart : public ProgramTest, public ::testing::WithParamInterface<NumDWCase> {};

TEST_P(NumDWStart, ChecksOneItemAndShowsTheAllowedWindows) {
    WriteSettingsOverDefaults("#NumDW " + std::to_string(GetParam().numDW) + "\n");
    Start();
    fw::Ref<fw::MenuItem> (*items[4])() = {&DisplayWindowsOne, &DisplayWindowsTwo,
                                           &DisplayWindowsThree, &DisplayWindowsFour};
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(items[k - 1]()->Checked(), k == GetParam().checked) << k;
        EXPECT_EQ(Shown(k), k <= GetParam().shownUpTo) << k;
        // Hidden windows are placed and ticking all the same.
        EXPECT_TRUE(*StateModule::Display(k).placed);
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, NumDWStart,
                         ::testing::Values(NumDWCase{0, 4, 1}, NumDWCase{-3, 4, 1},
                                           NumDWCase{1, 1, 1}, NumDWCase{2, 2, 2},
                                           NumDWCase{3, 3, 3}, NumDWCase{4, 4, 4},
                                           NumDWCase{5, 4, 4}));

struct MagCase {
    const char* text;
    int32_t slider;
    double mag;
    const char* label;
};

class MagnificationStart : public ProgramTest, public ::testing::WithParamInterface<MagCase> {};

TEST_P(MagnificationStart, ComesBackFromTheSliderOnItsGrid) {
    WriteSettingsOverDefaults(std::string("#MyMag2 ") + GetParam().text + "\n");
    Start();
    EXPECT_EQ(Panel()->Slider2()->Value(), GetParam().slider);
    EXPECT_EQ(MyMag2, GetParam().mag);
    EXPECT_EQ(Panel()->Label2()->Text(), fw::String(GetParam().label));
    EXPECT_EQ(MyMag, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Values, MagnificationStart,
                         ::testing::Values(MagCase{"0.0", 10, 1.0, "1.0"},
                                           MagCase{"0.5", 10, 1.0, "1.0"},
                                           MagCase{"2.5", 25, 2.5, "2.5"},
                                           MagCase{"6", 60, 6.0, "6.0"},
                                           MagCase{"7.3", 60, 6.0, "6.0"}));

TEST(MagnificationGrid, EveryTenthSurvivesTheSliderRoundTrip) {
    for (int k = 0; k <= 100; ++k) {
        const double mag = double(k) / 10.0;
        EXPECT_EQ(fw::RuntimeCvtReal64ToSInt32(mag * 10.0), k) << k;
    }
}

struct CrosshairsCase {
    const char* text;
    bool checked;
};

class CrosshairsStart : public ProgramTest, public ::testing::WithParamInterface<CrosshairsCase> {};

TEST_P(CrosshairsStart, OnlyTrueInAnyCaseChecksTheBox) {
    WriteSettingsOverDefaults(std::string("#Crosshairs ") + GetParam().text + "\n");
    Start();
    EXPECT_EQ(Panel()->Checkbox1()->Value(), GetParam().checked);
    // The box's Action during the start leaves the setting as it was read.
    EXPECT_EQ(Crosshairs, fw::String(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Texts, CrosshairsStart,
                         ::testing::Values(CrosshairsCase{"True", true},
                                           CrosshairsCase{"tRuE", true},
                                           CrosshairsCase{"False", false},
                                           CrosshairsCase{"", false}, CrosshairsCase{"1", false}));

TEST_F(ProgramTest, SavedGeometryPlacesPanelAndWindows) {
    WriteSettingsOverDefaults(
        "#Window2Position 120,40\n#w3Position 300,700\n#w3Size 150,250\n#NumDW 4\n"
        "#MyMag3 3\n");
    Start();
    EXPECT_EQ(Panel()->Top(), 120);
    EXPECT_EQ(Panel()->Left(), 40);
    EXPECT_EQ(Display(3)->Top(), 300);
    EXPECT_EQ(Display(3)->Left(), 700);
    EXPECT_EQ(Display(3)->Height(), 150);
    EXPECT_EQ(Display(3)->Width(), 250);
    EXPECT_EQ(Panel()->Label3()->Text(), fw::String("3.0"));
}

TEST_F(ProgramTest, PanelHasItsSeventeenControls) {
    Start();
    fw::Ref<Window2> p = Panel();
    EXPECT_EQ(p->ControlCount(), 17);
    EXPECT_EQ(p->PushButton1(), p->PushButton1());
    EXPECT_EQ(p->Timer1()->Period(), 50);
    EXPECT_EQ(p->Timer1()->Mode(), 2);
    EXPECT_EQ(p->Slider4()->Minimum(), 10);
    EXPECT_EQ(p->Slider4()->Maximum(), 60);
    EXPECT_EQ(p->Slider4()->Top(), 175);
    EXPECT_EQ(p->Alarm4()->Left(), 139);
    EXPECT_EQ(p->Checkbox1()->Caption(), fw::String("Crosshairs"));
    // A slider holds only values of its range.
    p->Slider1()->SetValue(0);
    EXPECT_EQ(p->Slider1()->Value(), 10);
    p->Slider1()->SetValue(75);
    EXPECT_EQ(p->Slider1()->Value(), 60);
}

}  // namespace
}  // namespace apptest
