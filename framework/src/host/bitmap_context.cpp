#include "host/bitmap_context.h"

#include "fw/ui/picture.h"
#include "platform/os/cg.h"

namespace fw::host {

namespace cg = platform::cg;

void* CreatePictureContext(Picture& picture) {
    cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
    if (!space) return nullptr;
    // The context's layout is the picture's own byte order, so a plug-in's
    // writes through it need no conversion on the way to the window.
    const auto info = picture.HasAlphaChannel() ? cg::kCGImageAlphaPremultipliedLast
                                                : cg::kCGImageAlphaNoneSkipLast;
    cg::CGContextRef context = cg::CGBitmapContextCreate(
        picture.Pixels(), size_t(picture.Width()), size_t(picture.Height()), 8, picture.RowBytes(),
        space, cg::CGBitmapInfo(info));
    cg::CGColorSpaceRelease(space);
    return context;
}

void ReleasePictureContext(void* context) {
    if (context) cg::CGContextRelease(static_cast<cg::CGContextRef>(context));
}

}  // namespace fw::host
