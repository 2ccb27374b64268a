#include "host/bitmap_context.h"

#include <memory>

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
    // A new picture's black is the context's to write, where the plug-in does
    // not draw over every pixel first; anyone who looks before asks it.
    auto made = std::make_shared<cg::CGContextRef>(nullptr);
    bool owed = false;
    uint32_t fill = 0;
    uint8_t* pixels = picture.PixelsOwingFill(&owed, &fill, [made] {
        return *made != nullptr && cg::CGBitmapContextGetData(*made) != nullptr;
    });
    cg::CGContextRef context =
        owed ? cg::NewBitmapContextOwingFill(pixels, size_t(picture.Width()),
                                             size_t(picture.Height()), picture.RowBytes(), space,
                                             cg::CGBitmapInfo(info), fill)
             : cg::CGBitmapContextCreate(pixels, size_t(picture.Width()), size_t(picture.Height()),
                                         8, picture.RowBytes(), space, cg::CGBitmapInfo(info));
    *made = context;
    if (context && picture.PagesSharedUntilWritten()) cg::WriteOnlyChanges(context);
    cg::CGColorSpaceRelease(space);
    return context;
}

void ReleasePictureContext(void* context, const Picture& picture) {
    // Settles the fill while the context that owes it is still there.
    (void)picture.Pixels();
    if (context) cg::CGContextRelease(static_cast<cg::CGContextRef>(context));
}

}  // namespace fw::host
