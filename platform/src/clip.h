// Clipping of a requested rectangle to a display, in 64-bit arithmetic so that
// rectangles near the limits of 32-bit coordinates can neither wrap nor overflow.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/screen.h"

namespace platform {

// The part of `r` inside a width × height area at the origin; false (and an
// empty result) when nothing of it lies inside.
inline bool ClipToArea(Rect r, int64_t width, int64_t height, Rect* out) {
    *out = Rect{};
    if (r.width <= 0 || r.height <= 0 || width <= 0 || height <= 0) return false;
    int64_t x0 = std::max<int64_t>(r.x, 0);
    int64_t y0 = std::max<int64_t>(r.y, 0);
    int64_t x1 = std::min<int64_t>(int64_t(r.x) + r.width, width);
    int64_t y1 = std::min<int64_t>(int64_t(r.y) + r.height, height);
    if (x0 >= x1 || y0 >= y1) return false;
    *out = Rect{int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)};
    return true;
}

}  // namespace platform
