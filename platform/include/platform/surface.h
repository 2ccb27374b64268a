// Pixels that a window of the desktop shows straight from memory the display
// server reads, with no copy through a toolkit's buffers on the way: what a
// window that redraws its whole area ten times a second wants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/screen.h"

namespace platform {

class Surface {
  public:
    virtual ~Surface() = default;

    // 32-bit pixels, the words 0xXXRRGGBB (bytes blue, green, red, unused),
    // Stride() bytes from one row to the next, top row first.
    virtual uint8_t* Bits() = 0;
    virtual ptrdiff_t Stride() const = 0;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;

    // Call before changing pixels: returns once the server no longer reads the
    // pixels of an earlier Show, so a change cannot tear what it shows.
    virtual void BeginWrite() = 0;
    // Has the window show the rectangle `r` of the pixels, at the same place
    // in the window; returns without waiting for the server.
    virtual void Show(Rect r) = 0;
};

class Surfaces {
  public:
    virtual ~Surfaces() = default;
    // A surface of width x height pixels for the native window `window` (an
    // X11 window id on X11), or null where the window cannot be shown that way.
    virtual std::unique_ptr<Surface> Create(uint64_t window, int32_t width, int32_t height) = 0;
};

// The process-wide maker of surfaces; until a back-end is set, one that makes
// none.
Surfaces& CurrentSurfaces();
void SetCurrentSurfaces(std::unique_ptr<Surfaces> surfaces);

}  // namespace platform
