// The CoreGraphics bitmap context that wraps a picture's own buffer while a
// plug-in holds its description, so the plug-in writes the very bytes that
// the picture draws.
#pragma once

namespace fw {
class Picture;
}

namespace fw::host {

// A context over the picture's pixels (RGBX skip-last, or premultiplied
// RGBA with an alpha channel); nullptr when none can be made.
void* CreatePictureContext(Picture& picture);
void ReleasePictureContext(void* context);

}  // namespace fw::host
