// The OpenGL helpers that the rectangle and display captures share.
#pragma once

#include <cstdint>

#include "platform/os/cg.h"
#include "platform/os/gl.h"

namespace zuvshot {

// A full-screen context of the display, current on this thread and reading
// its front buffer; destroyed with the object.
class FullScreenContext {
  public:
    explicit FullScreenContext(platform::cg::CGDirectDisplayID display);
    ~FullScreenContext() { Destroy(); }
    FullScreenContext(const FullScreenContext&) = delete;
    FullScreenContext& operator=(const FullScreenContext&) = delete;

    explicit operator bool() const { return context_ != nullptr; }
    // Reads width x height pixels from (x, y), counted from the bottom left,
    // as bytes blue, green, red, fourth byte, bottom row first.
    void Read(int32_t x, int32_t y, int32_t width, int32_t height, void* out);
    // Viewport width and height (entries 3 and 4).
    void Viewport(int32_t* width, int32_t* height);
    void Destroy();

  private:
    platform::gl::CGLContextObj context_ = nullptr;
};

bool Is32bitDisplay(platform::cg::CGDirectDisplayID display);

}  // namespace zuvshot
