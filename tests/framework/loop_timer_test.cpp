// Timers under the test clock.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>

#include "fw/runtime/loop.h"
#include "fw/system/input.h"
#include "fw/system/keyboard.h"
#include "fw/testing/headless.h"
#include "ui/ui_state.h"
#include "ui_test_windows.h"

namespace {

class TimerTest : public ::testing::Test {
  protected:
    fw::testing::Headless headless;
    std::vector<std::string> fired;

    fw::Ref<fw::Timer> AddTimer(fw::Window& w, const char* name, int32_t period, int32_t mode = 2) {
        auto t = fw::RuntimeCheckCast<fw::Timer>(w.New(fw::Timer::ClassInfo()));
        t->Constructor();
        w.AddControl(name, t);
        fw::RuntimeMassPropertySetter(w.ControlByName(name), {{"Period", period}, {"Mode", mode}});
        std::string label = name;
        fw::RuntimeAddEventHandler(t, "Action", [this, label](const fw::Ref<fw::Object>& sender) {
            ASSERT_TRUE(fw::RuntimeCheckCast<fw::Timer>(sender));
            fired.push_back(label + "@" + std::to_string(headless.Now()));
        });
        return t;
    }
};

TEST_F(TimerTest, DueTimersFireInDueTimeOrderOncePerElapsedPeriod) {
    auto panel = uitest::MakeProbe();
    auto view = uitest::MakeProbe({{"Visible", false}});  // hidden windows tick too
    AddTimer(*panel, "P", 50);
    AddTimer(*view, "V", 100);
    headless.AdvanceClock(49);
    EXPECT_TRUE(fired.empty());
    headless.AdvanceClock(201);
    EXPECT_EQ(fired, (std::vector<std::string>{"P@50", "P@100", "V@100", "P@150", "P@200", "V@200",
                                               "P@250"}));
    EXPECT_EQ(headless.Now(), 250);
}

// Work left for the end of a batch of ticks runs once the batch has ended, in
// the order it was left; a tick that yields to the event loop has it done
// first, and what runs during the yield is not held back for the batch.
TEST_F(TimerTest, WorkForTheEndOfABatchRunsWhenItEndsOrWhenATickYields) {
    EXPECT_FALSE(fw::detail::AtBatchEnd([] {}));  // outside a batch
    auto w = uitest::MakeProbe();
    std::vector<std::string> log;
    int tick = 0;
    fw::RuntimeAddEventHandler(AddTimer(*w, "P", 50), "Action", [&](const fw::Ref<fw::Object>&) {
        ++tick;
        log.push_back("tick " + std::to_string(tick));
        EXPECT_TRUE(fw::detail::AtBatchEnd([&log] { log.push_back("end 1"); }));
        EXPECT_TRUE(fw::detail::AtBatchEnd([&log] { log.push_back("end 2"); }));
        if (tick == 2) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [&log] {
                    const bool held = fw::detail::AtBatchEnd([] {});
                    log.push_back(held ? "held during the yield" : "during the yield");
                },
                Qt::QueuedConnection);
            fw::RuntimeBackgroundTask();
            log.push_back("yielded");
        }
    });
    fw::detail::AdvanceTestClock(100, [&] { log.push_back("batch over"); });
    EXPECT_EQ(log,
              (std::vector<std::string>{"tick 1", "end 1", "end 2", "batch over", "tick 2", "end 1",
                                        "end 2", "during the yield", "yielded", "batch over"}));
}

TEST_F(TimerTest, TimersWhosePeriodsDivideOneAnotherKeepInStep) {
    auto w = uitest::MakeProbe();
    AddTimer(*w, "P", 50);
    headless.AdvanceClock(30);
    // V starts on P's beat, at most one beat late; W shares no beat and keeps its own.
    AddTimer(*w, "V", 100);
    AddTimer(*w, "W", 30);
    headless.AdvanceClock(30);
    AddTimer(*w, "V2", 100);  // an equal period shares every tick of V
    headless.AdvanceClock(200);
    EXPECT_EQ(fired, (std::vector<std::string>{"P@50", "W@60", "W@90", "P@100", "W@120", "P@150",
                                               "V@150", "W@150", "W@180", "P@200", "W@210", "W@240",
                                               "P@250", "V@250", "V2@250"}));
}

