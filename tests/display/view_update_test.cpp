// The display windows' tick: when to capture, which rectangle, what is drawn.
#include "shell/program_fixture.h"

namespace apptest {
namespace {

using Call = CaptureLog::Call;
using Op = RecordingGraphics::Op;

class ViewTest : public ProgramTest {
  protected:
    // Display window 1 sized W x H with the given magnification, after start.
    void Prepare(int32_t scale, int32_t W, int32_t H, double mag) {
        Start(scale);
        w = Display(1);
        w->SetWidth(W);
        w->SetHeight(H);
        SettingsModule::MyMag = mag;
        w->lastx = w->lasty = -1;  // anything but the coming origin
        CaptureLog::calls.clear();
        drawn[1]->ops.clear();
    }
    void Tick() { w->Timer1_Action(w->Timer1()); }
    fw::Ref<DisplayWindow> w;
};

struct Example {
    double mag;
    int32_t scale;
    int32_t lastx, lasty;
    Call rect;
};

class WorkedExample : public ViewTest, public ::testing::WithParamInterface<Example> {};

TEST_P(WorkedExample, CapturesTheRectangleAroundTheMouse) {
    const Example& e = GetParam();
    Prepare(e.scale, 200, 100, e.mag);
    h.SetMouse(500, 300);
    Tick();
    EXPECT_EQ(w->lastx, e.lastx);
    EXPECT_EQ(w->lasty, e.lasty);
    ASSERT_EQ(CaptureLog::calls.size(), 1u);
    EXPECT_EQ(CaptureLog::calls[0], e.rect);
}

INSTANTIATE_TEST_SUITE_P(Table, WorkedExample,
                         ::testing::Values(Example{2.0, 1, 450, 275, {450, 275, 100, 50}},
                                           Example{2.0, 2, 450, 275, {475, 287, 100, 50}},
                                           Example{2.5, 1, 460, 280, {460, 280, 80, 40}},
                                           Example{2.5, 2, 460, 280, {480, 290, 80, 40}},
                                           Example{3.0, 1, 466, 283, {466, 283, 66, 33}},
                                           // Any scale but 2 takes the standard view.
                                           Example{2.0, 3, 450, 275, {450, 275, 100, 50}}));

TEST_F(ViewTest, DrawsThePictureOverTheWindowAndCrosshairsThroughItsCentre) {
    Prepare(1, 200, 100, 2.0);
    Panel()->Checkbox1()->SetValue(true);
    h.SetMouse(500, 300);
    Tick();
    EXPECT_EQ(drawn[1]->ops, (std::vector<Op>{{"DrawPicture", {0, 0, 200, 100, 0, 0, 100, 50}},
                                              {"DrawLine", {0, 50, 200, 50}},
                                              {"DrawLine", {100, 0, 100, 100}}}));
}

TEST_F(ViewTest, NormalModeAtRestCapturesOnceAndThenNothing) {
    Prepare(1, 200, 100, 2.0);
    h.SetMouse(500, 300);
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(CaptureLog::calls.size(), 1u);
    EXPECT_EQ(drawn[1]->ops.size(), 1u);  // no crosshairs: the picture only
    h.SetMouse(501, 300);
    Tick();
    ASSERT_EQ(CaptureLog::calls.size(), 2u);
    EXPECT_EQ(CaptureLog::calls[1], (Call{451, 275, 100, 50}));
}

TEST_F(ViewTest, NewMagnificationShowsOnceItMovesTheOrigin) {
    Prepare(1, 200, 100, 2.0);
    h.SetMouse(500, 300);
    Tick();
    SettingsModule::MyMag = 2.5;
    Tick();
    ASSERT_EQ(CaptureLog::calls.size(), 2u);
    EXPECT_EQ(CaptureLog::calls[1], (Call{460, 280, 80, 40}));
}

TEST_F(ViewTest, FromFiveNineToSixTheOriginStaysAndNothingIsRedrawn) {
    Prepare(1, 74, 40, 5.9);
    h.SetMouse(500, 300);
    Tick();
    SettingsModule::MyMag = 6.0;
    Tick();
    EXPECT_EQ(CaptureLog::calls.size(), 1u);
}

TEST_F(ViewTest, FixedModeCapturesAtEveryTickAndLeavesTheNormalOrigin) {
    Prepare(1, 200, 100, 2.0);
    StateModule::w1Fixed = true;
    StateModule::w1FixedX = 500;
    StateModule::w1FixedY = 300;
    w->lastx = 7;
    w->lasty = 8;
    h.SetMouse(10, 10);
    for (int i = 0; i < 3; ++i) Tick();
    ASSERT_EQ(CaptureLog::calls.size(), 3u);
    for (const Call& c : CaptureLog::calls) EXPECT_EQ(c, (Call{450, 275, 100, 50}));
    EXPECT_EQ(w->lastx, 7);
    EXPECT_EQ(w->lasty, 8);
}

TEST_F(ViewTest, FixedModeScale2ShiftsFromTheIntegerOrigin) {
    Prepare(2, 200, 100, 2.0);
    StateModule::w1Fixed = true;
    StateModule::w1FixedX = 500;
    StateModule::w1FixedY = 300;
    Tick();
    ASSERT_EQ(CaptureLog::calls.size(), 1u);
    EXPECT_EQ(CaptureLog::calls[0], (Call{475, 287, 100, 50}));
}

TEST_F(ViewTest, NearTheEdgeTheRectangleIsPassedUnclamped) {
    Prepare(1, 200, 100, 2.0);
    h.SetMouse(10, 10);
    Tick();
    ASSERT_EQ(CaptureLog::calls.size(), 1u);
    EXPECT_EQ(CaptureLog::calls[0], (Call{-40, -15, 100, 50}));
}

TEST_F(ViewTest, NilPictureDrawsNothingAndNormalModeDoesNotRetryAtRest) {
    Prepare(1, 200, 100, 2.0);
    CaptureLog::answerNil = true;
    h.SetMouse(500, 300);
    Tick();
    Tick();
    EXPECT_EQ(CaptureLog::calls.size(), 1u);
    EXPECT_TRUE(drawn[1]->ops.empty());
    EXPECT_EQ(w->lastx, 450);
}

TEST_F(ViewTest, FirstOriginAtZeroDrawsNothingInNormalMode) {
    Prepare(1, 200, 100, 2.0);
    w->lastx = w->lasty = 0;
    h.SetMouse(50, 25);  // origin (0, 0)
    Tick();
    EXPECT_TRUE(CaptureLog::calls.empty());
}

TEST_F(ViewTest, HiddenWindowsKeepTickingOnTheirTimer) {
    WriteSettingsOverDefaults("#NumDW 1\n");
    Start();
    ASSERT_FALSE(Shown(4));
    StateModule::w4Fixed = true;
    StateModule::w4FixedX = 500;
    StateModule::w4FixedY = 300;
    CaptureLog::calls.clear();
    h.AdvanceClock(300);
    int forWindow4 = 0;
    for (const Call& c : CaptureLog::calls) forWindow4 += c == Call{450, 275, 100, 50};
    EXPECT_EQ(forWindow4, 3);
    EXPECT_EQ(drawn[4]->ops.size(), 3u);
}

TEST_F(ViewTest, MovesAndResizesAreRecordedOnceThePanelPlacedTheWindow) {
    Start();
    fw::Ref<DisplayWindow> w2 = Display(2);
    w2->SetTop(123);
    w2->SetLeft(456);
    EXPECT_EQ(SettingsModule::w2Top, 123);
    EXPECT_EQ(SettingsModule::w2Left, 456);
    EXPECT_EQ(SettingsModule::w2Height, 100);  // a move leaves the size alone
    w2->SetWidth(222);
    EXPECT_EQ(SettingsModule::w2Width, 222);
    EXPECT_EQ(SettingsModule::w2Top, 123);

    StateModule::w2Placed = false;
    w2->SetTop(10);
    w2->SetHeight(80);
    EXPECT_EQ(SettingsModule::w2Top, 123);
    EXPECT_EQ(SettingsModule::w2Height, 100);
}

TEST_F(ViewTest, DisplayWindowLayout) {
    Start();
    for (int n = 1; n <= 4; ++n) {
        fw::Ref<DisplayWindow> dw = Display(n);
        EXPECT_EQ(dw->MinWidth(), 74);
        EXPECT_EQ(dw->MinHeight(), 40);
        EXPECT_EQ(dw->Frame(), fw::Window::kFrameGlobalFloating);
        EXPECT_FALSE(dw->CloseButton());
        EXPECT_EQ(dw->LiveResize(), n >= 3);
        EXPECT_EQ(dw->Timer1()->Period(), 100);
        EXPECT_EQ(dw->GetClassInfo(), &DisplayWindowClass(n));
    }
    EXPECT_EQ(Display(2)->GetClassInfo()->Name(), "Window3.Window3");
}

}  // namespace
}  // namespace apptest
