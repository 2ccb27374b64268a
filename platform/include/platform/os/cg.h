// The CoreGraphics subset: display services, rectangles, colour spaces,
// images and bitmap contexts, over the platform Screen.
//
// Display coordinates are global points (origin at the top-left corner of the
// main display, y down). Bitmap contexts use CoreGraphics' own convention: the
// origin of a drawing rectangle is the bottom-left corner of the context and
// y grows upwards.
//
// Pixel layouts are named by their bytes in memory order. A bitmap context's
// alpha info alone decides its layout (1 R,G,B,A premultiplied; 2 A,R,G,B
// premultiplied; 3 R,G,B,A; 4 A,R,G,B; 5 R,G,B,X; 6 X,R,G,B); images may
// also be in the 32-bit little-endian orders (display images are B,G,R,X).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os/cf.h"

namespace platform::cg {

using cf::CFDictionaryRef;
using cf::CFStringRef;

using CGFloat = float;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
};
struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
};
struct CGRect {
    CGPoint origin;
    CGSize size;
};
struct CGAffineTransform {
    CGFloat a, b, c, d, tx, ty;
};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    return CGRect{{x, y}, {width, height}};
}

// The rectangle that stands for "no rectangle": the result of intersecting
// rectangles that do not overlap.
extern const CGRect CGRectNull;
// The overlap of two rectangles (each standardised to a non-negative size);
// CGRectNull when they share no area.
CGRect CGRectIntersection(CGRect a, CGRect b);
bool CGRectIsNull(CGRect r);

using CGDirectDisplayID = uint32_t;
using CGOpenGLDisplayMask = uint32_t;
using CGError = int32_t;
inline constexpr CGError kCGErrorSuccess = 0;
inline constexpr CGError kCGErrorFailure = 1000;
inline constexpr CGError kCGErrorIllegalArgument = 1001;

// Up to `maxDisplays` active display ids, the main display first. With
// `displays` null, *count receives the number of active displays.
CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID* displays, uint32_t* count);
// 0 when there is no display.
CGDirectDisplayID CGMainDisplayID();
// Bounds in global points; all zero for an unknown display.
CGRect CGDisplayBounds(CGDirectDisplayID display);
// The display's mode: a dictionary with the numbers "BitsPerSample" and
// "SamplesPerPixel". Owned by the system (do not release); null for an
// unknown display.
CFDictionaryRef CGDisplayCurrentMode(CGDirectDisplayID display);
// One bit per active display; 0 for an unknown display.
CGOpenGLDisplayMask CGDisplayIDToOpenGLDisplayMask(CGDirectDisplayID display);

// ---- Colour spaces -------------------------------------------------------

struct OpaqueCGColorSpace;
using CGColorSpaceRef = OpaqueCGColorSpace*;

enum CGColorSpaceModel : int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
};

// The name of the generic RGB space, the text "kCGColorSpaceGenericRGB".
extern const CFStringRef kCGColorSpaceGenericRGB;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
// Null for a name that is not known.
CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name);
CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space);
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
void CGColorSpaceRelease(CGColorSpaceRef space);

// ---- Images --------------------------------------------------------------

using CGBitmapInfo = uint32_t;

enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

inline constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2 << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4 << 12;

struct OpaqueCGImage;
using CGImageRef = OpaqueCGImage*;

// An image holding a copy of `data` (rows top first, `bytesPerRow` apart).
// Supported, with 8 bits per component:
// - an RGB space, 32 bits per pixel, alpha info 1 to 6, in the default
//   (big-endian) or the 32-bit little-endian byte order;
// - an RGB space, 24 bits per pixel, alpha info 0 (R, G, B);
// - a gray space, 8 bits per pixel, alpha info 0;
// - alpha info 7, 8 bits per pixel, any or no space (an alpha mask).
// Null for anything else, for a zero size or for too short rows.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         const void* data);
CGImageRef CGImageRetain(CGImageRef image);
void CGImageRelease(CGImageRef image);
size_t CGImageGetWidth(CGImageRef image);
size_t CGImageGetHeight(CGImageRef image);
// Owned by the image (do not release).
CGColorSpaceRef CGImageGetColorSpace(CGImageRef image);
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image);