TEST_F(TimerTest, TicksDueTogetherReadTheMouseAndKeysOnceAndLaterTicksAfresh) {
    auto w = uitest::MakeProbe();
    std::vector<std::string> seen;
    auto read = [&](const char* who) {
        const int32_t x = fw::System::MouseX(), y = fw::System::MouseY();
        const bool shift = fw::getKeyboardObject()->AsyncShiftKey();
        seen.push_back(std::string(who) + " " + std::to_string(x) + "," + std::to_string(y) +
                       (shift ? " shift" : ""));
    };
    fw::RuntimeAddEventHandler(AddTimer(*w, "P", 50), "Action",
                               [&](const fw::Ref<fw::Object>&) { read("P"); });
    fw::RuntimeAddEventHandler(AddTimer(*w, "V", 100), "Action",
                               [&](const fw::Ref<fw::Object>&) { read("V"); });
    headless.SetMouse(10, 20);
    headless.AdvanceClock(50);
    headless.SetMouse(11, 20);
    headless.SetModifiers(false, true, false);
    const uint64_t reads = headless.Input().ReadCount();
    headless.AdvanceClock(50);
    EXPECT_EQ(headless.Input().ReadCount(), reads + 1);  // P and V at 100: one reading
    EXPECT_EQ(seen, (std::vector<std::string>{"P 10,20", "P 11,20 shift", "V 11,20 shift"}));
}

TEST_F(TimerTest, ModesAndChanges) {
    auto w = uitest::MakeProbe();
    auto once = AddTimer(*w, "Once", 30, fw::Timer::kModeSingle);
    auto off = AddTimer(*w, "Off", 30, fw::Timer::kModeOff);
    headless.AdvanceClock(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"Once@30"}));
    EXPECT_EQ(once->Mode(), fw::Timer::kModeOff);
    fired.clear();
    off->SetMode(fw::Timer::kModeMultiple);  // starts counting from now
    headless.AdvanceClock(60);
    EXPECT_EQ(fired, (std::vector<std::string>{"Off@130", "Off@160"}));
}

TEST_F(TimerTest, ClosingTheWindowStopsItsTimers) {
    auto w = uitest::MakeProbe();
    AddTimer(*w, "T", 100);
    headless.AdvanceClock(100);
    w->Close();
    headless.AdvanceClock(500);
    EXPECT_EQ(fired, (std::vector<std::string>{"T@100"}));
}

TEST_F(TimerTest, ATickThatClosesItsOwnWindowEndsCleanly) {
    auto w = uitest::MakeProbe();
    auto t = AddTimer(*w, "T", 10);
    fw::RuntimeAddEventHandler(t, "Action", [&w](const fw::Ref<fw::Object>&) { w->Close(); });
    t.Reset();
    headless.AdvanceClock(50);
    w.Reset();
    headless.ProcessEvents();
    EXPECT_EQ(fired, (std::vector<std::string>{"T@10"}));
}

TEST_F(TimerTest, ATimerNotYetInAWindowWaits) {
    auto w = uitest::MakeProbe();
    auto t = fw::New<fw::Timer>();
    fw::RuntimeMassPropertySetter(t, {{"Period", 20}, {"Mode", 2}});
    int ticks = 0;
    fw::RuntimeAddEventHandler(t, "Action", [&](const fw::Ref<fw::Object>&) { ++ticks; });
    headless.AdvanceClock(100);
    EXPECT_EQ(ticks, 0);
    w->AddControl("Late", t);
    headless.AdvanceClock(40);
    EXPECT_EQ(ticks, 2);
}

}  // namespace
