// A change of the screen that a benchmark makes before each timed read, outside
// the timing: the X11 screen serves a read of a still screen from its last
// reading, so without a change the loop would time that and not a read that
// asks the server. Include after every other header: Xlib's macros clash with
// ordinary names.
#pragma once

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

namespace testsupport {

// Paints the root's top-left pixel another colour through `painter`, a
// connection of the benchmark's own, and waits until the server has done it.
inline void ChangeScreen(benchmark::State& state, Display* painter) {
    state.PauseTiming();
    static unsigned long pixel = 0;
    GC gc = DefaultGC(painter, DefaultScreen(painter));
    XSetForeground(painter, gc, pixel ^= 0x010101);
    XFillRectangle(painter, DefaultRootWindow(painter), gc, 0, 0, 1, 1);
    XSync(painter, False);
    state.ResumeTiming();
}

}  // namespace testsupport
