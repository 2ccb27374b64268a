// The event loop: the application's Open, quitting (menu, code, signals) with
// every window's Close raised once, and the yield.
#include <gtest/gtest.h>

#include <QTimer>
#include <csignal>

#include "fw/runtime/loop.h"
#include "fw/testing/headless.h"
#include "fw/ui/application.h"
#include "ui_test_windows.h"

namespace {

// Closing the panel quits; the quit closes the rest.
struct Panel : uitest::ProbeWindow {
    Panel() {
        HookEvent(fw::WindowEvent::kClose, [this] {
            closesSeenByOthers = other ? other->IsOpen() : false;
            fw::RB_ApplicationQuit(0);
        });
    }
    fw::Ref<uitest::ProbeWindow> other;
    bool closesSeenByOthers = false;
};

class App : public fw::Application {
  public:
    void Event_Open() override {
        ++opens;
        if (quitOnOpen) fw::RB_ApplicationQuit(0);
    }
    int opens = 0;
    bool quitOnOpen = false;
};

class LoopTest : public ::testing::Test {
  protected:
    fw::testing::Headless headless;
};

fw::Ref<Panel> MakePanel() {
    auto p = fw::New<Panel>();
    p->Constructor();
    p->other = uitest::MakeProbe({{"Frame", 7}});
    return p;
}

TEST_F(LoopTest, ClosingThePanelQuitsAndClosesEveryWindowOnce) {
    auto panel = MakePanel();
    auto third = uitest::MakeProbe();
    panel->Close();
    EXPECT_TRUE(headless.QuitRequested());
    EXPECT_EQ(std::count(panel->log.begin(), panel->log.end(), "Close"), 1);
    EXPECT_EQ(std::count(panel->other->log.begin(), panel->other->log.end(), "Close"), 1);
    EXPECT_EQ(std::count(third->log.begin(), third->log.end(), "Close"), 1);
    // The panel's Close ran while the others were still open.
    EXPECT_TRUE(panel->closesSeenByOthers);
}

TEST_F(LoopTest, QuitFromCodeRunsThePanelsCloseFirstAndOnlyOnce) {
    auto panel = MakePanel();
    fw::RB_ApplicationQuit(3);
    fw::RB_ApplicationQuit(3);
    EXPECT_EQ(headless.QuitCode(), 3);  // the panel's own quit inside does not change it
    EXPECT_EQ(std::count(panel->log.begin(), panel->log.end(), "Close"), 1);
    EXPECT_EQ(std::count(panel->other->log.begin(), panel->other->log.end(), "Close"), 1);
}

TEST_F(LoopTest, TerminationSignalsTakeTheQuitPath) {
    for (int sig : {SIGTERM, SIGINT}) {
        auto panel = MakePanel();
        headless.StartApplication();  // installs the signal watch
        ASSERT_EQ(raise(sig), 0);
        headless.ProcessEvents();
        EXPECT_TRUE(headless.QuitRequested()) << sig;
        EXPECT_EQ(std::count(panel->log.begin(), panel->log.end(), "Close"), 1) << sig;
        EXPECT_EQ(panel->other->log.back(), "Close");
    }
}

TEST_F(LoopTest, RunRaisesOpenOnceAndReturnsAfterQuit) {
    auto app = fw::New<App>();
    app->quitOnOpen = true;
    fw::RuntimeRegisterAppObject(app);
    auto panel = MakePanel();
    fw::RuntimeRun();
    EXPECT_EQ(app->opens, 1);
    EXPECT_FALSE(panel->IsOpen());
    headless.StartApplication();
    EXPECT_EQ(app->opens, 1);
}

TEST_F(LoopTest, BackgroundTaskDeliversEventsWithoutReenteringTheYieldingHandler) {
    auto w = uitest::MakeProbe();
    int deliveries = 0, depth = 0, maxDepth = 0;
    std::function<void()> handler = [&] {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        ++deliveries;
        if (deliveries < 3) QTimer::singleShot(0, handler);  // arrives while it yields
        fw::RuntimeBackgroundTask();
        --depth;
    };
    QTimer::singleShot(0, handler);
    headless.ProcessEvents();
    EXPECT_EQ(deliveries, 3);
    EXPECT_EQ(maxDepth, 2);  // the queued event ran inside the yield, but no deeper
}

TEST_F(LoopTest, AnUncaughtExceptionIsReportedAndTheProgramGoesOn) {
    auto w = uitest::MakeProbe();
    auto timer = w->New<fw::Timer>();
    w->AddControl("Timer1", timer);
    fw::RuntimeMassPropertySetter(timer, {{"Period", 50}, {"Mode", 2}});
    int ticks = 0;
    fw::RuntimeAddEventHandler(timer, "Action", [&](const fw::Ref<fw::Object>&) {
        ++ticks;
        throw fw::NilObjectException("no main screen");
    });
    ::testing::internal::CaptureStderr();
    headless.AdvanceClock(100);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(ticks, 2);
    EXPECT_NE(err.find("NilObjectException: no main screen"), std::string::npos) << err;
}

TEST_F(LoopTest, TheExceptionHelperCarriesEveryDispatch) {
    static int through = 0;
    fw::RuntimeSetExceptionHelper([](void (*routine)(void*), void* arg) -> fw::Object* {
        ++through;
        routine(arg);
        return nullptr;
    });
    int ran = 0;
    fw::RuntimeDispatch([&] { ++ran; });
    fw::RuntimeSetExceptionHelper(nullptr);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(through, 1);
}

}  // namespace
