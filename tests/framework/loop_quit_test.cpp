// The event loop: the application's Open, quitting (menu, code, signals) with
// every window's Close raised once, requests held back while an Open runs,
// and the yield.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <csignal>
#include <functional>
#include <ostream>
#include <string>

#include "fw/runtime/loop.h"
#include "fw/testing/headless.h"
#include "fw/ui/application.h"
#include "ui/peers.h"
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
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        auto panel = MakePanel();
        headless.StartApplication();  // installs the signal watch
        ASSERT_EQ(raise(sig), 0);
        headless.ProcessEvents();
        EXPECT_TRUE(headless.QuitRequested()) << sig;
        EXPECT_EQ(std::count(panel->log.begin(), panel->log.end(), "Close"), 1) << sig;
        EXPECT_EQ(panel->other->log.back(), "Close");
    }
}

// A panel whose Open yields a few times, as a long settings reader does; its
// Close quits, which closes the rest.
struct SlowPanel : Panel {
    SlowPanel() {
        HookEvent(fw::WindowEvent::kOpen, [this] {
            for (int i = 0; i < 5; ++i) fw::RuntimeBackgroundTask();
            log.push_back("Open done");
        });
    }
};

struct HeldRequest {
    const char* name;
    std::function<void(fw::testing::Headless&, const fw::Ref<fw::Window>& panel)> request;
};

void PrintTo(const HeldRequest& r, std::ostream* os) {
    *os << r.name;
}

class HeldRequestTest : public LoopTest, public ::testing::WithParamInterface<HeldRequest> {};

TEST_P(HeldRequestTest, ArrivingWhileOpenRunsItIsCarriedOutWhenOpenHasFinished) {
    headless.StartApplication();  // watches the signals
    auto other = uitest::MakeProbe({{"Frame", 7}});
    auto panel = fw::New<SlowPanel>();
    // Runs at the panel's first yield.
    headless.Post([this, panel] { GetParam().request(headless, panel); });
    panel->Constructor();
    headless.ProcessEvents();

    const auto done = std::find(panel->log.begin(), panel->log.end(), "Open done");
    ASSERT_NE(done, panel->log.end());
    EXPECT_EQ(std::count(done, panel->log.end(), "Close"), 1);
    EXPECT_EQ(std::count(panel->log.begin(), panel->log.end(), "Close"), 1);
    EXPECT_TRUE(headless.QuitRequested());
    EXPECT_EQ(headless.QuitCode(), 0);
    EXPECT_FALSE(panel->IsOpen() || other->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HeldRequestTest,
    ::testing::Values(
        HeldRequest{"Terminate", [](auto&, const auto&) { raise(SIGTERM); }},
        HeldRequest{"Interrupt", [](auto&, const auto&) { raise(SIGINT); }},
        HeldRequest{"HangUp", [](auto&, const auto&) { raise(SIGHUP); }},
        HeldRequest{"QuitFromCode", [](auto&, const auto&) { fw::RB_ApplicationQuit(0); }},
        HeldRequest{"CloseBox", [](auto& h, const auto& panel) { h.RequestClose(panel); }},
        HeldRequest{"ControlQ",
                    [](auto&, const auto& panel) {
                        QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
                        QApplication::sendEvent(panel->Peer()->Content(), &press);
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoopTest, ExitClosesEveryWindowOnceWhenACloseFreesTheOthers) {
    int closes = 0;
    {
        // Held by the framework alone: the panel's quit closes, and so frees,
        // the other window while the exit is still going through the windows.
        auto panel = fw::New<Panel>();
        panel->Constructor();
        auto other = uitest::MakeProbe();
        other->HookEvent(fw::WindowEvent::kClose, [&closes] { ++closes; });
    }
    fw::RuntimeExit();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(fw::RuntimeOpenWindows().empty());
    EXPECT_TRUE(headless.QuitRequested());
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
