// The framework's one event loop, on the main thread.
#pragma once

#include <cstdint>

namespace fw {

// Initialises the framework (the toolkit behind it included). Call first.
void RuntimeInit();
// Runs the event loop until RB_ApplicationQuit; returns when the loop has ended.
void RuntimeRun();
// Ends the loop. Once windows exist it first closes those still open, raising
// each one's Close event once.
void RB_ApplicationQuit(int32_t code = 0);
// Shuts the framework down and gives the exit code.
int32_t RuntimeExit();
// Yields to pending events inside a long loop, without re-entering the handler
// that yields.
void RuntimeBackgroundTask();

namespace detail {
// The event loop installs the routine behind RuntimeBackgroundTask; until then
// the yield does nothing.
void SetBackgroundTaskHook(void (*hook)());
}  // namespace detail

}  // namespace fw
