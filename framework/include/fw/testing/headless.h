// One fixture for in-process tests of the framework and of the program:
//
//   fw::testing::Headless h;          // before anything else touches the framework
//   auto panel = ...;                 // create windows, drive handlers
//   h.AdvanceClock(100);              // due timers fire, in due-time order
//   EXPECT_EQ(h.MessageBoxTexts(), ...);
//
// It runs Qt on its offscreen platform, installs simulated input (and simulated
// hot keys and a virtual screen where the platform offers them), points
// Preferences at a temporary folder, replaces the wall clock of timers with a
// test clock, answers message boxes at once and records URLs instead of opening
// them. Only one may exist at a time. Not for use by the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fw/runtime/object.h"
#include "platform/virtual.h"

namespace fw {
class Window;
}

namespace fw::testing {

class Headless {
  public:
    Headless();
    ~Headless();
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

    // Delivers pending events (posted events, deferred deletes, paints); no
    // timers fire, only AdvanceClock does that.
    void ProcessEvents();
    // Moves the test clock on by `ms`: each timer fires once for each of its
    // periods that elapses, all of them in the order of their due times (those
    // due together in the order they were started), with events processed after
    // each group of ticks due together, as the event loop runs them.
    void AdvanceClock(int64_t ms);
    // Milliseconds since the fixture began.
    int64_t Now() const;

    // What RuntimeRun does before it waits: raises the application object's
    // Open once (later calls do nothing). Then drive the run with
    // ProcessEvents and AdvanceClock.
    void StartApplication();
    // Whether RB_ApplicationQuit was called, and with which code.
    bool QuitRequested() const;
    int32_t QuitCode() const;

    // Simulated input.
    void SetMouse(int32_t x, int32_t y);
    void SetModifiers(bool control, bool shift, bool option, bool command = false);

    // The platform back-ends the fixture installed: a virtual screen with one
    // main display of 1440 x 900 points at one pixel a point (a test may add or
    // replace displays), the simulated input and the simulated hot keys, whose
    // presses the fixture's event processing delivers.
    platform::VirtualScreen& Screen();
    platform::SimulatedInput& Input();
    platform::SimulatedHotKeys& HotKeys();

    // Message boxes shown so far (each answered at once), and URLs opened.
    const std::vector<std::string>& MessageBoxTexts() const;
    const std::vector<std::string>& OpenedURLs() const;
    void ClearRecords();

    // The temporary Preferences folder.
    const std::string& PreferencesPath() const;

    // Sends SIGTERM (or another signal) to the process and delivers it the way
    // the event loop does.
    void RaiseSignal(int signal);

    // Queues `event` on the event loop: it runs at the next delivery of
    // events, which may be a yield inside a handler (a long reader's).
    void Post(std::function<void()> event);
    // What a click on the window's close box does: the window manager asks the
    // window to close, and the framework answers as it would on the desktop.
    void RequestClose(const Ref<Window>& window);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace fw::testing