// Display images, at the display's pixel size (a display of two pixels per
// point gives twice the points in each direction), B,G,R,X in memory order
// (alpha info 6 in the 32-bit little-endian order). Null for an unknown
// display, a failed read or a rectangle that covers none of the display.
// These are weak so that their presence can be tested at run time.
__attribute__((weak)) CGImageRef CGDisplayCreateImage(CGDirectDisplayID display);
// `rect` is in points relative to the display's top-left corner; only its
// part on the display is captured.
__attribute__((weak)) CGImageRef CGDisplayCreateImageForRect(CGDirectDisplayID display,
                                                             CGRect rect);

struct OpaqueCGPath;
using CGPathRef = const OpaqueCGPath*;
// Present only as a sign of the newer system services; no paths exist, so
// it always gives null.
__attribute__((weak)) CGPathRef CGPathCreateCopyByTransformingPath(
    CGPathRef path, const CGAffineTransform* transform);

// ---- Bitmap contexts -----------------------------------------------------

struct OpaqueCGContext;
using CGContextRef = OpaqueCGContext*;

// A context over `data` (the caller's buffer, which must outlive it) or, with
// `data` null, over a zero-filled buffer of its own. 8 bits per component,
// an RGB space, alpha info 1 to 6 in the low bits of `bitmapInfo` and the
// default or 32-bit big-endian byte order. `bytesPerRow` 0 means 4 × width.
// Null for any other arguments, a zero size, rows shorter than 4 × width or
// sizes that overflow.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space,
                                   CGBitmapInfo bitmapInfo);
CGContextRef CGContextRetain(CGContextRef context);
void CGContextRelease(CGContextRef context);
void* CGBitmapContextGetData(CGContextRef context);
size_t CGBitmapContextGetBitsPerPixel(CGContextRef context);
size_t CGBitmapContextGetWidth(CGContextRef context);
size_t CGBitmapContextGetHeight(CGContextRef context);
size_t CGBitmapContextGetBytesPerRow(CGContextRef context);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef context);

// Sets every pixel of `rect` to 0 (transparent black).
void CGContextClearRect(CGContextRef context, CGRect rect);
// Draws the image stretched to `rect` (nearest pixel), composited over what
// the context holds; the image's top row lands at the top of `rect`.
void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);
// An image of the context's pixels as they are now, in the context's layout.
CGImageRef CGBitmapContextCreateImage(CGContextRef context);

// Not a CoreGraphics call: the framework's pictures use it. A context like
// CGBitmapContextCreate's over the caller's `data`, which is owed a fill: its
// pixels count as `fill` (a 32-bit word in memory order, for every pixel)
// although nothing has written them yet. The fill is written at the latest
// when the context is first asked for its data, draws over part of its
// pixels, makes an image or goes; a drawing that replaces every pixel makes
// it needless.
CGContextRef NewBitmapContextOwingFill(void* data, size_t width, size_t height, size_t bytesPerRow,
                                       CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                                       uint32_t fill);

// Not a CoreGraphics call: what a buffer is known to hold, a part of one
// screen reading drawn whole and unscaled into a context: equal values, equal
// bytes. Empty (reading 0) when nothing is known.
struct KnownContent {
    uint64_t reading = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;  // the part, in display pixels
    uint8_t from = 0, to = 0;                     // the byte orders converted between
    explicit operator bool() const { return reading != 0; }
    bool operator==(const KnownContent&) const = default;
};

// Not a CoreGraphics call: from now on the context's drawings leave the bytes
// that would not change unwritten, for a buffer whose pages are shared with
// others until written (and copied then). `holds` is what the buffer is
// known to hold already: a drawing that would only write it again is skipped.
void WriteOnlyChanges(CGContextRef context, const KnownContent& holds = {});

// Not a CoreGraphics call: what the context's pixels are known to hold now.
// Empty, with `*handedOut` set, once its data address went out: its holder
// may have written since.
KnownContent ContentOf(CGContextRef context, bool* handedOut);

// Not a CoreGraphics call: a context over a buffer owed its fill puts off a
// screen reading drawn whole over it until the buffer is first used (its data
// asked for, drawn into, imaged, or the context gone). Until then these are
// the rows it owes: `bytesPerRow` apart, every pixel four bytes with red,
// green and blue at the offsets given and the fourth unused. False when the
// context owes no such drawing.
struct OwedRows {
    const uint8_t* data = nullptr;
    size_t bytesPerRow = 0;
    uint8_t red = 0, green = 1, blue = 2;
};
bool RowsOwed(CGContextRef context, OwedRows* out);
// Not a CoreGraphics call: the context forgets what it owes its buffer, and
// writes nothing more there, not even when it goes: the buffer is going away.
void ForgetOwed(CGContextRef context);

}  // namespace platform::cg
