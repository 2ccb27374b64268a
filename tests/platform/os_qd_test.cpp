// QuickDraw devices, offscreen worlds and CopyBits over the virtual screen,
// and the bundle through which programs find the QuickDraw functions.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/cf.h"
#include "platform/os/qd.h"
#include "platform/virtual.h"

using namespace platform::qd;
namespace cf = platform::cf;
namespace os = platform::os;

namespace {

// Pixel (x, y) of display number `tag` is R = tag, G = y, B = x.
uint32_t Colour(uint32_t tag, int x, int y) {
    return tag << 16 | uint32_t(y) << 8 | uint32_t(x);
}

class QuickDraw : public ::testing::Test {
  protected:
    void SetUp() override {
        auto s = std::make_unique<platform::VirtualScreen>();
        screen = s.get();
        platform::SetCurrentScreen(std::move(s));
        live = os::LiveObjectCount();
    }
    void TearDown() override {
        cf::testing::ShowAll();
        EXPECT_EQ(os::LiveObjectCount(), live) << "objects leaked";
    }
    uint32_t Add(platform::Rect points, int ppp, uint32_t tag) {
        const uint32_t id = screen->AddDisplay(points, ppp);
        for (int y = 0; y < points.height * ppp; ++y)
            for (int x = 0; x < points.width * ppp; ++x)
                screen->SetPixel(id, x, y, Colour(tag, x, y));
        return id;
    }
    // The colour of a world pixel as 0xRRGGBB (a gray level repeated for depth 8).
    static uint32_t At(GWorldPtr world, int x, int y) {
        PixMapHandle pm = GetGWorldPixMap(world);
        const auto* row = static_cast<const uint8_t*>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm);
        switch (GetPixDepth(pm)) {
            case 32:
                return uint32_t(row[4 * x + 1]) << 16 | row[4 * x + 2] << 8 | row[4 * x + 3];
            case 24:
                return uint32_t(row[3 * x]) << 16 | row[3 * x + 1] << 8 | row[3 * x + 2];
            default:
                return uint32_t(row[x]) * 0x010101u;
        }
    }
    static Rect R(int top, int left, int bottom, int right) {
        return Rect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
    }
    static GWorldPtr World(int depth, Rect bounds) {
        GWorldPtr w = nullptr;
        EXPECT_EQ(NewGWorld(&w, int16_t(depth), &bounds, nullptr, nullptr, 0), cf::noErr);
        return w;
    }
    static void Copy(GDHandle dev, GWorldPtr world, Rect src, Rect dst) {
        CopyBits(*(**dev).gdPMap, GetPortBitMapForCopyBits(world), &src, &dst, srcCopy, nullptr);
    }

    platform::VirtualScreen* screen = nullptr;
    int64_t live = 0;
};

TEST_F(QuickDraw, OneDevicePerDisplayMainFirst) {
    Add({0, 0, 2, 2}, 1, 1);
    Add({2, -1, 3, 4}, 2, 2);
    GDHandle first = GetDeviceList();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetMainDevice(), first);
    const PixMap& main = **(**first).gdPMap;
    EXPECT_EQ(main.pixelSize, 32);
    EXPECT_EQ(GetPixDepth((**first).gdPMap), 32);
    EXPECT_EQ(main.bounds.left, 0);
    EXPECT_EQ(main.bounds.bottom, 2);
    GDHandle second = GetNextDevice(first);
    ASSERT_NE(second, nullptr);
    const Rect b = (**(**second).gdPMap).bounds;  // in points, whatever the pixels per point
    EXPECT_EQ(b.top, -1);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.bottom, 3);
    EXPECT_EQ(b.right, 5);
    EXPECT_EQ(GetNextDevice(second), nullptr);
    EXPECT_EQ(GetNextDevice(nullptr), nullptr);
}

