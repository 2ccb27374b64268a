// The CoreGraphics objects behind the opaque references of cg.h, and the
// pixel layouts that images and bitmap contexts share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "os/object.h"
#include "platform/os/cg.h"

namespace platform::cg {

// A 32-bit pixel's bytes in memory order.
enum class Order : uint8_t { RGBA, ARGB, BGRA, ABGR };
enum class Alpha : uint8_t { Skip, Premultiplied, Straight };
enum class Depth : uint8_t { Quad, Rgb24, Gray8, Alpha8 };

struct PixelLayout {
    Depth depth = Depth::Quad;
    Order order = Order::RGBA;
    Alpha alpha = Alpha::Skip;
    bool HasAlpha() const {
        return depth == Depth::Alpha8 || (depth == Depth::Quad && alpha != Alpha::Skip);
    }
    size_t BytesPerPixel() const {
        return depth == Depth::Quad ? 4 : depth == Depth::Rgb24 ? 3 : 1;
    }
};

// The 32-bit layout of alpha info 1..6 in the given byte order; false for
// other alpha infos or byte orders.
bool QuadLayout(CGBitmapInfo info, PixelLayout* out);

using Buffer = std::shared_ptr<uint8_t>;
// A pixel buffer, zero-filled or not; null when it cannot be had. Buffers
// come back to a small pool when their last owner lets go, because captures
// ask for the same sizes again and again, and fresh pages cost far more than
// reusing warm ones.
Buffer AllocatePixels(size_t bytes, bool zeroed);

struct OpaqueCGColorSpace : os::Object {
    explicit OpaqueCGColorSpace(CGColorSpaceModel m)
        : Object(os::ObjectKind::ColorSpace), model(m) {}
    CGColorSpaceModel model;
};

struct OpaqueCGImage : os::Object {
    OpaqueCGImage() : Object(os::ObjectKind::Image) {}
    ~OpaqueCGImage() override {
        if (space != nullptr) space->Release();
    }
    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    PixelLayout layout;
    CGImageAlphaInfo alphaInfo = kCGImageAlphaNone;
    CGColorSpaceRef space = nullptr;  // retained, may be null
    Buffer pixels;                    // shared with a bitmap context until it writes
    const uint8_t* data = nullptr;    // row 0
    KnownContent source;              // the screen reading shown, when it is one (order `to` unset)
    size_t heldBytes = 0;             // memory that `pixels` keeps alive (0: not known)
};

struct OpaqueCGContext : os::Object {
    OpaqueCGContext() : Object(os::ObjectKind::BitmapContext) {}
    ~OpaqueCGContext() override {
        // A caller's buffer gets the fill it was owed.
        if (unset && !own) Writable();
        if (owed != nullptr) owed->Release();
        if (space != nullptr) space->Release();
    }
    // The pixels, ready to be written: a buffer that an image still shares is
    // copied first. A buffer never written yet is zeroed first, unless the
    // caller is about to write every pixel (`whole`).
    uint8_t* Writable(bool whole = false);

    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    PixelLayout layout;
    CGImageAlphaInfo alphaInfo = kCGImageAlphaNone;
    CGColorSpaceRef space = nullptr;  // retained
    uint8_t* data = nullptr;
    Buffer own;            // null over a caller's buffer
    bool exposed = false;  // the data address was handed out: images must copy
    // The buffer was not filled yet: our own with zeros, a caller's that was
    // owed a fill with `unsetWord`. Captures overwrite it whole right away, so
    // the fill waits until some use could see it.
    bool unset = false;
    uint32_t unsetWord = 0;
    bool onlyChanges = false;  // WriteOnlyChanges
    // What the pixels hold, while it is known: every write forgets it
    // (Writable), and a whole unscaled drawing of a screen reading sets it.
    KnownContent content;
    // A screen reading drawn whole over a buffer still owed its fill, not
    // written yet (retained): the buffer counts as holding it, and the first
    // use that could see the buffer writes it there (Writable).
    OpaqueCGImage* owed = nullptr;
    void PayOwed();
};

// A new image of `width` × `height` pixels with room for rows of
// `bytesPerRow`; null when creations fail or memory is short.
OpaqueCGImage* NewImage(size_t width, size_t height, size_t bytesPerRow, PixelLayout layout,
                        CGImageAlphaInfo info, CGColorSpaceRef space);
// A new image over pixels that it shares, row 0 at `pixels`; null when
// creations fail.
OpaqueCGImage* NewImageOver(Buffer pixels, size_t width, size_t height, size_t bytesPerRow,
                            PixelLayout layout, CGImageAlphaInfo info, CGColorSpaceRef space);

}  // namespace platform::cg
