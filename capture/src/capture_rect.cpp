// Rectangle capture: CoreGraphics display images when the system has them,
// else a front-buffer read through OpenGL, else a QuickDraw copy.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "captures.h"
#include "conversion.h"
#include "host.h"
#include "opengl.h"
#include "picture_editor.h"
#include "quickdraw.h"

namespace zuvshot {

namespace cg = platform::cg;
namespace qd = platform::qd;

int32_t TruncToInt32(double v) {
    if (!(v > -2147483649.0)) return v != v ? 0 : INT32_MIN;
    if (!(v < 2147483648.0)) return INT32_MAX;
    return static_cast<int32_t>(v);
}

int16_t ToQDShort(int64_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
}

qd::Rect QDRect(int64_t top, int64_t left, int64_t bottom, int64_t right) {
    qd::Rect r{};
    r.top = ToQDShort(top);
    r.left = ToQDShort(left);
    r.bottom = ToQDShort(bottom);
    r.right = ToQDShort(right);
    return r;
}

bool HasCoreGraphicsRectCapture() {
    return &cg::CGDisplayCreateImageForRect != nullptr &&
           &cg::CGPathCreateCopyByTransformingPath != nullptr;
}

namespace {

// Draws each display's part of the rectangle (left, top, width, height) into
// `context`, whose top row is the rectangle's top, at the display's pixel size
// from the part's top-left corner. What no display image covers is left for
// `blank` to make black: the usual rectangle lies on one display, whose
// opaque image replaces every pixel, so `blank` runs only before a first image
// that leaves some of the context bare, or at the end when no image came.
template <typename Blank>
void DrawDisplayParts(cg::CGContextRef context, const cg::CGDirectDisplayID* ids, uint32_t count,
                      int32_t left, int32_t top, int32_t width, int32_t height, Blank blank) {
    const double w = width;
    const double h = height;
    const double contextHeight = static_cast<double>(cg::CGBitmapContextGetHeight(context));
    const cg::CGRect wanted = cg::CGRectMake(left, top, w, h);
    bool drawn = false;
    for (uint32_t i = 0; i < count; ++i) {
        const cg::CGRect b = cg::CGDisplayBounds(ids[i]);
        const cg::CGRect r = cg::CGRectIntersection(b, wanted);
        if (cg::CGRectIsNull(r)) continue;
        cg::CGImageRef image = cg::CGDisplayCreateImageForRect(
            ids[i], cg::CGRectMake(r.origin.x - b.origin.x, r.origin.y - b.origin.y, r.size.width,
                                   r.size.height));
        if (image == nullptr) continue;
        const double iw = static_cast<double>(cg::CGImageGetWidth(image));
        const double ih = static_cast<double>(cg::CGImageGetHeight(image));
        if (!drawn && !(r.origin.x == left && r.origin.y == top && iw == w && ih == h &&
                        IsOpaqueImage(image))) {
            blank();
        }
        drawn = true;
        cg::CGContextDrawImage(
            context,
            cg::CGRectMake(r.origin.x - left, contextHeight - (r.origin.y - top) - ih, iw, ih),
            image);
        cg::CGImageRelease(image);
    }
    if (!drawn) blank();
}

// Opaque black over the whole context, drawn as an image of one black pixel
// stretched over it: a drawing that replaces every pixel, in the context's
// own layout, on any host.
void PaintBlack(cg::CGContextRef context) {
    static const uint8_t kBlack[4] = {0, 0, 0, 0};
    cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
    if (space == nullptr) return;
    cg::CGImageRef black = cg::CGImageCreate(1, 1, 8, 32, 4, space, 6, kBlack);
    cg::CGColorSpaceRelease(space);
    if (black == nullptr) return;
    cg::CGContextDrawImage(
        context,
        cg::CGRectMake(0, 0, static_cast<double>(cg::CGBitmapContextGetWidth(context)),
                       static_cast<double>(cg::CGBitmapContextGetHeight(context))),
        black);
    cg::CGImageRelease(black);
}

// The displays draw straight into the new picture's own bitmap context where
// the host has one, so each pixel is written once; a host that keeps its
// pictures in row buffers gets them through a bitmap of the rectangle's size.
PluginPicture CoreGraphicsRect(int32_t left, int32_t top, int32_t width, int32_t height) {
    cg::CGDirectDisplayID ids[32];
    uint32_t count = 0;
    if (cg::CGGetActiveDisplayList(32, ids, &count) != 0) return nullptr;
    count = std::min<uint32_t>(count, 32);
    // No picture is larger; asking for more would only try a huge allocation.
    if (int64_t{width} > 32767 || int64_t{height} > 32767) return nullptr;
    auto draw = [&](cg::CGContextRef picture) {
        DrawDisplayParts(picture, ids, count, left, top, width, height,
                         [picture] { PaintBlack(picture); });
    };
    ContextDrawing drawing = ContextDrawing::Of(draw);
    PictureWriter writer;
    if (!AttachNewPicture(writer, width, height, &drawing)) return nullptr;
    if (drawing.drawn) return writer.RenderPictureWriter();
    cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
    if (space == nullptr) return nullptr;
    cg::CGContextRef bitmap =
        cg::CGBitmapContextCreate(nullptr, static_cast<size_t>(width), static_cast<size_t>(height),
                                  8, 4 * static_cast<size_t>(width), space, 6);
    cg::CGColorSpaceRelease(space);
    if (bitmap == nullptr) return nullptr;
    DrawDisplayParts(bitmap, ids, count, left, top, width, height,
                     [&] { cg::CGContextClearRect(bitmap, cg::CGRectMake(0, 0, width, height)); });
    if (const auto* rows = static_cast<const unsigned char*>(cg::CGBitmapContextGetData(bitmap))) {
        CopyXRGBRows(writer, rows, cg::CGBitmapContextGetBytesPerRow(bitmap),
                     static_cast<size_t>(width), static_cast<size_t>(height));
    }
    cg::CGContextRelease(bitmap);
    return writer.RenderPictureWriter();
}

template <PixelLayout L>
void CopyFrontBufferRows(PictureWriter& writer, const unsigned char* buffer, int32_t partWidth,
                         int32_t partHeight, int32_t column, int32_t firstRow) {
    const size_t stride = 4 * static_cast<size_t>(partWidth);
    for (int32_t k = 0; k < partHeight; ++k) {
        const unsigned char* src = buffer + static_cast<size_t>(partHeight - 1 - k) * stride;
        writer.MoveTo(column, firstRow + k);
        writer.WriteRow(partWidth, [src](int32_t i) {
            return ConvertWord<SourceLayout::BGRX, L>(LoadWord(src + 4 * i));
        });
    }
}

// Nil means: go on to QuickDraw.
PluginPicture OpenGLRect(int32_t left, int32_t top, int32_t width, int32_t height) {
    cg::CGDirectDisplayID ids[32];
    uint32_t count = 0;
    if (cg::CGGetActiveDisplayList(32, ids, &count) != 0) return nullptr;
    count = std::min<uint32_t>(count, 32);
    for (uint32_t i = 0; i < count; ++i) {
        if (!Is32bitDisplay(ids[i])) return nullptr;
    }
    PictureWriter writer;
    if (!AttachNewPicture(writer, width, height)) return nullptr;
    // Everything below stays inside the picture the host actually gave.
    const int64_t right = int64_t{left} + std::min(width, writer.Width());
    const int64_t bottom = int64_t{top} + std::min(height, writer.Height());
    for (uint32_t i = 0; i < count; ++i) {
        const cg::CGRect b = cg::CGDisplayBounds(ids[i]);
        const int64_t ox = TruncToInt32(b.origin.x);
        const int64_t oy = TruncToInt32(b.origin.y);
        const int64_t ow = TruncToInt32(b.size.width);
        const int64_t oh = TruncToInt32(b.size.height);
        FullScreenContext context(ids[i]);
        if (!context) continue;
        const int64_t partLeft = std::max<int64_t>(left, ox);
        const int64_t partRight = std::min(right, ox + ow);
        const int64_t partTop = std::max<int64_t>(top, oy);
        const int64_t partBottom = std::min(bottom, oy + oh);
        if (partRight <= partLeft || partBottom <= partTop) continue;
        const int64_t pw = partRight - partLeft;
        const int64_t ph = partBottom - partTop;
        const int64_t size = pw * ph * 4;
        if (size < 1 || size > INT32_MAX) continue;
        auto* buffer = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(size), 1));
        if (buffer == nullptr) continue;
        context.Read(static_cast<int32_t>(partLeft - ox),
                     static_cast<int32_t>(oh - (partTop - oy) - ph), static_cast<int32_t>(pw),
                     static_cast<int32_t>(ph), buffer);
        context.Destroy();
        WithLayout(writer.Format(), [&](auto l) {
            CopyFrontBufferRows<decltype(l)::value>(
                writer, buffer, static_cast<int32_t>(pw), static_cast<int32_t>(ph),
                static_cast<int32_t>(partLeft - left), static_cast<int32_t>(partTop - top));
        });
        std::free(buffer);
    }
    return writer.RenderPictureWriter();
}

