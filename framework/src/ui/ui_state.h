// State of the framework's user-interface layer shared between its sources.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fw {
class String;
class Timer;
class Window;
}  // namespace fw

namespace fw::detail {

// Creates the QApplication when there is none yet.
void EnsureToolkit();
bool ToolkitReady();

// Test mode: timers follow the test clock, message boxes are answered at once
// and recorded, URLs are recorded instead of opened.
bool TestMode();
void SetTestMode(bool on);

// Timers. A started timer fires Timer::Fire on the event loop every period
// (or once); the id stops it again.
int64_t StartTimer(Timer* timer, int32_t periodMs, bool repeat);
void StopTimer(int64_t id);
// Runs `done` once the batch of timer ticks now firing has ended, before the
// event loop goes on: work that would otherwise be posted to the loop to run
// after the ticks, which then costs a wake-up of its own. False, with nothing
// kept, outside a batch.
bool AtBatchEnd(std::function<void()> done);
// Held around a nested event loop inside a batch (InputMomentPause holds one):
// what waited for the batch's end is done first, and what the loop runs
// meanwhile is not held back until the batch ends, after the loop.
class BatchEndPause {
  public:
    BatchEndPause();
    ~BatchEndPause();
    BatchEndPause(const BatchEndPause&) = delete;
    BatchEndPause& operator=(const BatchEndPause&) = delete;

  private:
    void* outer_;
};
// Test clock. AdvanceTestClock fires the timers due by then, batch by batch of
// those due together, and calls `afterEachTick` after each batch.
int64_t TestClockNow();
void AdvanceTestClock(int64_t ms, const std::function<void()>& afterEachTick);
void ResetTestClock();

// The pointer and the modifier keys are read from the platform once per moment
// of the event loop: one batch of timer ticks that fall due together, or one
// event handler (with whatever it raises in turn). Every read within the
// moment gives that one reading, so a tick that asks for MouseX, MouseY and
// three keys costs one request, and they agree with each other; the next
// moment reads afresh. Reads outside any moment are live. The screen's reads
// go the same way: within a moment one that lies inside the last is served
// from it (platform::Screen::ShareReads).
class InputMoment {
  public:
    InputMoment();
    ~InputMoment();
    InputMoment(const InputMoment&) = delete;
    InputMoment& operator=(const InputMoment&) = delete;
};

// Held around a nested event loop (a modal dialog, a yield inside a long
// handler): what the loop runs meanwhile takes moments of its own, and the
// handler that waited reads afresh after it.
class InputMomentPause {
  public:
    InputMomentPause();
    ~InputMomentPause();
    InputMomentPause(const InputMomentPause&) = delete;
    InputMomentPause& operator=(const InputMomentPause&) = delete;

  private:
    BatchEndPause batchEnd_;
    int depth_;
};

// Open windows, in opening order.
void RegisterOpenWindow(Window* w);
void UnregisterOpenWindow(Window* w);
std::vector<Window*> OpenWindowList();
// Closes every open window, each once, also when a Close handler closes others.
void CloseAllWindows();
void NoteWindowShown(Window* w);
Window* LastShownWindow();

// Menus: rebuild the native menu bars after a change.
void ScheduleMenuRefresh();
void RefreshAllMenuBars();
// A menu command from the menu bar of `origin` (nullptr: no window in front).
bool ChooseMenuItemFrom(Window* origin, const String& itemName);

// While the About command (an AppleMenuItem) runs: the window it was chosen
// from, or nullptr. A window shown for the first time meanwhile is the about
// box, which belongs to that window.
class AboutCommandScope {
  public:
    explicit AboutCommandScope(Window* origin);
    ~AboutCommandScope();
    AboutCommandScope(const AboutCommandScope&) = delete;
    AboutCommandScope& operator=(const AboutCommandScope&) = delete;

  private:
    bool wasRunning_;
    Window* previous_;
};
bool AboutCommandRunning();
Window* AboutCommandOrigin();

// Recorders of the headless fixture.
std::vector<std::string>& MessageBoxLog();
std::vector<std::string>& UrlLog();

// Quit state.
bool QuitRequested();
int32_t QuitCode();
void ResetQuitState();
// A quit waits for an Open event to finish.
bool QuitWaitsForOpen();
// Ends every message box that MsgBox shows, as its button would.
void DismissMessageBoxes();
// The application object's Open, queued by RuntimeRun; raised at most once.
void RaiseApplicationOpen();
void ResetApplicationOpen();
// Open events (a window's, with its controls', and the application's) run
// through RunAsOpenEvent. Requests from outside the program's code that would
// take apart what an Open sets up (a quit, the window manager closing a
// window) go through WhenNoOpenEventRuns: at once when none runs, otherwise
// held and carried out, in order of arrival, when the outermost has finished.
void RunAsOpenEvent(const std::function<void()>& open);
bool OpenEventRunning();
void WhenNoOpenEventRuns(std::function<void()> request);
// Signals (SIGTERM, SIGINT, SIGHUP) arrive here on the event loop.
void HandleSignal(int signal);
// Starts watching the platform's hot keys and, with `watchSignals`, SIGTERM,
// SIGINT and SIGHUP.
void InstallWatchers(bool watchSignals = true);

}  // namespace fw::detail
