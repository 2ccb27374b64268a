// Full-screen CGL contexts over the platform Screen: the front buffer of a
// context is its display's pixels.
#include "platform/os/gl.h"

#include <algorithm>
#include <cstring>

#include "os/object.h"
#include "platform/screen.h"

namespace platform::gl {

struct OpaqueCGLPixelFormat : os::Object {
    OpaqueCGLPixelFormat() : Object(os::ObjectKind::PixelFormat) {}
    uint32_t display = 0;
};

struct OpaqueCGLContext : os::Object {
    OpaqueCGLContext() : Object(os::ObjectKind::GLContext) {}
    uint32_t display = 0;
    bool fullScreen = false;
    GLenum readBuffer = GL_BACK;
    GLint packAlignment = 4;
    GLint packRowLength = 0;
    GLint packSkipRows = 0;
    GLint packSkipPixels = 0;
};

namespace {

thread_local OpaqueCGLContext* gCurrent = nullptr;

// The display that the context draws to, while it has a front buffer.
bool ContextDisplay(const OpaqueCGLContext* ctx, DisplayInfo* out) {
    return ctx != nullptr && ctx->fullScreen && FindDisplay(ctx->display, out);
}

}  // namespace

CGLError CGLChoosePixelFormat(const CGLPixelFormatAttribute* attributes, CGLPixelFormatObj* format,
                              GLint* count) {
    if (format == nullptr || attributes == nullptr) return kCGLBadAttribute;
    *format = nullptr;
    if (count != nullptr) *count = 0;
    uint32_t mask = 0;
    bool haveMask = false;
    for (const CGLPixelFormatAttribute* a = attributes; *a != 0; ++a) {
        if (*a == kCGLPFADisplayMask) {
            ++a;
            if (*a == 0) return kCGLBadAttribute;
            mask = static_cast<uint32_t>(*a);
            haveMask = true;
        } else if (*a != kCGLPFAFullScreen) {
            return kCGLBadAttribute;
        }
    }
    // Without a mask any display will do: the first one.
    const auto displays = CurrentScreen().Displays();
    uint32_t chosen = 0;
    for (size_t i = 0; i < displays.size() && i < 32; ++i) {
        if (!haveMask || (mask & (uint32_t{1} << i)) != 0) {
            chosen = displays[i].id;
            break;
        }
    }
    if (chosen == 0) return kCGLBadDisplay;
    if (os::CreationShouldFail(os::ObjectKind::PixelFormat)) return kCGLBadAlloc;
    auto* pf = new OpaqueCGLPixelFormat();
    pf->display = chosen;
    *format = pf;
    if (count != nullptr) *count = 1;
    return kCGLNoError;
}

CGLError CGLDestroyPixelFormat(CGLPixelFormatObj format) {
    if (format == nullptr) return kCGLBadPixelFormat;
    format->Release();
    return kCGLNoError;
}

CGLError CGLCreateContext(CGLPixelFormatObj format, CGLContextObj, CGLContextObj* context) {
    if (context == nullptr) return kCGLBadContext;
    *context = nullptr;
    if (format == nullptr) return kCGLBadPixelFormat;
    if (os::CreationShouldFail(os::ObjectKind::GLContext)) return kCGLBadAlloc;
    auto* ctx = new OpaqueCGLContext();
    ctx->display = format->display;
    *context = ctx;
    return kCGLNoError;
}

CGLError CGLSetCurrentContext(CGLContextObj context) {
    gCurrent = context;
    return kCGLNoError;
}

CGLContextObj CGLGetCurrentContext() {
    return gCurrent;
}

CGLError CGLSetFullScreen(CGLContextObj context) {
    if (context == nullptr) return kCGLBadContext;
    DisplayInfo d;
    if (!FindDisplay(context->display, &d)) return kCGLBadDisplay;
    context->fullScreen = true;
    return kCGLNoError;
}

CGLError CGLDestroyContext(CGLContextObj context) {
    if (context == nullptr) return kCGLBadContext;
    if (gCurrent == context) gCurrent = nullptr;
    context->Release();
    return kCGLNoError;
}

void glReadBuffer(GLenum mode) {
    if (gCurrent != nullptr && (mode == GL_FRONT || mode == GL_BACK)) gCurrent->readBuffer = mode;
}

void glFinish() {}

void glPixelStorei(GLenum name, GLint value) {
    if (gCurrent == nullptr) return;
    switch (name) {
        case GL_PACK_ALIGNMENT:
            if (value == 1 || value == 2 || value == 4 || value == 8)
                gCurrent->packAlignment = value;
            break;
        case GL_PACK_ROW_LENGTH:
            if (value >= 0) gCurrent->packRowLength = value;
            break;
        case GL_PACK_SKIP_ROWS:
            if (value >= 0) gCurrent->packSkipRows = value;
            break;
        case GL_PACK_SKIP_PIXELS:
            if (value >= 0) gCurrent->packSkipPixels = value;
            break;
        default:
            break;
    }
}

void glGetIntegerv(GLenum name, GLint* values) {
    if (gCurrent == nullptr || values == nullptr || name != GL_VIEWPORT) return;
    DisplayInfo d;
    const bool attached = ContextDisplay(gCurrent, &d);
    values[0] = 0;
    values[1] = 0;
    values[2] = attached ? d.PixelWidth() : 0;
    values[3] = attached ? d.PixelHeight() : 0;
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                  GLvoid* pixels) {
    OpaqueCGLContext* ctx = gCurrent;
    if (ctx == nullptr || pixels == nullptr || width <= 0 || height <= 0) return;
    if (format != GL_BGRA || (type != GL_UNSIGNED_INT_8_8_8_8_REV && type != GL_UNSIGNED_BYTE)) {
        return;
    }
    // A fresh context's back buffer holds nothing that was drawn.
    if (ctx->readBuffer != GL_FRONT) return;
    DisplayInfo d;
    if (!ContextDisplay(ctx, &d)) return;
    const int64_t pw = d.PixelWidth();
    const int64_t ph = d.PixelHeight();

    const int64_t rowPixels = ctx->packRowLength > 0 ? ctx->packRowLength : width;
    const int64_t align = ctx->packAlignment;
    const int64_t rowBytes = (rowPixels * 4 + align - 1) / align * align;

    // The part of the request on the display, with y from the bottom.
    const int64_t x0 = std::max<int64_t>(x, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + width, pw);
    const int64_t y0 = std::max<int64_t>(y, 0);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + height, ph);
    if (x1 <= x0 || y1 <= y0) return;

    const Rect want{static_cast<int32_t>(x0), static_cast<int32_t>(ph - y1),
                    static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0)};
    PixelView view;
    Rect covered;
    if (!CurrentScreen().Read(d.id, want, &view, &covered) || view.data == nullptr) return;
    auto* out = static_cast<uint8_t*>(pixels);
    for (int32_t r = 0; r < view.height; ++r) {
        const int64_t screenRow = int64_t{covered.y} + r;  // from the top
        const int64_t glRow = (ph - 1 - screenRow) - y;    // from the first row of the read
        const int64_t offset = (ctx->packSkipRows + glRow) * rowBytes +
                               (ctx->packSkipPixels + (int64_t{covered.x} - x)) * 4;
        std::memcpy(out + offset, view.data + static_cast<size_t>(r) * view.stride,
                    static_cast<size_t>(view.width) * 4);
    }
}

}  // namespace platform::gl
