// Whole-display capture: pictures through the same three back-ends as the
// rectangle capture, and raw front-buffer strings.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "captures.h"
#include "conversion.h"
#include "host.h"
#include "host_strings.h"
#include "opengl.h"
#include "picture_editor.h"
#include "quickdraw.h"

namespace zuvshot {

namespace cg = platform::cg;
namespace qd = platform::qd;

namespace {

bool HasCoreGraphicsDisplayCapture() {
    return &cg::CGDisplayCreateImage != nullptr &&
           &cg::CGPathCreateCopyByTransformingPath != nullptr;
}

// 4 x w x h, or 0 when it does not lie in 1..2^31-1.
int64_t FrontBufferSize(int32_t w, int32_t h) {
    const int64_t size = int64_t{w} * 4 * int64_t{h};
    return w > 0 && h > 0 && size <= INT32_MAX ? size : 0;
}

template <PixelLayout L>
void CopyBottomUpRows(PictureWriter& writer, const unsigned char* buffer, int32_t width,
                      int32_t height) {
    const int32_t w = std::min(writer.Width(), width);
    const int32_t h = std::min(writer.Height(), height);
    const size_t stride = 4 * static_cast<size_t>(width);
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* src = buffer + static_cast<size_t>(height - 1 - r) * stride;
        writer.WriteRow(w, [src](int32_t i) {
            return ConvertWord<SourceLayout::BGRX, L>(LoadWord(src + 4 * i));
        });
        writer.NextRow();
    }
}

// The whole viewport of the display's front buffer, read into a new buffer that
// the caller frees; null when no context, no size or no memory can be had.
unsigned char* ReadWholeFrontBuffer(cg::CGDirectDisplayID display, int32_t* w, int32_t* h,
                                    int64_t* size) {
    FullScreenContext context(display);
    if (!context) return nullptr;
    context.Viewport(w, h);
    *size = FrontBufferSize(*w, *h);
    if (*size == 0) return nullptr;
    auto* buffer = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(*size), 1));
    if (buffer == nullptr) return nullptr;
    context.Read(0, 0, *w, *h, buffer);
    return buffer;
}

PluginPicture GLScreenshotZUV(cg::CGDirectDisplayID display) {
    if (!Is32bitDisplay(display)) return nullptr;
    int32_t w = 0, h = 0;
    int64_t size = 0;
    unsigned char* buffer = ReadWholeFrontBuffer(display, &w, &h, &size);
    if (buffer == nullptr) return nullptr;
    PictureWriter writer;
    if (!AttachNewPicture(writer, w, h)) {
        std::free(buffer);
        return nullptr;
    }
    WithLayout(writer.Format(),
               [&](auto l) { CopyBottomUpRows<decltype(l)::value>(writer, buffer, w, h); });
    std::free(buffer);
    return writer.RenderPictureWriter();
}

PluginString GLScreenshotStringZUV(cg::CGDirectDisplayID display, int32_t* width, int32_t* height,
                                   int32_t* rowBytes) {
    int32_t w = 0, h = 0;
    int64_t size = 0;
    unsigned char* buffer = ReadWholeFrontBuffer(display, &w, &h, &size);
    if (buffer == nullptr) return nullptr;
    PluginString string = REALBuildUnicodeString(buffer, size, kEncodingUnknown);
    *width = w;
    *height = h;
    *rowBytes = 4 * w;
    std::free(buffer);
    return string;
}

// Steps shared by the two picture functions: CoreGraphics, then OpenGL.
// `done` comes back true when CoreGraphics gave an image, which ends the chain
// whatever its conversion gave.
PluginPicture CoreGraphicsOrOpenGL(cg::CGDirectDisplayID display, bool* done) {
    *done = false;
    if (HasCoreGraphicsDisplayCapture()) {
        if (cg::CGImageRef image = cg::CGDisplayCreateImage(display)) {
            PluginPicture picture = GetCGImagePicture(image);
            cg::CGImageRelease(image);
            *done = true;
            return picture;
        }
    }
    if (PluginPicture picture = GLScreenshotZUV(display)) {
        *done = true;
        return picture;
    }
    return nullptr;
}