TEST_F(QuickDraw, CopyBitsIntoWorldsOfEachDepth) {
    Add({0, 0, 2, 2}, 1, 1);
    GDHandle dev = GetMainDevice();
    for (int depth : {32, 24, 8}) {
        GWorldPtr w = World(depth, R(0, 0, 2, 2));
        ASSERT_NE(w, nullptr) << depth;
        Copy(dev, w, R(0, 0, 2, 2), R(0, 0, 2, 2));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                const uint32_t c = Colour(1, x, y);
                const uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
                const uint32_t gray = (r * 77 + g * 150 + b * 29 + 128) >> 8;
                EXPECT_EQ(At(w, x, y), depth == 8 ? gray * 0x010101u : c) << depth;
            }
        if (depth == 32) {
            const auto* p = static_cast<const uint8_t*>(GetPixBaseAddr(GetGWorldPixMap(w)));
            EXPECT_EQ(p[0], 255) << "the high byte of a copied pixel";
        }
        DisposeGWorld(w);
    }
}

TEST_F(QuickDraw, CopyBitsScales) {
    Add({0, 0, 4, 2}, 1, 1);
    GDHandle dev = GetMainDevice();
    GWorldPtr up = World(32, R(0, 0, 4, 8));
    Copy(dev, up, R(0, 0, 2, 4), R(0, 0, 4, 8));  // every pixel twice in each direction
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(At(up, x, y), Colour(1, x / 2, y / 2)) << x << y;
    DisposeGWorld(up);
    GWorldPtr down = World(32, R(0, 0, 1, 2));
    Copy(dev, down, R(0, 0, 2, 4), R(0, 0, 1, 2));  // every second pixel
    EXPECT_EQ(At(down, 0, 0), Colour(1, 1, 1));
    EXPECT_EQ(At(down, 1, 0), Colour(1, 3, 1));
    DisposeGWorld(down);
}

