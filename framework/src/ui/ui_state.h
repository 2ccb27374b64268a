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
// Test clock.
int64_t TestClockNow();
void AdvanceTestClock(int64_t ms, const std::function<void()>& afterEachTick);
void ResetTestClock();

// Open windows, in opening order.
void RegisterOpenWindow(Window* w);
void UnregisterOpenWindow(Window* w);
std::vector<Window*> OpenWindowList();
void NoteWindowShown(Window* w);
Window* LastShownWindow();

// Menus: rebuild the native menu bars after a change.
void ScheduleMenuRefresh();
void RefreshAllMenuBars();
// A menu command from the menu bar of `origin` (nullptr: no window in front).
bool ChooseMenuItemFrom(Window* origin, const String& itemName);

// Recorders of the headless fixture.
std::vector<std::string>& MessageBoxLog();
std::vector<std::string>& UrlLog();

// Quit state.
bool QuitRequested();
int32_t QuitCode();
void ResetQuitState();
// The application object's Open, queued by RuntimeRun; raised at most once.
void RaiseApplicationOpen();
void ResetApplicationOpen();
// Signals (SIGTERM, SIGINT) arrive here on the event loop.
void HandleSignal(int signal);
// Starts watching the platform's hot keys and, with `watchSignals`, SIGTERM and SIGINT.
void InstallWatchers(bool watchSignals = true);

}  // namespace fw::detail
