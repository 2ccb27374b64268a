// QuickDraw over the platform Screen: a graphics device per display whose
// pixel map is the display, offscreen worlds in memory, and CopyBits from a
// device into a world.
//
// QuickDraw is used from one thread; the mutex only keeps the device and
// world tables consistent.
#include "platform/os/qd.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "os/object.h"
#include "platform/screen.h"

namespace platform::qd {

namespace {

struct Rgb {
    uint8_t r, g, b;
};

}  // namespace

struct GrafPort : os::Object {
    // The screen port is not a world: it has no pixels and lives forever.
    explicit GrafPort(bool world) : Object(os::ObjectKind::GWorld, !world), isWorld(world) {}
    ~GrafPort() override { std::free(pixels); }
    bool isWorld;
    Rect bounds;
    PixMap pixmap;
    PixMap* pixmapMaster = &pixmap;
    uint8_t* pixels = nullptr;
    Rgb fore{0, 0, 0};
    Rgb back{255, 255, 255};
};

namespace {

struct Device {
    uint32_t display = 0;
    PixMap pixmap;
    PixMap* pixmapMaster = &pixmap;
    GDevice device;
    GDevice* deviceMaster = &device;
};

std::mutex gMutex;
GrafPort gScreenPort(false);
GrafPtr gCurrent = &gScreenPort;
std::map<const BitMap*, GrafPort*> gWorlds;
// Devices are never freed, so that a handle stays valid after its display
// goes away (it then reads nothing).
std::vector<std::unique_ptr<Device>> gDevices;

int16_t Clamp16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

// Brings the devices up to date with the displays, in the order of the
// display list (the main display first); returns the first and the main one.
void RefreshDevices(GDHandle* first, GDHandle* main) {
    const auto displays = CurrentScreen().Displays();
    std::lock_guard lock(gMutex);
    for (auto& dev : gDevices) dev->device.gdNextGD = nullptr;
    Device* prev = nullptr;
    *first = nullptr;
    *main = nullptr;
    for (const auto& d : displays) {
        auto it = std::find_if(gDevices.begin(), gDevices.end(),
                               [&](const auto& dev) { return dev->display == d.id; });
        if (it == gDevices.end()) {
            gDevices.push_back(std::make_unique<Device>());
            it = gDevices.end() - 1;
        }
        Device& dev = **it;
        dev.display = d.id;
        dev.pixmap.bounds = Rect{Clamp16(d.bounds.y), Clamp16(d.bounds.x),
                                 Clamp16(int64_t{d.bounds.y} + d.bounds.height),
                                 Clamp16(int64_t{d.bounds.x} + d.bounds.width)};
        dev.pixmap.pixelSize = 32;
        dev.device.gdPMap = &dev.pixmapMaster;
        dev.device.gdRect = dev.pixmap.bounds;
        if (prev != nullptr) {
            prev->device.gdNextGD = &dev.deviceMaster;
        } else {
            *first = &dev.deviceMaster;
        }
        if (d.isMain && *main == nullptr) *main = &dev.deviceMaster;
        prev = &dev;
    }
    if (*main == nullptr) *main = *first;
}

const Device* DeviceOf(const BitMap* bits) {
    std::lock_guard lock(gMutex);
    for (const auto& dev : gDevices) {
        if (static_cast<const BitMap*>(&dev->pixmap) == bits) return dev.get();
    }
    return nullptr;
}

GrafPort* WorldOf(const BitMap* bits) {
    std::lock_guard lock(gMutex);
    auto it = gWorlds.find(bits);
    return it == gWorlds.end() ? nullptr : it->second;
}

int BytesPerPixel(int depth) {
    return depth / 8;
}

template <int D>
inline void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b) {
    if constexpr (D == 32) {
        p[0] = 255;
        p[1] = r;
        p[2] = g;
        p[3] = b;
    } else if constexpr (D == 24) {
        p[0] = r;
        p[1] = g;
        p[2] = b;
    } else if constexpr (D == 16) {
        const unsigned v = ((r >> 3u) << 10u) | ((g >> 3u) << 5u) | (b >> 3u);
        p[0] = static_cast<uint8_t>(v >> 8);
        p[1] = static_cast<uint8_t>(v);
    } else {
        p[0] = static_cast<uint8_t>((r * 77u + g * 150u + b * 29u + 128u) >> 8);
    }
}

void PutPixel(int depth, uint8_t* p, Rgb c) {
    switch (depth) {
        case 32:
            Put<32>(p, c.r, c.g, c.b);
            break;
        case 24:
            Put<24>(p, c.r, c.g, c.b);
            break;
        case 16:
            Put<16>(p, c.r, c.g, c.b);
            break;
        default:
            Put<8>(p, c.r, c.g, c.b);
            break;
    }
}

// Copies display pixels (B,G,R,X) into a world row through a column map
// (-1: leave the destination pixel alone).
template <int D>
void CopyRow(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* dst) {
    for (size_t i = 0; i < n; ++i) {
        if (xmap[i] < 0) continue;
        const uint8_t* p = src + 4 * static_cast<size_t>(xmap[i]);
        Put<D>(dst + i * (D / 8), p[2], p[1], p[0]);
    }
}

using CopyRowFn = void (*)(const uint8_t*, const int32_t*, size_t, uint8_t*);

CopyRowFn CopyRowFor(int depth) {
    switch (depth) {
        case 32:
            return &CopyRow<32>;
        case 24:
            return &CopyRow<24>;
        case 16:
            return &CopyRow<16>;
        default:
            return &CopyRow<8>;
    }
}

// Source pixel (in display pixels) for each destination index, nearest
// sampling; -1 where the source falls outside [lo, hi).
std::vector<int32_t> SampleMap(int64_t first, int64_t count, int64_t dstOrigin, int64_t dstSize,
                               int64_t srcOrigin, int64_t srcSize, int64_t lo, int64_t hi) {
    std::vector<int32_t> map(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const int64_t k = first + i - dstOrigin;
        const int64_t s = srcOrigin + ((2 * k + 1) * srcSize) / (2 * dstSize);
        map[static_cast<size_t>(i)] = (s >= lo && s < hi) ? static_cast<int32_t>(s) : -1;
    }
    return map;
}

}  // namespace