TEST_F(QuickDraw, TwoPixelsPerPointDeviceIsCopiedInPoints) {
    Add({0, 0, 2, 2}, 2, 1);  // 4 × 4 pixels
    GDHandle dev = GetMainDevice();
    GWorldPtr same = World(32, R(0, 0, 2, 2));
    Copy(dev, same, R(0, 0, 2, 2), R(0, 0, 2, 2));
    EXPECT_EQ(At(same, 0, 0), Colour(1, 1, 1));
    EXPECT_EQ(At(same, 1, 1), Colour(1, 3, 3));
    DisposeGWorld(same);
    GWorldPtr detail = World(32, R(0, 0, 4, 4));
    Copy(dev, detail, R(0, 0, 2, 2), R(0, 0, 4, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(At(detail, x, y), Colour(1, x, y));
    DisposeGWorld(detail);
}

// The rectangle capture's steps: a black world, each device's overlap copied
// to its place; what no device covers stays black.
TEST_F(QuickDraw, RectangleAcrossTwoDevicesAndBeyond) {
    Add({0, 0, 2, 2}, 1, 1);
    Add({2, 0, 2, 2}, 1, 2);
    const int left = 1, top = -1, width = 4, height = 3;
    const Rect bounds = R(0, 0, height, width);
    const Rect desk = R(top, left, top + height, left + width);
    GWorldPtr w = World(32, bounds);
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetGWorld(w, nullptr);
    Pattern black;
    FillRect(&bounds, GetQDGlobalsBlack(&black));
    for (GDHandle dev = GetDeviceList(); dev != nullptr; dev = GetNextDevice(dev)) {
        Rect s;
        if (!SectRect(&(**(**dev).gdPMap).bounds, &desk, &s)) continue;
        ForeColor(blackColor);
        BackColor(whiteColor);
        const Rect d = R(s.top - top, s.left - left, s.bottom - top, s.right - left);
        Copy(dev, w, s, d);
    }
    SetPort(saved);
    GrafPtr now = nullptr;
    GetPort(&now);
    EXPECT_EQ(now, saved);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int gx = left + x, gy = top + y;
            uint32_t want = 0;
            if (gy >= 0 && gy < 2 && gx < 4)
                want = gx < 2 ? Colour(1, gx, gy) : Colour(2, gx - 2, gy);
            EXPECT_EQ(At(w, x, y), want) << x << "," << y;
        }
    DisposeGWorld(w);
}

TEST_F(QuickDraw, FillRectPaintsThePatternInForeAndBackColours) {
    GWorldPtr w = World(24, R(10, 20, 12, 30));  // the world's own coordinates
    SetGWorld(w, nullptr);
    Pattern checker;
    for (int i = 0; i < 8; ++i) checker.pat[i] = i % 2 ? 0x55 : 0xAA;
    const Rect r = R(0, 0, 100, 100);  // clipped to the world
    ForeColor(whiteColor);
    BackColor(blackColor);
    FillRect(&r, &checker);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(At(w, x, y), (x + y) % 2 ? 0u : 0xFFFFFFu) << x << "," << y;
    Pattern black;
    ForeColor(blackColor);
    const Rect part = R(11, 25, 12, 27);
    FillRect(&part, GetQDGlobalsBlack(&black));
    EXPECT_EQ(At(w, 5, 1), 0u);
    EXPECT_EQ(At(w, 6, 1), 0u);
    EXPECT_EQ(At(w, 7, 1), 0xFFFFFFu);
    DisposeGWorld(w);
    // The disposed world is no longer the port; drawing now goes nowhere.
    GrafPtr port = nullptr;
    GetPort(&port);
    EXPECT_NE(port, w);
    FillRect(&r, &black);
}

TEST_F(QuickDraw, NewGWorldChecksDepthAndSize) {
    const Rect small = R(0, 0, 3, 5);
    struct Case {
        int depth;
        Rect bounds;
        cf::OSErr want;
    };
    const Case cases[] = {
        {32, small, cf::noErr},
        {24, small, cf::noErr},
        {16, small, cf::noErr},
        {8, small, cf::noErr},
        {12, small, cf::paramErr},
        {0, small, cf::paramErr},
        {32, R(5, 5, 5, 9), cf::noErr},  // empty, as the caller will find out from its bounds
        {32, R(-32768, -32768, 32767, 32767), cf::memFullErr},
    };
    for (const Case& c : cases) {
        GWorldPtr w = reinterpret_cast<GWorldPtr>(&live);
        ASSERT_EQ(NewGWorld(&w, int16_t(c.depth), &c.bounds, nullptr, nullptr, 0), c.want)
            << c.depth;
        if (c.want != cf::noErr) {
            EXPECT_EQ(w, nullptr);
            continue;
        }
        Rect got;
        EXPECT_EQ(GetPortBounds(w, &got), &got);
        EXPECT_EQ(got.top, c.bounds.top);
        EXPECT_EQ(got.right, c.bounds.right);
        PixMapHandle pm = GetGWorldPixMap(w);
        EXPECT_EQ(GetPixDepth(pm), c.depth);
        EXPECT_TRUE(LockPixels(pm));
        EXPECT_NE(GetPixBaseAddr(pm), nullptr);
        EXPECT_GE(GetPixRowBytes(pm), (c.bounds.right - c.bounds.left) * c.depth / 8);
        UnlockPixels(pm);
        DisposeGWorld(w);
    }
    EXPECT_EQ(NewGWorld(nullptr, 32, &small, nullptr, nullptr, 0), cf::paramErr);
    os::testing::FailCreations(os::ObjectKind::GWorld, 1);
    GWorldPtr w = nullptr;
    EXPECT_EQ(NewGWorld(&w, 32, &small, nullptr, nullptr, 0), cf::memFullErr);
    EXPECT_FALSE(LockPixels(nullptr));
    EXPECT_EQ(GetPixDepth(nullptr), 0);
}

TEST_F(QuickDraw, SectRect) {
    struct Case {
        Rect a, b;
        bool overlap;
        Rect want;
    };
    const Case cases[] = {
        {R(0, 0, 10, 10), R(5, -5, 20, 5), true, R(5, 0, 10, 5)},
        {R(0, 0, 10, 10), R(10, 0, 20, 10), false, Rect{}},
        {R(0, 0, 10, 10), R(3, 3, 3, 8), false, Rect{}},
    };
    for (const Case& c : cases) {
        Rect got = R(1, 1, 1, 1);
        EXPECT_EQ(SectRect(&c.a, &c.b, &got), c.overlap);
        EXPECT_EQ(std::memcmp(&got, &c.want, sizeof got), 0);
    }
}

// What a program does to find the QuickDraw functions.
cf::CFBundleRef LoadApplicationServices(cf::OSErr* err = nullptr) {
    cf::FSRef folder;
    const cf::OSErr e =
        cf::FSFindFolder(cf::kOnSystemDisk, cf::kFrameworksFolderType, true, &folder);
    if (err != nullptr) *err = e;
    if (e != cf::noErr) return nullptr;
    cf::CFURLRef base = cf::CFURLCreateFromFSRef(cf::kCFAllocatorDefault, &folder);
    cf::CFURLRef url = cf::CFURLCreateCopyAppendingPathComponent(
        cf::kCFAllocatorDefault, base, cf::CFSTR("ApplicationServices.framework"), false);
    cf::CFBundleRef bundle = cf::CFBundleCreate(cf::kCFAllocatorDefault, url);
    if (bundle != nullptr && !cf::CFBundleLoadExecutable(bundle)) {
        cf::CFRelease(bundle);
        bundle = nullptr;
    }
    cf::CFRelease(url);
    cf::CFRelease(base);
    return bundle;
}

template <typename F>
void* Address(F* f) {
    return reinterpret_cast<void*>(f);
}

TEST_F(QuickDraw, BundleGivesAllTwentyTwoFunctionsByName) {
    const std::pair<const char*, void*> functions[] = {
        {"GetQDGlobalsBlack", Address(&GetQDGlobalsBlack)},
        {"FillRect", Address(&FillRect)},
        {"ForeColor", Address(&ForeColor)},
        {"SetPort", Address(&SetPort)},
        {"NewGWorld", Address(&NewGWorld)},
        {"DisposeGWorld", Address(&DisposeGWorld)},
        {"GetPort", Address(&GetPort)},
        {"SetGWorld", Address(&SetGWorld)},
        {"GetPixDepth", Address(&GetPixDepth)},
        {"UnlockPixels", Address(&UnlockPixels)},
        {"LockPixels", Address(&LockPixels)},
        {"GetGWorldPixMap", Address(&GetGWorldPixMap)},
        {"GetPixBaseAddr", Address(&GetPixBaseAddr)},
        {"GetPixRowBytes", Address(&GetPixRowBytes)},
        {"GetPortBounds", Address(&GetPortBounds)},
        {"BackColor", Address(&BackColor)},
        {"GetPortBitMapForCopyBits", Address(&GetPortBitMapForCopyBits)},
        {"CopyBits", Address(&CopyBits)},
        {"GetDeviceList", Address(&GetDeviceList)},
        {"GetMainDevice", Address(&GetMainDevice)},
        {"GetNextDevice", Address(&GetNextDevice)},
        {"SectRect", Address(&SectRect)},
    };
    cf::CFBundleRef bundle = LoadApplicationServices();
    ASSERT_NE(bundle, nullptr);
    for (const auto& [name, address] : functions) {
        EXPECT_EQ(cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR(name)), address) << name;
    }
    EXPECT_EQ(cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR("PaintRect")), nullptr);
    EXPECT_EQ(cf::CFBundleGetFunctionPointerForName(bundle, nullptr), nullptr);

    // A function found through the bundle is the function itself.
    using SectRectFn = bool (*)(const Rect*, const Rect*, Rect*);
    auto sect = reinterpret_cast<SectRectFn>(
        cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR("SectRect")));
    const Rect a = R(0, 0, 4, 4), b = R(2, 2, 6, 6);
    Rect s;
    EXPECT_TRUE(sect(&a, &b, &s));
    EXPECT_EQ(s.top, 2);
    cf::CFRelease(bundle);
}

