// The monitors of an X screen in device pixels, and the conversion of root
// window coordinates to desktop points.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

namespace platform::x11 {

struct Monitor {
    Atom name = 0;                                // 0 for the whole root window
    int32_t x = 0, y = 0, width = 0, height = 0;  // root pixels, clipped to the root
    bool primary = false;
};

// The monitors from RandR 1.5, clipped to the root window, the main one first
// (the primary monitor, else the one at the root's origin, else the first
// reported). The whole root window when RandR reports no monitor.
std::vector<Monitor> QueryMonitors(Display* d, Window root);

// Floor division, so that points left of or above the main display round the
// same way as those right of or below it.
inline int32_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return int32_t(q);
}

}  // namespace platform::x11