Pattern* GetQDGlobalsBlack(Pattern* black) {
    if (black != nullptr) std::memset(black->pat, 0xFF, sizeof black->pat);
    return black;
}

void FillRect(const Rect* r, const Pattern* pattern) {
    GrafPort* port = gCurrent;
    if (r == nullptr || pattern == nullptr || port == nullptr || !port->isWorld) return;
    const Rect& b = port->bounds;
    const int x0 = std::max(r->left, b.left), x1 = std::min(r->right, b.right);
    const int y0 = std::max(r->top, b.top), y1 = std::min(r->bottom, b.bottom);
    if (x1 <= x0 || y1 <= y0) return;
    const int depth = port->pixmap.pixelSize;
    const int bpp = BytesPerPixel(depth);
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = port->pixels + static_cast<size_t>(y - b.top) * port->pixmap.rowBytes;
        const uint8_t bits = pattern->pat[(y - b.top) & 7];
        for (int x = x0; x < x1; ++x) {
            const bool on = (bits >> (7 - ((x - b.left) & 7))) & 1;
            PutPixel(depth, row + static_cast<size_t>(x - b.left) * bpp,
                     on ? port->fore : port->back);
        }
    }
}

namespace {

bool ClassicColour(int32_t color, Rgb* out) {
    switch (color) {
        case blackColor:
            *out = {0, 0, 0};
            return true;
        case whiteColor:
            *out = {255, 255, 255};
            return true;
        default:
            return false;
    }
}

}  // namespace

void ForeColor(int32_t color) {
    if (gCurrent != nullptr) ClassicColour(color, &gCurrent->fore);
}

void BackColor(int32_t color) {
    if (gCurrent != nullptr) ClassicColour(color, &gCurrent->back);
}

