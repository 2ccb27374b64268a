// Qt side of pictures and graphics, for the framework's own window, picture
// and printing code. Nothing above framework/ sees this header.
#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>

#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"

class QPaintDevice;

namespace fw::qt {

// Graphics drawing onto a window's persistent canvas, a QImage of
// Format_RGB32 or Format_ARGB32_Premultiplied that the caller keeps alive for
// as long as the graphics. The graphics take points: the image's device pixel
// ratio (a whole number, see PixelsPerPoint) gives the pixels per point.
// `changed` receives each drawn area in the image's pixels, already clipped
// to the canvas, so the window can repaint exactly that; `beforeWrite`, when
// given, runs before each drawing changes the canvas. With `streaming` the
// canvas is memory that someone else reads (see RasterTarget::streaming).
Ref<Graphics> MakeImageGraphics(QImage* target, std::function<void(const QRect&)> changed,
                                std::function<void()> beforeWrite = {}, bool streaming = false);

// Graphics drawing onto the picture's own pixels; keeps the picture alive.
Ref<Graphics> MakePictureGraphics(const Ref<Picture>& picture);

// A QImage over the picture's buffer, no copy: Format_RGBX8888, or
// Format_RGBA8888_Premultiplied with an alpha channel. Valid while the
// picture lives; ignores the picture's mask.
QImage PictureImage(const Picture& picture);

// The Qt font for the graphics' TextFont, TextSize and Bold, sized so that
// one unit of TextSize is one unit of the device's coordinates.
QFont ResolveFont(const Graphics& g, const QPaintDevice* device);

// Implemented by every Qt-backed graphics, so text layout can measure text on
// the device it will be drawn on.
class DeviceGraphics : public Graphics {
  public:
    virtual const QPaintDevice* Device() const = 0;
};

// A 32-bit raster the stretcher writes into.
enum class PixelOrder {
    kWord32,    // QImage RGB32 / ARGB32_Premultiplied: 32-bit words 0xAARRGGBB
    kRGBA8888,  // bytes R, G, B, A (or X), as in a picture
};
struct RasterTarget {
    uint8_t* bits = nullptr;
    ptrdiff_t stride = 0;  // bytes per row
    int width = 0;
    int height = 0;
    PixelOrder order = PixelOrder::kWord32;
    bool hasAlpha = false;  // keep a premultiplied alpha; otherwise written opaque
    // Whole pictures are written with stores that bypass the cache: for
    // memory that this process does not read back (a surface the display
    // server shows) and that has gone cold since it was last written.
    bool streaming = false;
};

// Before the application object exists: has the toolkit give every screen a
// whole number of pixels per point, the desktop's fractional scales rounded
// to the nearest (1.5 to 2, 1.25 to 1), so that windows, the mouse, the
// screen reads and the canvases all agree on what a point is.
void UseWholePixelsPerPoint();

// floor(a / b) for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Pixels per point of a canvas or picture image: its device pixel ratio,
// rounded to a whole number, at least 1.
int PixelsPerPoint(const QImage& image);

// Nearest-neighbour stretch of the source rectangle of the picture (in its
// pixels) over the destination rectangle (in points of `scale` target pixels
// each), clipped to the target. With the destination in target pixels,
// x = scale * x and so on, destination pixel i samples source pixel
// sx + floor((2i + 1) * sw / (2w)), the source pixel under its centre;
// destination pixels whose sample falls outside the picture are left alone.
// Returns the target pixels written (empty when none were).
QRect StretchPicture(const Picture& picture, const RasterTarget& target, int32_t x, int32_t y,
                     int32_t w, int32_t h, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                     int scale = 1);

// The stretcher uses SSSE3 byte shuffles where the processor has them and a
// portable loop elsewhere; tests turn the shuffles off to check the other.
void AllowShuffleStretch(bool allowed);

// The raster of a QImage of one of the four supported formats; bits is null
// for any other format.
RasterTarget RasterOf(QImage& image);

}  // namespace fw::qt
