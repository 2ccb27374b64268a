// The CoreGraphics bitmap context that wraps a picture's own buffer while a
// plug-in holds its description, so the plug-in writes the very bytes that
// the picture draws.
#pragma once

namespace fw {
class Picture;
}

namespace fw::host {

// A context over the picture's pixels (RGBX skip-last, or premultiplied
// RGBA with an alpha channel); nullptr when none can be made. A new
// picture's fill becomes the context's to write, unless drawn over first.
void* CreatePictureContext(Picture& picture);
// Lets go of the context; the picture's pixels are complete then, and what
// they are known to hold is noted on the picture.
void ReleasePictureContext(void* context, Picture& picture);

}  // namespace fw::host
