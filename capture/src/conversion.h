// Pixels from CoreGraphics images, QuickDraw offscreen worlds and raw strings,
// turned into new 32-bit host pictures with one reference for the caller.
#pragma once

#include <cstddef>

#include "platform/os/cg.h"
#include "platform/os/qd.h"
#include "plugin_sdk.h"

namespace zuvshot {

// True for images without an alpha channel: drawn over a whole bitmap, they
// replace every pixel of it.
bool IsOpaqueImage(platform::cg::CGImageRef image);

class PictureWriter;

// Writes the rows of an X,R,G,B bitmap (`stride` bytes apart, top row first)
// into the attached picture from its top-left corner, as far as both reach.
void CopyXRGBRows(PictureWriter& writer, const unsigned char* rows, size_t stride, size_t width,
                  size_t height);

// The image stays with the caller.
PluginPicture GetCGImagePicture(platform::cg::CGImageRef image);
PluginPicture ManipulateImagePixelDataRGB(platform::cg::CGImageRef image,
                                          platform::cg::CGColorSpaceRef space);
PluginPicture ManipulateImagePixelDataRGBA(platform::cg::CGImageRef image,
                                           platform::cg::CGColorSpaceRef space);
// Takes the world over and disposes of it on every path.
PluginPicture REALBuildPictureFromGWorld(platform::qd::GWorldPtr world);

}  // namespace zuvshot
