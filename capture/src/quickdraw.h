// The QuickDraw functions, fetched by name from the ApplicationServices
// framework bundle rather than linked: each has a cache of its own, and a
// function that cannot be had is looked for again at the next use.
#pragma once

#include "host.h"
#include "platform/os/cf.h"
#include "platform/os/qd.h"

namespace zuvshot {

// Loads the named bundle from the system's Frameworks folder; null on failure.
platform::cf::CFBundleRef LoadFrameworkBundle(const char* name);

platform::cf::CFBundleRef ApplicationServices();

template <typename Fn>
struct QuickDrawFunction {
    const char* name;
    Fn fn = nullptr;
    Fn operator()();
};

struct QuickDraw {
#define ZUVSHOT_QD(name)                                    \
    QuickDrawFunction<decltype(&platform::qd::name)> name { \
#name                                               \
    }
    ZUVSHOT_QD(GetQDGlobalsBlack);
    ZUVSHOT_QD(FillRect);
    ZUVSHOT_QD(ForeColor);
    ZUVSHOT_QD(SetPort);
    ZUVSHOT_QD(NewGWorld);
    ZUVSHOT_QD(DisposeGWorld);
    ZUVSHOT_QD(GetPort);
    ZUVSHOT_QD(SetGWorld);
    ZUVSHOT_QD(GetPixDepth);
    ZUVSHOT_QD(UnlockPixels);
    ZUVSHOT_QD(LockPixels);
    ZUVSHOT_QD(GetGWorldPixMap);
    ZUVSHOT_QD(GetPixBaseAddr);
    ZUVSHOT_QD(GetPixRowBytes);
    ZUVSHOT_QD(GetPortBounds);
    ZUVSHOT_QD(BackColor);
    ZUVSHOT_QD(GetPortBitMapForCopyBits);
    ZUVSHOT_QD(CopyBits);
    ZUVSHOT_QD(GetDeviceList);
    ZUVSHOT_QD(GetMainDevice);
    ZUVSHOT_QD(GetNextDevice);
    ZUVSHOT_QD(SectRect);
#undef ZUVSHOT_QD
};

QuickDraw& QD();

template <typename Fn>
Fn QuickDrawFunction<Fn>::operator()() {
    if (fn == nullptr) {
        if (auto bundle = ApplicationServices()) {
            fn = FunctionFromAddress<Fn>(
                platform::cf::CFBundleGetFunctionPointerForName(bundle, platform::cf::CFSTR(name)));
        }
    }
    return fn;
}

}  // namespace zuvshot

namespace zuvshot {

// A graphics device's global bounds, pixel size and pixel map, from its
// pixel map record.
platform::qd::Rect DeviceBounds(platform::qd::GDHandle device);
int16_t DevicePixelSize(platform::qd::GDHandle device);
const platform::qd::BitMap* DeviceBitMap(platform::qd::GDHandle device);

// 32-bit arguments cut to the 16 bits of a QuickDraw coordinate.
int16_t ToQDShort(int64_t v);
platform::qd::Rect QDRect(int64_t top, int64_t left, int64_t bottom, int64_t right);

}  // namespace zuvshot