void SetPort(GrafPtr port) {
    if (port != nullptr) gCurrent = port;
}

void GetPort(GrafPtr* port) {
    if (port != nullptr) *port = gCurrent;
}

void SetGWorld(CGrafPtr port, GDHandle) {
    SetPort(port);
}

OSErr NewGWorld(GWorldPtr* world, int16_t depth, const Rect* bounds, CTabHandle, GDHandle,
                GWorldFlags) {
    if (world == nullptr || bounds == nullptr) return cf::paramErr;
    *world = nullptr;
    if (depth != 32 && depth != 24 && depth != 16 && depth != 8) return cf::paramErr;
    const int64_t w = std::max(0, bounds->right - bounds->left);
    const int64_t h = std::max(0, bounds->bottom - bounds->top);
    const int64_t rowBytes = (w * BytesPerPixel(depth) + 15) / 16 * 16;
    if (rowBytes * h > INT32_MAX) return cf::memFullErr;
    if (os::CreationShouldFail(os::ObjectKind::GWorld)) return cf::memFullErr;
    void* pixels = std::calloc(static_cast<size_t>(std::max<int64_t>(rowBytes * h, 1)), 1);
    if (pixels == nullptr) return cf::memFullErr;
    auto* port = new GrafPort(true);
    port->pixels = static_cast<uint8_t*>(pixels);
    port->bounds = *bounds;
    port->pixmap.baseAddr = pixels;
    port->pixmap.rowBytes = static_cast<int32_t>(rowBytes);
    port->pixmap.bounds = *bounds;
    port->pixmap.pixelSize = depth;
    {
        std::lock_guard lock(gMutex);
        gWorlds[&port->pixmap] = port;
    }
    *world = port;
    return cf::noErr;
}

void DisposeGWorld(GWorldPtr world) {
    if (world == nullptr || !world->isWorld) return;
    {
        std::lock_guard lock(gMutex);
        gWorlds.erase(&world->pixmap);
    }
    // A disposed world must not stay current: drawing would go to freed memory.
    if (gCurrent == world) gCurrent = &gScreenPort;
    world->Release();
}

PixMapHandle GetGWorldPixMap(GWorldPtr world) {
    return world == nullptr || !world->isWorld ? nullptr : &world->pixmapMaster;
}

bool LockPixels(PixMapHandle pixels) {
    return pixels != nullptr && *pixels != nullptr;
}

void UnlockPixels(PixMapHandle) {}

void* GetPixBaseAddr(PixMapHandle pixels) {
    return pixels == nullptr || *pixels == nullptr ? nullptr : (*pixels)->baseAddr;
}

long GetPixRowBytes(PixMapHandle pixels) {
    return pixels == nullptr || *pixels == nullptr ? 0 : (*pixels)->rowBytes;
}

int16_t GetPixDepth(PixMapHandle pixels) {
    return pixels == nullptr || *pixels == nullptr ? 0 : (*pixels)->pixelSize;
}

Rect* GetPortBounds(CGrafPtr port, Rect* bounds) {
    if (bounds == nullptr) return nullptr;
    *bounds = port != nullptr ? port->bounds : Rect{};
    return bounds;
}

const BitMap* GetPortBitMapForCopyBits(CGrafPtr port) {
    return port == nullptr || !port->isWorld ? nullptr : &port->pixmap;
}

