#include "host/bitmap_context.h"

#include "fw/ui/picture.h"

namespace fw::host {

// Placeholder until the platform's CoreGraphics subset lands.
void* CreatePictureContext(Picture&) { return nullptr; }
void ReleasePictureContext(void*) {}

}  // namespace fw::host
