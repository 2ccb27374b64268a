// The display image functions. They are left out of the library variant
// that stands for an older system, where programs find them missing.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "os/cg_internal.h"
#include "platform/screen.h"

namespace platform::cg {

namespace {

// Display pixels as B,G,R,X, the order in which displays hold them. When the
// screen lets us keep the memory it read into, the image holds that instead
// of a copy: images never write their pixels.
CGImageRef ImageOfPixels(const DisplayInfo& d, Rect pixels) {
    PixelView view;
    Rect covered;
    if (!CurrentScreen().Read(d.id, pixels, &view, &covered) || view.data == nullptr ||
        view.width <= 0 || view.height <= 0) {
        return nullptr;
    }
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    if (space == nullptr) return nullptr;
    PixelLayout layout;
    QuadLayout(kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little, &layout);
    const auto w = static_cast<size_t>(view.width);
    const auto h = static_cast<size_t>(view.height);
    OpaqueCGImage* image = nullptr;
    if (view.keep) {
        image = NewImageOver(
            Buffer(std::const_pointer_cast<void>(view.keep), const_cast<uint8_t*>(view.data)), w, h,
            view.stride, layout, kCGImageAlphaNoneSkipFirst, space);
        if (image != nullptr) image->heldBytes = view.keptBytes;
    } else {
        image = NewImage(w, h, 4 * w, layout, kCGImageAlphaNoneSkipFirst, space);
        if (image != nullptr) {
            for (size_t y = 0; y < h; ++y) {
                std::memcpy(image->pixels.get() + y * 4 * w, view.data + y * view.stride, 4 * w);
            }
        }
    }
    CGColorSpaceRelease(space);
    if (image != nullptr && view.reading != 0) {
        image->source.reading = view.reading;
        image->source.x = covered.x;
        image->source.y = covered.y;
        image->source.width = view.width;
        image->source.height = view.height;
        image->source.from = static_cast<uint8_t>(layout.order);
    }
    return image;
}

}  // namespace

CGImageRef CGDisplayCreateImage(CGDirectDisplayID display) {
    DisplayInfo d;
    if (!FindDisplay(display, &d)) return nullptr;
    return ImageOfPixels(d, Rect{0, 0, d.PixelWidth(), d.PixelHeight()});
}

CGImageRef CGDisplayCreateImageForRect(CGDirectDisplayID display, CGRect rect) {
    DisplayInfo d;
    if (!FindDisplay(display, &d) || CGRectIsNull(rect)) return nullptr;
    if (rect.size.width < 0) {
        rect.origin.x += rect.size.width;
        rect.size.width = -rect.size.width;
    }
    if (rect.size.height < 0) {
        rect.origin.y += rect.size.height;
        rect.size.height = -rect.size.height;
    }
    // Whole points that the rectangle touches, in display pixels, clipped to
    // the display.
    const double ppp = d.pixelsPerPoint;
    auto pixel = [&](double points, int32_t limit) {
        const double v = points * ppp;
        if (std::isnan(v)) return int32_t{0};
        return static_cast<int32_t>(std::clamp(v, 0.0, static_cast<double>(limit)));
    };
    const int32_t x0 = pixel(std::floor(double(rect.origin.x)), d.PixelWidth());
    const int32_t y0 = pixel(std::floor(double(rect.origin.y)), d.PixelHeight());
    const int32_t x1 =
        pixel(std::ceil(double(rect.origin.x) + double(rect.size.width)), d.PixelWidth());
    const int32_t y1 =
        pixel(std::ceil(double(rect.origin.y) + double(rect.size.height)), d.PixelHeight());
    if (x1 <= x0 || y1 <= y0) return nullptr;
    return ImageOfPixels(d, Rect{x0, y0, x1 - x0, y1 - y0});
}

CGPathRef CGPathCreateCopyByTransformingPath(CGPathRef, const CGAffineTransform*) {
    return nullptr;
}

}  // namespace platform::cg