void CopyBits(const BitMap* src, const BitMap* dst, const Rect* srcRect, const Rect* dstRect,
              int16_t mode, RgnHandle) {
    if (src == nullptr || dst == nullptr || srcRect == nullptr || dstRect == nullptr ||
        mode != srcCopy) {
        return;
    }
    const Device* dev = DeviceOf(src);
    GrafPort* world = WorldOf(dst);
    DisplayInfo d;
    if (dev == nullptr || world == nullptr || !FindDisplay(dev->display, &d)) return;
    const int64_t srcW = srcRect->right - srcRect->left;
    const int64_t srcH = srcRect->bottom - srcRect->top;
    const int64_t dstW = dstRect->right - dstRect->left;
    const int64_t dstH = dstRect->bottom - dstRect->top;
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;

    const Rect& wb = world->bounds;
    const int64_t x0 = std::max(dstRect->left, wb.left), x1 = std::min(dstRect->right, wb.right);
    const int64_t y0 = std::max(dstRect->top, wb.top), y1 = std::min(dstRect->bottom, wb.bottom);
    if (x1 <= x0 || y1 <= y0) return;

    // The source rectangle in display pixels, and the part of it that lies
    // on the display.
    const int64_t ppp = d.pixelsPerPoint;
    const int64_t sx = (srcRect->left - int64_t{d.bounds.x}) * ppp;
    const int64_t sy = (srcRect->top - int64_t{d.bounds.y}) * ppp;
    const int64_t loX = std::max<int64_t>(sx, 0),
                  hiX = std::min<int64_t>(sx + srcW * ppp, d.PixelWidth());
    const int64_t loY = std::max<int64_t>(sy, 0),
                  hiY = std::min<int64_t>(sy + srcH * ppp, d.PixelHeight());
    if (hiX <= loX || hiY <= loY) return;

    std::vector<int32_t> xmap =
        SampleMap(x0, x1 - x0, dstRect->left, dstW, sx, srcW * ppp, loX, hiX);
    std::vector<int32_t> ymap =
        SampleMap(y0, y1 - y0, dstRect->top, dstH, sy, srcH * ppp, loY, hiY);
    int32_t minX = INT32_MAX, maxX = -1, minY = INT32_MAX, maxY = -1;
    for (int32_t v : xmap) {
        if (v >= 0) minX = std::min(minX, v), maxX = std::max(maxX, v);
    }
    for (int32_t v : ymap) {
        if (v >= 0) minY = std::min(minY, v), maxY = std::max(maxY, v);
    }
    if (maxX < 0 || maxY < 0) return;

    PixelView view;
    platform::Rect covered;
    if (!CurrentScreen().Read(d.id, platform::Rect{minX, minY, maxX - minX + 1, maxY - minY + 1},
                              &view, &covered) ||
        view.data == nullptr) {
        return;
    }
    for (auto& v : xmap) {
        v = (v >= covered.x && v < covered.x + view.width) ? v - covered.x : -1;
    }
    const CopyRowFn row = CopyRowFor(world->pixmap.pixelSize);
    const int bpp = BytesPerPixel(world->pixmap.pixelSize);
    for (size_t i = 0; i < ymap.size(); ++i) {
        const int32_t v = ymap[i];
        if (v < covered.y || v >= covered.y + view.height) continue;
        const int64_t y = y0 + static_cast<int64_t>(i);
        uint8_t* out = world->pixels + static_cast<size_t>(y - wb.top) * world->pixmap.rowBytes +
                       static_cast<size_t>(x0 - wb.left) * bpp;
        row(view.data + static_cast<size_t>(v - covered.y) * view.stride, xmap.data(), xmap.size(),
            out);
    }
}

GDHandle GetDeviceList() {
    GDHandle first, main;
    RefreshDevices(&first, &main);
    return first;
}

GDHandle GetMainDevice() {
    GDHandle first, main;
    RefreshDevices(&first, &main);
    return main;
}

GDHandle GetNextDevice(GDHandle device) {
    if (device == nullptr || *device == nullptr) return nullptr;
    std::lock_guard lock(gMutex);
    return (*device)->gdNextGD;
}

bool SectRect(const Rect* a, const Rect* b, Rect* dst) {
    if (a == nullptr || b == nullptr) {
        if (dst != nullptr) *dst = Rect{};
        return false;
    }
    Rect r{std::max(a->top, b->top), std::max(a->left, b->left), std::min(a->bottom, b->bottom),
           std::min(a->right, b->right)};
    const bool overlap = r.bottom > r.top && r.right > r.left;
    if (dst != nullptr) *dst = overlap ? r : Rect{};
    return overlap;
}

}  // namespace platform::qd
