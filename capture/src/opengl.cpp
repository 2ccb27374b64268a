#include "opengl.h"

#include "platform/os/cf.h"

namespace zuvshot {

namespace cg = platform::cg;
namespace gl = platform::gl;
namespace cf = platform::cf;

FullScreenContext::FullScreenContext(cg::CGDirectDisplayID display) {
    const cg::CGOpenGLDisplayMask mask = cg::CGDisplayIDToOpenGLDisplayMask(display);
    const gl::CGLPixelFormatAttribute attributes[] = {
        gl::kCGLPFAFullScreen, gl::kCGLPFADisplayMask,
        static_cast<gl::CGLPixelFormatAttribute>(mask),
        static_cast<gl::CGLPixelFormatAttribute>(0)};
    gl::CGLPixelFormatObj format = nullptr;
    gl::GLint count = 0;
    gl::CGLChoosePixelFormat(attributes, &format, &count);
    gl::CGLCreateContext(format, nullptr, &context_);
    if (format != nullptr) gl::CGLDestroyPixelFormat(format);
    if (context_ == nullptr) return;
    gl::CGLSetCurrentContext(context_);
    gl::CGLSetFullScreen(context_);
    gl::CGLSetCurrentContext(context_);
    gl::glReadBuffer(gl::GL_FRONT);
}

void FullScreenContext::Read(int32_t x, int32_t y, int32_t width, int32_t height, void* out) {
    gl::glFinish();
    gl::glPixelStorei(gl::GL_PACK_ALIGNMENT, 4);
    gl::glPixelStorei(gl::GL_PACK_ROW_LENGTH, 0);
    gl::glPixelStorei(gl::GL_PACK_SKIP_ROWS, 0);
    gl::glPixelStorei(gl::GL_PACK_SKIP_PIXELS, 0);
    gl::glReadPixels(x, y, width, height, gl::GL_BGRA, gl::GL_UNSIGNED_INT_8_8_8_8_REV, out);
}

void FullScreenContext::Viewport(int32_t* width, int32_t* height) {
    gl::GLint viewport[4] = {0, 0, 0, 0};
    gl::glGetIntegerv(gl::GL_VIEWPORT, viewport);
    *width = viewport[2];
    *height = viewport[3];
}

void FullScreenContext::Destroy() {
    if (context_ == nullptr) return;
    gl::CGLDestroyContext(context_);
    context_ = nullptr;
}

bool Is32bitDisplay(cg::CGDirectDisplayID display) {
    cf::CFDictionaryRef mode = cg::CGDisplayCurrentMode(display);
    if (mode == nullptr) return false;
    auto read = [&](const char* key, int32_t* value) {
        auto number = static_cast<cf::CFNumberRef>(cf::CFDictionaryGetValue(mode, cf::CFSTR(key)));
        return number != nullptr && cf::CFNumberGetValue(number, cf::kCFNumberSInt32Type, value);
    };
    int32_t bitsPerSample = 0;
    if (!read("BitsPerSample", &bitsPerSample)) bitsPerSample = 0;
    int32_t samplesPerPixel = 0;
    if (!read("SamplesPerPixel", &samplesPerPixel)) return false;
    return samplesPerPixel >= 3 && bitsPerSample > 7;
}

}  // namespace zuvshot