PluginPicture QuickDrawDevice(qd::GDHandle device, bool ownBounds) {
    if (device == nullptr) return nullptr;
    QuickDraw& q = QD();
    auto newGWorld = q.NewGWorld();
    if (newGWorld == nullptr) return nullptr;
    const qd::Rect bounds = DeviceBounds(device);
    // Offscreen bounds (0, 0, height, width) of the device, or its own bounds.
    qd::Rect world_bounds = bounds;
    if (!ownBounds) {
        world_bounds = qd::Rect{};
        world_bounds.bottom = ToQDShort(int64_t{bounds.bottom} - bounds.top);
        world_bounds.right = ToQDShort(int64_t{bounds.right} - bounds.left);
    }
    qd::GWorldPtr world = nullptr;
    if (newGWorld(&world, DevicePixelSize(device), &world_bounds, nullptr, nullptr, 0) != 0 ||
        world == nullptr) {
        if (world != nullptr) {
            if (auto dispose = q.DisposeGWorld()) dispose(world);
        }
        return nullptr;
    }
    if (auto fore = q.ForeColor()) fore(33);
    if (auto back = q.BackColor()) back(30);
    auto copyBits = q.CopyBits();
    auto portBits = q.GetPortBitMapForCopyBits();
    if (copyBits != nullptr && portBits != nullptr) {
        copyBits(DeviceBitMap(device), portBits(reinterpret_cast<qd::CGrafPtr>(world)), &bounds,
                 &world_bounds, 0, nullptr);
    }
    return REALBuildPictureFromGWorld(world);
}

cg::CGDirectDisplayID ActiveDisplay(int32_t index) {
    cg::CGDirectDisplayID ids[32];
    uint32_t count = 0;
    if (index >= 0 && index <= 31 && cg::CGGetActiveDisplayList(32, ids, &count) == 0 &&
        count > static_cast<uint32_t>(index)) {
        return ids[index];
    }
    return 0;
}

}  // namespace
}  // namespace zuvshot

using namespace zuvshot;

extern "C" PluginPicture ScreenshotDisplayZUV(int32_t index) {
    bool done = false;
    PluginPicture picture = CoreGraphicsOrOpenGL(ActiveDisplay(index), &done);
    if (done) return picture;
    QuickDraw& q = QD();
    auto getDeviceList = q.GetDeviceList();
    qd::GDHandle device = getDeviceList ? getDeviceList() : nullptr;
    auto getNext = q.GetNextDevice();
    for (int32_t i = 0; i < index && device != nullptr; ++i) {
        device = getNext ? getNext(device) : nullptr;
    }
    return QuickDrawDevice(device, false);
}

extern "C" PluginPicture ScreenshotZUV() {
    bool done = false;
    PluginPicture picture = CoreGraphicsOrOpenGL(platform::cg::CGMainDisplayID(), &done);
    if (done) return picture;
    auto getMainDevice = QD().GetMainDevice();
    return QuickDrawDevice(getMainDevice ? getMainDevice() : nullptr, true);
}

namespace {
int32_t gUnusedOutput = 0;
int32_t* Output(int32_t* p) {
    return p ? p : &gUnusedOutput;
}
}  // namespace

extern "C" PluginString ScreenshotStringDisplayZUV(int32_t* Width, int32_t* Height,
                                                   int32_t* RowBytes, int32_t /*index*/) {
    Width = Output(Width), Height = Output(Height), RowBytes = Output(RowBytes);
    *Width = *Height = *RowBytes = 0;
    // Always the first active display, whatever the index says.
    return GLScreenshotStringZUV(ActiveDisplay(0), Width, Height, RowBytes);
}

extern "C" PluginString ScreenshotStringZUV(int32_t* Width, int32_t* Height, int32_t* RowBytes) {
    Width = Output(Width), Height = Output(Height), RowBytes = Output(RowBytes);
    *Width = *Height = *RowBytes = 0;
    return GLScreenshotStringZUV(platform::cg::CGMainDisplayID(), Width, Height, RowBytes);
}
