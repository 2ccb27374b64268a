// A capture of part of the current screen's main display drawn into a new
// picture the way the capture library does it: through the plug-in host's
// bitmap context, over a picture that owes its fill.
#pragma once

#include <cstdint>

#include "fw/ui/picture.h"
#include "host/bitmap_context.h"
#include "platform/os/cg.h"

namespace testsupport {

inline fw::Ref<fw::Picture> CaptureAsPlugIn(int32_t x, int32_t y, int32_t w, int32_t h) {
    namespace cg = platform::cg;
    fw::Ref<fw::Picture> p = fw::Picture::NewOwingFill(w, h);
    cg::CGImageRef shot =
        cg::CGDisplayCreateImageForRect(cg::CGMainDisplayID(), cg::CGRectMake(x, y, w, h));
    if (!shot) return {};
    if (!p) {
        cg::CGImageRelease(shot);
        return {};
    }
    auto* context = static_cast<cg::CGContextRef>(fw::host::CreatePictureContext(*p));
    cg::CGContextDrawImage(context, cg::CGRectMake(0, 0, w, h), shot);
    fw::host::ReleasePictureContext(context, *p);
    cg::CGImageRelease(shot);
    return p;
}

}  // namespace testsupport
