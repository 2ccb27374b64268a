// The QuickDraw subset: one graphics device per display, offscreen worlds,
// ports and CopyBits. Programs do not link these functions: they look them up
// by name in the "ApplicationServices.framework" bundle (cf.h), so every one
// has a plain signature that a function pointer of the same type can call.
//
// Device coordinates are global points. An offscreen world's coordinates are
// those of the bounds it was made with. Pixels of a world, rows top first and
// GetPixRowBytes apart: depth 32 a, R, G, B; depth 24 R, G, B; depth 16
// 1-5-5-5 x, R, G, B big-endian; depth 8 a gray level (0 black, 255 white).
#pragma once

#include <cstdint>

#include "platform/os/cf.h"

namespace platform::qd {

using cf::OSErr;

struct Rect {
    int16_t top = 0;
    int16_t left = 0;
    int16_t bottom = 0;
    int16_t right = 0;
};

struct Pattern {
    uint8_t pat[8];
};

// The part of a pixel map that CopyBits reads and writes.
struct BitMap {
    void* baseAddr = nullptr;
    int32_t rowBytes = 0;
    Rect bounds;
};

struct PixMap : BitMap {
    int16_t pixelSize = 0;
};
using PixMapPtr = PixMap*;
using PixMapHandle = PixMap**;

struct GDevice;
using GDPtr = GDevice*;
using GDHandle = GDevice**;
struct GDevice {
    PixMapHandle gdPMap = nullptr;  // bounds: the display in global points; pixelSize 32
    Rect gdRect;                    // the same bounds
    GDHandle gdNextGD = nullptr;
};

struct GrafPort;
using GrafPtr = GrafPort*;
using CGrafPtr = GrafPort*;
using GWorldPtr = GrafPort*;

struct OpaqueRgn;
using RgnHandle = OpaqueRgn**;
struct OpaqueColorTable;
using CTabHandle = OpaqueColorTable**;
using GWorldFlags = uint32_t;

inline constexpr int32_t blackColor = 33;
inline constexpr int32_t whiteColor = 30;
inline constexpr int16_t srcCopy = 0;

// The 22 functions, under the names the bundle gives them.
Pattern* GetQDGlobalsBlack(Pattern* black);
void FillRect(const Rect* r, const Pattern* pattern);
void ForeColor(int32_t color);
void BackColor(int32_t color);
void SetPort(GrafPtr port);
void GetPort(GrafPtr* port);
void SetGWorld(CGrafPtr port, GDHandle device);
// Depth 32, 24, 16 or 8; other depths give paramErr, a world too large to
// allocate memFullErr. Empty bounds make a world without pixels.
OSErr NewGWorld(GWorldPtr* world, int16_t depth, const Rect* bounds, CTabHandle colors,
                GDHandle device, GWorldFlags flags);
void DisposeGWorld(GWorldPtr world);
PixMapHandle GetGWorldPixMap(GWorldPtr world);
bool LockPixels(PixMapHandle pixels);
void UnlockPixels(PixMapHandle pixels);
void* GetPixBaseAddr(PixMapHandle pixels);
long GetPixRowBytes(PixMapHandle pixels);
int16_t GetPixDepth(PixMapHandle pixels);
Rect* GetPortBounds(CGrafPtr port, Rect* bounds);
const BitMap* GetPortBitMapForCopyBits(CGrafPtr port);
// Copies from a device's pixel map (the display's pixels) into an offscreen
// world's bits, scaling `srcRect` to `dstRect` (nearest pixel). Only srcCopy
// is supported; parts outside either bitmap are left alone.
void CopyBits(const BitMap* src, const BitMap* dst, const Rect* srcRect, const Rect* dstRect,
              int16_t mode, RgnHandle maskRgn);
GDHandle GetDeviceList();
GDHandle GetMainDevice();
GDHandle GetNextDevice(GDHandle device);
// The overlap of `a` and `b` into *dst; false, with *dst all 0, when empty.
bool SectRect(const Rect* a, const Rect* b, Rect* dst);

}  // namespace platform::qd
