// The CGL subset (full-screen contexts on one display) and the GL calls that
// read a display's front buffer.
//
// The front buffer of a full-screen context is its display's pixels: 4 bytes
// a pixel, blue, green, red, a fourth byte; y counts rows from the bottom of
// the display and the rows of a read arrive bottom row first.
#pragma once

#include <cstdint>

#include "platform/os/objects.h"

namespace platform::gl {

using GLint = int32_t;
using GLenum = uint32_t;
using GLsizei = int32_t;
using GLvoid = void;

inline constexpr GLenum GL_FRONT = 0x0404;
inline constexpr GLenum GL_BACK = 0x0405;
inline constexpr GLenum GL_VIEWPORT = 0x0BA2;
inline constexpr GLenum GL_PACK_ROW_LENGTH = 0x0D02;
inline constexpr GLenum GL_PACK_SKIP_ROWS = 0x0D03;
inline constexpr GLenum GL_PACK_SKIP_PIXELS = 0x0D04;
inline constexpr GLenum GL_PACK_ALIGNMENT = 0x0D05;
inline constexpr GLenum GL_UNSIGNED_BYTE = 0x1401;
inline constexpr GLenum GL_BGRA = 0x80E1;
inline constexpr GLenum GL_UNSIGNED_INT_8_8_8_8_REV = 0x8367;

enum CGLPixelFormatAttribute : int32_t {
    kCGLPFAFullScreen = 54,
    kCGLPFADisplayMask = 84,
};

enum CGLError : int32_t {
    kCGLNoError = 0,
    kCGLBadAttribute = 10000,
    kCGLBadPixelFormat = 10002,
    kCGLBadContext = 10004,
    kCGLBadDisplay = 10006,
    kCGLBadAlloc = 10016,
};

struct OpaqueCGLPixelFormat;
struct OpaqueCGLContext;
using CGLPixelFormatObj = OpaqueCGLPixelFormat*;
using CGLContextObj = OpaqueCGLContext*;

// `attributes` ends with 0; kCGLPFADisplayMask is followed by the mask of
// the wanted display(s) (CGDisplayIDToOpenGLDisplayMask). No matching display
// gives kCGLBadDisplay with *format null and *count 0.
CGLError CGLChoosePixelFormat(const CGLPixelFormatAttribute* attributes, CGLPixelFormatObj* format,
                              GLint* count);
CGLError CGLDestroyPixelFormat(CGLPixelFormatObj format);
CGLError CGLCreateContext(CGLPixelFormatObj format, CGLContextObj share, CGLContextObj* context);
// Current on the calling thread; null makes no context current.
CGLError CGLSetCurrentContext(CGLContextObj context);
CGLContextObj CGLGetCurrentContext();
// Attaches the context to its display; only then it has a front buffer.
CGLError CGLSetFullScreen(CGLContextObj context);
// Destroying the current context leaves no context current.
CGLError CGLDestroyContext(CGLContextObj context);

// The calls below act on the current context and do nothing without one.
void glReadBuffer(GLenum mode);
void glFinish();
void glPixelStorei(GLenum name, GLint value);
// GL_VIEWPORT: 0, 0, the display's pixel width and height (all 0 before the
// context is full screen). Other names leave `values` untouched.
void glGetIntegerv(GLenum name, GLint* values);
// Reads from the front buffer with format GL_BGRA and type
// GL_UNSIGNED_INT_8_8_8_8_REV (or GL_UNSIGNED_BYTE, the same bytes). Pixels
// that lie outside the display leave their place in `pixels` untouched.
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                  GLvoid* pixels);

}  // namespace platform::gl