TEST_F(QuickDraw, BundleAndFunctionsCanBeMadeUnavailable) {
    cf::testing::HideFunction("CopyBits");
    cf::CFBundleRef bundle = LoadApplicationServices();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR("CopyBits")), nullptr);
    EXPECT_NE(cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR("NewGWorld")), nullptr);
    cf::testing::HideFunction("CopyBits", false);
    EXPECT_NE(cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR("CopyBits")), nullptr);
    cf::CFRelease(bundle);

    cf::testing::HideBundle(true);
    EXPECT_EQ(LoadApplicationServices(), nullptr);
    cf::testing::HideBundle(false);
    bundle = LoadApplicationServices();
    EXPECT_NE(bundle, nullptr);
    cf::CFRelease(bundle);
}

TEST_F(QuickDraw, OnlyTheFrameworksFolderAndKnownBundlesAreFound) {
    cf::FSRef ref;
    EXPECT_EQ(cf::FSFindFolder(cf::kOnSystemDisk, 0x70726566 /* 'pref' */, true, &ref), cf::fnfErr);
    EXPECT_EQ(cf::FSFindFolder(-100, cf::kFrameworksFolderType, true, &ref), cf::fnfErr);
    EXPECT_EQ(cf::FSFindFolder(cf::kOnSystemDisk, cf::kFrameworksFolderType, true, nullptr),
              cf::paramErr);
    ASSERT_EQ(cf::FSFindFolder(cf::kOnSystemDisk, cf::kFrameworksFolderType, true, &ref),
              cf::noErr);
    cf::CFURLRef base = cf::CFURLCreateFromFSRef(nullptr, &ref);
    for (const char* name : {"Carbon.framework", "ApplicationServices", ""}) {
        cf::CFStringRef s = cf::CFStringCreateWithCString(nullptr, name, cf::kCFStringEncodingUTF8);
        cf::CFURLRef url = cf::CFURLCreateCopyAppendingPathComponent(nullptr, base, s, false);
        EXPECT_EQ(cf::CFBundleCreate(nullptr, url), nullptr) << name;
        cf::CFRelease(url);
        cf::CFRelease(s);
    }
    cf::CFRelease(base);
    // A bundle whose executable is not loaded gives no functions.
    cf::testing::HideBundle(true);
    cf::FSRef folder;
    cf::FSFindFolder(cf::kOnSystemDisk, cf::kFrameworksFolderType, true, &folder);
    base = cf::CFURLCreateFromFSRef(nullptr, &folder);
    cf::CFURLRef url = cf::CFURLCreateCopyAppendingPathComponent(
        nullptr, base, cf::CFSTR("ApplicationServices.framework"), false);
    cf::CFBundleRef bundle = cf::CFBundleCreate(nullptr, url);
    ASSERT_NE(bundle, nullptr);
    EXPECT_FALSE(cf::CFBundleLoadExecutable(bundle));
    EXPECT_EQ(cf::CFBundleGetFunctionPointerForName(bundle, cf::CFSTR("CopyBits")), nullptr);
    for (cf::CFTypeRef o : {cf::CFTypeRef(bundle), cf::CFTypeRef(url), cf::CFTypeRef(base)})
        cf::CFRelease(o);
}

TEST_F(QuickDraw, StringsCheckTheirEncoding) {
    EXPECT_EQ(cf::CFStringCreateWithCString(nullptr, "caf\xC3\xA9", cf::kCFStringEncodingASCII),
              nullptr);
    EXPECT_EQ(cf::CFStringCreateWithCString(nullptr, "caf\xE9", cf::kCFStringEncodingUTF8),
              nullptr);
    EXPECT_EQ(cf::CFStringCreateWithCString(nullptr, nullptr, cf::kCFStringEncodingUTF8), nullptr);
    cf::CFStringRef ok =
        cf::CFStringCreateWithCString(nullptr, "caf\xC3\xA9", cf::kCFStringEncodingUTF8);
    EXPECT_NE(ok, nullptr);
    EXPECT_EQ(os::LiveObjectCount(os::ObjectKind::String), 1);
    cf::CFRelease(ok);
    EXPECT_EQ(cf::CFSTR("same"), cf::CFSTR("same"));
    cf::CFRelease(cf::CFSTR("same"));  // a literal string outlives any release
    cf::CFRelease(nullptr);
}

}  // namespace