// The destination of a device's part `s` in the offscreen world.
using DestinationFn = qd::Rect (*)(const qd::Rect& s, int32_t left, int32_t top, int32_t width,
                                   int32_t height, int32_t destwidth, int32_t destheight);

qd::Rect Moved(const qd::Rect& s, int32_t left, int32_t top, int32_t, int32_t, int32_t, int32_t) {
    return QDRect(s.top - int64_t{top}, s.left - int64_t{left}, s.bottom - int64_t{top},
                  s.right - int64_t{left});
}

// Products in 64 bits: the 32-bit ones of old overflowed on large arguments.
qd::Rect Scaled(const qd::Rect& s, int32_t left, int32_t top, int32_t width, int32_t height,
                int32_t destwidth, int32_t destheight) {
    if (width == 0 || height == 0) return qd::Rect{};
    return QDRect((s.top - int64_t{top}) * destheight / height,
                  (s.left - int64_t{left}) * destwidth / width,
                  (s.bottom - int64_t{top}) * destheight / height,
                  (s.right - int64_t{left}) * destwidth / width);
}

PluginPicture QuickDrawCopy(int32_t left, int32_t top, int32_t width, int32_t height,
                            int32_t destwidth, int32_t destheight, DestinationFn destination) {
    QuickDraw& q = QD();
    qd::Rect offscreen = QDRect(0, 0, destheight, destwidth);
    const qd::Rect desktop = QDRect(top, left, int64_t{top} + height, int64_t{left} + width);
    auto getDeviceList = q.GetDeviceList();
    qd::GDHandle device = getDeviceList ? getDeviceList() : nullptr;
    auto newGWorld = q.NewGWorld();
    if (newGWorld == nullptr) return nullptr;
    qd::GWorldPtr world = nullptr;
    if (newGWorld(&world, 32, &offscreen, nullptr, nullptr, 0) != 0 || world == nullptr) {
        if (world != nullptr) {
            if (auto dispose = q.DisposeGWorld()) dispose(world);
        }
        return nullptr;
    }
    qd::GrafPtr saved = nullptr;
    auto getPort = q.GetPort();
    if (getPort) getPort(&saved);
    if (auto setGWorld = q.SetGWorld()) setGWorld(reinterpret_cast<qd::CGrafPtr>(world), nullptr);
    auto getBlack = q.GetQDGlobalsBlack();
    auto fillRect = q.FillRect();
    if (getBlack && fillRect) {
        qd::Pattern black{};
        if (const qd::Pattern* pattern = getBlack(&black)) fillRect(&offscreen, pattern);
    }
    auto sectRect = q.SectRect();
    auto getNext = q.GetNextDevice();
    for (; device != nullptr; device = getNext ? getNext(device) : nullptr) {
        const qd::Rect bounds = DeviceBounds(device);
        qd::Rect s{};
        if (sectRect == nullptr || !sectRect(&bounds, &desktop, &s)) continue;
        if (auto fore = q.ForeColor()) fore(33);
        if (auto back = q.BackColor()) back(30);
        auto copyBits = q.CopyBits();
        auto portBits = q.GetPortBitMapForCopyBits();
        if (copyBits == nullptr || portBits == nullptr) continue;
        const qd::Rect to = destination(s, left, top, width, height, destwidth, destheight);
        copyBits(DeviceBitMap(device), portBits(reinterpret_cast<qd::CGrafPtr>(world)), &s, &to, 0,
                 nullptr);
    }
    if (saved != nullptr) {
        if (auto setPort = q.SetPort()) setPort(saved);
    }
    return REALBuildPictureFromGWorld(world);
}

}  // namespace
}  // namespace zuvshot

using namespace zuvshot;

extern "C" PluginPicture ScreenshotRectZUV(int32_t left, int32_t top, int32_t width,
                                           int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    if (HasCoreGraphicsRectCapture()) return CoreGraphicsRect(left, top, width, height);
    if (PluginPicture picture = OpenGLRect(left, top, width, height)) return picture;
    return QuickDrawCopy(left, top, width, height, width, height, &Moved);
}

extern "C" PluginPicture ScreenshotRectDestZUV(int32_t left, int32_t top, int32_t width,
                                               int32_t height, int32_t destwidth,
                                               int32_t destheight) {
    return QuickDrawCopy(left, top, width, height, destwidth, destheight, &Scaled);
}
