// The CoreGraphics subset over a small fixture screen: display services,
// display images, colour spaces and bitmap contexts.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os/cg.h"
#include "platform/virtual.h"

using namespace platform::cg;
namespace cf = platform::cf;
namespace os = platform::os;

namespace {

// Pixel (x, y) of the display with id `id` is R = id, G = y, B = x.
uint32_t Colour(uint32_t id, size_t x, size_t y) {
    return id << 16 | uint32_t(y) << 8 | uint32_t(x);
}

class CoreGraphics : public ::testing::Test {
  protected:
    void SetUp() override {
        auto s = std::make_unique<platform::VirtualScreen>();
        screen = s.get();
        platform::SetCurrentScreen(std::move(s));
        live = os::LiveObjectCount();
    }
    void TearDown() override { EXPECT_EQ(os::LiveObjectCount(), live) << "objects leaked"; }

    // The bytes of pixel (x, y) of a context, top row 0.
    static std::array<uint8_t, 4> At(CGContextRef ctx, size_t x, size_t y) {
        std::array<uint8_t, 4> p;
        const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(ctx));
        std::memcpy(p.data(), data + y * CGBitmapContextGetBytesPerRow(ctx) + 4 * x, 4);
        return p;
    }
    // Draws the image unscaled into a new X,R,G,B context and returns it.
    static CGContextRef Rendered(CGImageRef image) {
        CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
        const auto w = CGImageGetWidth(image), h = CGImageGetHeight(image);
        CGContextRef ctx = CGBitmapContextCreate(nullptr, w, h, 8, 0, rgb, 6);
        CGColorSpaceRelease(rgb);
        CGContextDrawImage(ctx, CGRectMake(0, 0, float(w), float(h)), image);
        return ctx;
    }
    // X,R,G,B bytes of a fixture pixel.
    static std::array<uint8_t, 4> Xrgb(uint32_t rgb) {
        return {255, uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)};
    }

    uint32_t Add(platform::Rect points, int ppp = 1, int bits = 8, int samples = 3) {
        const uint32_t id = screen->AddDisplay(points, ppp, bits, samples);
        for (int y = 0; y < points.height * ppp; ++y)
            for (int x = 0; x < points.width * ppp; ++x)
                screen->SetPixel(id, x, y, Colour(id, size_t(x), size_t(y)));
        return id;
    }

    platform::VirtualScreen* screen = nullptr;
    int64_t live = 0;
};

TEST_F(CoreGraphics, DisplayListPutsTheMainDisplayFirstAndHonoursTheLimit) {
    const uint32_t main = Add({0, 0, 2, 2});
    const uint32_t right = Add({2, 0, 3, 2});
    uint32_t count = 99;
    ASSERT_EQ(CGGetActiveDisplayList(0, nullptr, &count), kCGErrorSuccess);
    EXPECT_EQ(count, 2u);
    CGDirectDisplayID ids[32] = {};
    ASSERT_EQ(CGGetActiveDisplayList(32, ids, &count), kCGErrorSuccess);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(ids[0], main);
    EXPECT_EQ(ids[1], right);
    ASSERT_EQ(CGGetActiveDisplayList(1, ids, &count), kCGErrorSuccess);
    EXPECT_EQ(count, 1u);
    EXPECT_NE(CGGetActiveDisplayList(32, ids, nullptr), kCGErrorSuccess);
    EXPECT_EQ(CGMainDisplayID(), main);

    const CGRect b = CGDisplayBounds(right);
    EXPECT_EQ(b.origin.x, 2);
    EXPECT_EQ(b.origin.y, 0);
    EXPECT_EQ(b.size.width, 3);
    EXPECT_EQ(b.size.height, 2);
    const CGRect none = CGDisplayBounds(0);
    EXPECT_EQ(none.size.width, 0);

    EXPECT_NE(CGDisplayIDToOpenGLDisplayMask(main), 0u);
    EXPECT_NE(CGDisplayIDToOpenGLDisplayMask(right), 0u);
    EXPECT_EQ(CGDisplayIDToOpenGLDisplayMask(main) & CGDisplayIDToOpenGLDisplayMask(right), 0u);
    EXPECT_EQ(CGDisplayIDToOpenGLDisplayMask(0), 0u);
}

TEST_F(CoreGraphics, EmptyScreenHasNoDisplays) {
    uint32_t count = 99;
    EXPECT_EQ(CGGetActiveDisplayList(32, nullptr, &count), kCGErrorSuccess);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(CGMainDisplayID(), 0u);
}

TEST_F(CoreGraphics, CurrentModeGivesBitsAndSamples) {
    const uint32_t deep = Add({0, 0, 2, 2}, 1, 8, 3);
    const uint32_t shallow = Add({2, 0, 2, 2}, 1, 5, 3);
    struct Case {
        uint32_t id;
        int32_t bits, samples;
    };
    for (const Case& c : {Case{deep, 8, 3}, Case{shallow, 5, 3}}) {
        CFDictionaryRef mode = CGDisplayCurrentMode(c.id);
        ASSERT_NE(mode, nullptr);
        int32_t bits = -1, samples = -1;
        EXPECT_TRUE(cf::CFNumberGetValue(static_cast<cf::CFNumberRef>(cf::CFDictionaryGetValue(
                                             mode, cf::CFSTR("BitsPerSample"))),
                                         cf::kCFNumberSInt32Type, &bits));
        // A key made at run time finds the value as well as a literal one.
        cf::CFStringRef key =
            cf::CFStringCreateWithCString(nullptr, "SamplesPerPixel", cf::kCFStringEncodingUTF8);
        EXPECT_TRUE(
            cf::CFNumberGetValue(static_cast<cf::CFNumberRef>(cf::CFDictionaryGetValue(mode, key)),
                                 cf::kCFNumberSInt32Type, &samples));
        cf::CFRelease(key);
        EXPECT_EQ(bits, c.bits);
        EXPECT_EQ(samples, c.samples);
        EXPECT_EQ(cf::CFDictionaryGetValue(mode, cf::CFSTR("RefreshRate")), nullptr);
        // Not owned by the caller, so the same dictionary comes back.
        EXPECT_EQ(CGDisplayCurrentMode(c.id), mode);
    }
    EXPECT_EQ(CGDisplayCurrentMode(0), nullptr);
    int32_t v = 7;
    EXPECT_FALSE(cf::CFNumberGetValue(nullptr, cf::kCFNumberSInt32Type, &v));
    EXPECT_FALSE(cf::CFNumberGetValue(
        static_cast<cf::CFNumberRef>(static_cast<const void*>(cf::CFSTR("BitsPerSample"))),
        cf::kCFNumberSInt32Type, &v));
    EXPECT_EQ(v, 7);
}

TEST_F(CoreGraphics, RectangleIntersection) {
    struct Case {
        CGRect a, b;
        bool null;
        CGRect want;
    };
    const Case cases[] = {
        {CGRectMake(0, 0, 10, 10), CGRectMake(5, 2, 10, 3), false, CGRectMake(5, 2, 5, 3)},
        {CGRectMake(0, 0, 10, 10), CGRectMake(10, 0, 5, 5), true, {}},  // touching edges
        {CGRectMake(0, 0, 10, 10), CGRectMake(20, 20, 5, 5), true, {}},
        {CGRectMake(10, 10, -10, -10), CGRectMake(5, 5, 10, 10), false, CGRectMake(5, 5, 5, 5)},
        {CGRectNull, CGRectMake(0, 0, 10, 10), true, {}},
        {CGRectMake(-5, -5, 10, 10), CGRectMake(-2147483648.0f, -10, 4294967295.0f, 20), false,
         CGRectMake(-5, -5, 10, 10)},
    };
    for (const Case& c : cases) {
        const CGRect r = CGRectIntersection(c.a, c.b);
        ASSERT_EQ(CGRectIsNull(r), c.null);
        if (c.null) continue;
        EXPECT_EQ(r.origin.x, c.want.origin.x);
        EXPECT_EQ(r.origin.y, c.want.origin.y);
        EXPECT_EQ(r.size.width, c.want.size.width);
        EXPECT_EQ(r.size.height, c.want.size.height);
    }
}

TEST_F(CoreGraphics, DisplayImageForRectIsTheDisplaysPixels) {
    Add({0, 0, 2, 2});
    const uint32_t right = Add({2, 0, 3, 2});
    ASSERT_NE(&CGDisplayCreateImageForRect, nullptr);
    CGImageRef image = CGDisplayCreateImageForRect(right, CGRectMake(1, 0, 2, 2));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 2u);
    EXPECT_EQ(CGImageGetHeight(image), 2u);
    EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaNoneSkipFirst);
    EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(image)), kCGColorSpaceModelRGB);
    CGContextRef ctx = Rendered(image);
    CGImageRelease(image);
    for (size_t y = 0; y < 2; ++y)
        for (size_t x = 0; x < 2; ++x)
            EXPECT_EQ(At(ctx, x, y), Xrgb(Colour(right, x + 1, y))) << x << y;
    CGContextRelease(ctx);
}

TEST_F(CoreGraphics, DisplayImagesAreAtPixelSize) {
    const uint32_t retina = Add({0, 0, 3, 2}, 2);  // 6 × 4 pixels
    CGImageRef part = CGDisplayCreateImageForRect(retina, CGRectMake(1, 1, 2, 1));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(CGImageGetWidth(part), 4u);
    EXPECT_EQ(CGImageGetHeight(part), 2u);
    CGContextRef ctx = Rendered(part);
    for (size_t y = 0; y < 2; ++y)
        for (size_t x = 0; x < 4; ++x)
            EXPECT_EQ(At(ctx, x, y), Xrgb(Colour(retina, x + 2, y + 2))) << x << y;
    CGContextRelease(ctx);
    CGImageRelease(part);

    CGImageRef whole = CGDisplayCreateImage(retina);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(CGImageGetWidth(whole), 6u);
    EXPECT_EQ(CGImageGetHeight(whole), 4u);
    CGImageRelease(whole);
}

TEST_F(CoreGraphics, DisplayImageKeepsOnlyThePartOnTheDisplay) {
    const uint32_t id = Add({0, 0, 2, 2});
    CGImageRef clipped = CGDisplayCreateImageForRect(id, CGRectMake(-1, 1, 5, 5));
    ASSERT_NE(clipped, nullptr);
    EXPECT_EQ(CGImageGetWidth(clipped), 2u);
    EXPECT_EQ(CGImageGetHeight(clipped), 1u);
    CGImageRelease(clipped);
    EXPECT_EQ(CGDisplayCreateImageForRect(id, CGRectMake(2, 0, 1, 1)), nullptr);
    EXPECT_EQ(CGDisplayCreateImageForRect(id, CGRectMake(0, 0, 0, 1)), nullptr);
    EXPECT_EQ(CGDisplayCreateImageForRect(id, CGRectNull), nullptr);
    EXPECT_EQ(CGDisplayCreateImageForRect(0, CGRectMake(0, 0, 1, 1)), nullptr);
    EXPECT_EQ(CGDisplayCreateImage(0), nullptr);
}

TEST_F(CoreGraphics, PathTransformIsPresentButMakesNoPath) {
    ASSERT_NE(&CGPathCreateCopyByTransformingPath, nullptr);
    const CGAffineTransform t{1, 0, 0, 1, 0, 0};
    EXPECT_EQ(CGPathCreateCopyByTransformingPath(nullptr, &t), nullptr);
}

TEST_F(CoreGraphics, ColourSpaces) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGColorSpaceRef gray = CGColorSpaceCreateDeviceGray();
    CGColorSpaceRef generic = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
    cf::CFStringRef name = cf::CFStringCreateWithCString(nullptr, "kCGColorSpaceGenericRGB",
                                                         cf::kCFStringEncodingASCII);
    CGColorSpaceRef byText = CGColorSpaceCreateWithName(name);
    EXPECT_EQ(CGColorSpaceGetModel(rgb), kCGColorSpaceModelRGB);
    EXPECT_EQ(CGColorSpaceGetModel(gray), kCGColorSpaceModelMonochrome);
    EXPECT_EQ(CGColorSpaceGetModel(generic), kCGColorSpaceModelRGB);
    EXPECT_EQ(CGColorSpaceGetModel(byText), kCGColorSpaceModelRGB);
    EXPECT_EQ(CGColorSpaceGetModel(nullptr), kCGColorSpaceModelUnknown);
    EXPECT_EQ(CGColorSpaceCreateWithName(cf::CFSTR("kCGColorSpaceSomethingElse")), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithName(nullptr), nullptr);

    EXPECT_EQ(os::LiveObjectCount(os::ObjectKind::ColorSpace), 4);
    CGColorSpaceRetain(rgb);
    CGColorSpaceRelease(rgb);
    EXPECT_EQ(os::LiveObjectCount(os::ObjectKind::ColorSpace), 4);
    for (CGColorSpaceRef s : {rgb, gray, generic, byText}) CGColorSpaceRelease(s);
    cf::CFRelease(name);
    CGColorSpaceRelease(nullptr);
    EXPECT_EQ(os::LiveObjectCount(os::ObjectKind::ColorSpace), 0);

    os::testing::FailCreations(os::ObjectKind::ColorSpace, 1);
    EXPECT_EQ(CGColorSpaceCreateDeviceRGB(), nullptr);
    rgb = CGColorSpaceCreateDeviceRGB();
    EXPECT_NE(rgb, nullptr);
    CGColorSpaceRelease(rgb);
}

TEST_F(CoreGraphics, BitmapContextRejectsBadArguments) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGColorSpaceRef gray = CGColorSpaceCreateDeviceGray();
    struct Case {
        const char* what;
        size_t w, h, bpc, bpr;
        CGColorSpaceRef space;
        CGBitmapInfo info;
    };
    const size_t huge = size_t{1} << 62;
    const Case cases[] = {
        {"16 bits per component", 4, 4, 16, 0, rgb, 6},
        {"no space", 4, 4, 8, 0, nullptr, 6},
        {"gray space", 4, 4, 8, 0, gray, 6},
        {"alpha info 0", 4, 4, 8, 0, rgb, 0},
        {"alpha info 7", 4, 4, 8, 0, rgb, 7},
        {"little-endian order", 4, 4, 8, 0, rgb, 6 | kCGBitmapByteOrder32Little},
        {"rows too short", 4, 4, 8, 15, rgb, 6},
        {"no width", 0, 4, 8, 0, rgb, 6},
        {"no height", 4, 0, 8, 0, rgb, 6},
        {"width overflows", huge, 1, 8, 0, rgb, 6},
        {"size overflows", 1 << 20, huge / 8, 8, 0, rgb, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CGBitmapContextCreate(nullptr, c.w, c.h, c.bpc, c.bpr, c.space, c.info), nullptr)
            << c.what;
    }
    CGContextRef ok = CGBitmapContextCreate(nullptr, 3, 2, 8, 0, rgb, 2 | kCGBitmapByteOrder32Big);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(CGBitmapContextGetWidth(ok), 3u);
    EXPECT_EQ(CGBitmapContextGetHeight(ok), 2u);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(ok), 12u);
    EXPECT_EQ(CGBitmapContextGetBitsPerPixel(ok), 32u);
    EXPECT_EQ(CGBitmapContextGetAlphaInfo(ok), kCGImageAlphaPremultipliedFirst);
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(ok));
    for (size_t i = 0; i < 24; ++i) EXPECT_EQ(data[i], 0) << i;
    CGContextRelease(ok);
    CGColorSpaceRelease(rgb);
    CGColorSpaceRelease(gray);
}

// One pixel drawn into a context of each alpha info lands in that layout.
TEST_F(CoreGraphics, AlphaInfosLayOutPixelsInMemoryOrder) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    const uint8_t opaque[4] = {30, 20, 10, 0};   // B, G, R, X
    const uint8_t halfRed[4] = {64, 0, 0, 128};  // R, G, B, A premultiplied
    CGImageRef solid = CGImageCreate(1, 1, 8, 32, 4, rgb, 6 | kCGBitmapByteOrder32Little, opaque);
    CGImageRef translucent = CGImageCreate(1, 1, 8, 32, 4, rgb, 1, halfRed);
    ASSERT_NE(solid, nullptr);
    ASSERT_NE(translucent, nullptr);
    struct Case {
        CGBitmapInfo info;
        std::array<uint8_t, 4> solid, translucent;  // the latter over transparent black
    };
    const Case cases[] = {
        {1, {10, 20, 30, 255}, {64, 0, 0, 128}},  {2, {255, 10, 20, 30}, {128, 64, 0, 0}},
        {3, {10, 20, 30, 255}, {128, 0, 0, 128}}, {4, {255, 10, 20, 30}, {128, 128, 0, 0}},
        {5, {10, 20, 30, 255}, {64, 0, 0, 255}},  // no alpha: over opaque black
        {6, {255, 10, 20, 30}, {255, 64, 0, 0}},
    };
    for (const Case& c : cases) {
        CGContextRef ctx = CGBitmapContextCreate(nullptr, 2, 1, 8, 0, rgb, c.info);
        ASSERT_NE(ctx, nullptr) << c.info;
        EXPECT_EQ(CGBitmapContextGetAlphaInfo(ctx), c.info);
        CGContextDrawImage(ctx, CGRectMake(0, 0, 1, 1), solid);
        CGContextDrawImage(ctx, CGRectMake(1, 0, 1, 1), translucent);
        EXPECT_EQ(At(ctx, 0, 0), c.solid) << "alpha info " << c.info;
        EXPECT_EQ(At(ctx, 1, 0), c.translucent) << "alpha info " << c.info;
        CGContextRelease(ctx);
    }
    CGImageRelease(solid);
    CGImageRelease(translucent);
    CGColorSpaceRelease(rgb);
}

// Whole rows go through vector code in blocks and a scalar tail: every pair
// of opaque source order and context layout must agree pixel for pixel.
TEST_F(CoreGraphics, WideRowsConvertEveryLayoutPair) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    constexpr size_t kWidth = 11;
    struct Source {
        CGBitmapInfo info;
        int r, g, b;  // byte offsets in memory
    };
    const Source sources[] = {
        {5, 0, 1, 2},
        {6, 1, 2, 3},
        {5 | kCGBitmapByteOrder32Little, 3, 2, 1},
        {6 | kCGBitmapByteOrder32Little, 2, 1, 0},
    };
    for (const Source& src : sources) {
        std::vector<uint8_t> px(4 * kWidth, 0x55);  // the unused byte stays 0x55
        for (size_t i = 0; i < kWidth; ++i) {
            px[4 * i + src.r] = uint8_t(10 + i);
            px[4 * i + src.g] = uint8_t(100 + i);
            px[4 * i + src.b] = uint8_t(200 + i);
        }
        CGImageRef image = CGImageCreate(kWidth, 1, 8, 32, 4 * kWidth, rgb, src.info, px.data());
        ASSERT_NE(image, nullptr);
        for (CGBitmapInfo info = 1; info <= 6; ++info) {
            CGContextRef ctx = CGBitmapContextCreate(nullptr, kWidth, 1, 8, 0, rgb, info);
            CGContextDrawImage(ctx, CGRectMake(0, 0, kWidth, 1), image);
            for (size_t i = 0; i < kWidth; ++i) {
                const uint8_t r = uint8_t(10 + i), g = uint8_t(100 + i), b = uint8_t(200 + i);
                const std::array<uint8_t, 4> want = info % 2 ? std::array<uint8_t, 4>{r, g, b, 255}
                                                             : std::array<uint8_t, 4>{255, r, g, b};
                EXPECT_EQ(At(ctx, i, 0), want)
                    << "source " << src.info << " context " << info << " pixel " << i;
            }
            CGContextRelease(ctx);
        }
        CGImageRelease(image);
    }
    CGColorSpaceRelease(rgb);
}

TEST_F(CoreGraphics, ImagesOfOtherKindsDrawAsRgb) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGColorSpaceRef gray = CGColorSpaceCreateDeviceGray();
    const uint8_t grayPixel[1] = {200};
    const uint8_t rgbPixel[3] = {1, 2, 3};
    const uint8_t maskPixel[1] = {255};
    const uint8_t straight[4] = {9, 200, 100, 50};  // A, R, G, B not premultiplied
    struct Case {
        const char* what;
        CGImageRef image;
        std::array<uint8_t, 4> want;  // X, R, G, B
    };
    const Case cases[] = {
        {"gray", CGImageCreate(1, 1, 8, 8, 1, gray, 0, grayPixel), {255, 200, 200, 200}},
        {"24-bit", CGImageCreate(1, 1, 8, 24, 3, rgb, 0, rgbPixel), {255, 1, 2, 3}},
        {"mask", CGImageCreate(1, 1, 8, 8, 1, nullptr, 7, maskPixel), {255, 0, 0, 0}},
        // Translucent images show what was there before under them.
        {"straight alpha", CGImageCreate(1, 1, 8, 32, 4, rgb, 4, straight), {255, 130, 127, 125}},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.image, nullptr) << c.what;
        CGContextRef ctx = CGBitmapContextCreate(nullptr, 1, 1, 8, 4, rgb, 6);
        std::memset(CGBitmapContextGetData(ctx), 0x7F, 4);
        CGContextDrawImage(ctx, CGRectMake(0, 0, 1, 1), c.image);
        EXPECT_EQ(At(ctx, 0, 0), c.want) << c.what;
        CGContextRelease(ctx);
        CGImageRelease(c.image);
    }
    EXPECT_EQ(CGImageCreate(1, 1, 8, 8, 1, rgb, 0, grayPixel), nullptr);
    EXPECT_EQ(CGImageCreate(2, 1, 8, 32, 7, rgb, 6, straight), nullptr);
    EXPECT_EQ(CGImageCreate(1, 1, 8, 32, 4, rgb, 6, nullptr), nullptr);
    CGColorSpaceRelease(gray);
    CGColorSpaceRelease(rgb);
}

// A 2 × 2 image of four distinct R values: 1 2 on the top row, 3 4 below.
CGImageRef FourPixels(CGColorSpaceRef rgb) {
    const uint8_t px[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};  // R,G,B,X
    return CGImageCreate(2, 2, 8, 32, 8, rgb, 5, px);
}

// The R bytes of an R,G,B,X context, row by row from the top, 0 where clear.
std::vector<std::vector<int>> Reds(CGContextRef ctx) {
    std::vector<std::vector<int>> rows(CGBitmapContextGetHeight(ctx));
    const auto* d = static_cast<const uint8_t*>(CGBitmapContextGetData(ctx));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < CGBitmapContextGetWidth(ctx); ++x)
            rows[y].push_back(d[y * CGBitmapContextGetBytesPerRow(ctx) + 4 * x]);
    return rows;
}

TEST_F(CoreGraphics, DrawImagePlacesWithYUpAndScales) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef image = FourPixels(rgb);
    using Rows = std::vector<std::vector<int>>;
    struct Case {
        const char* what;
        CGRect rect;
        Rows want;
    };
    const Case cases[] = {
        {"top left: y = height - image height",
         CGRectMake(0, 2, 2, 2),
         {{1, 2, 0, 0}, {3, 4, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
        {"bottom right: y = 0",
         CGRectMake(2, 0, 2, 2),
         {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 2}, {0, 0, 3, 4}}},
        {"stretched to the whole context",
         CGRectMake(0, 0, 4, 4),
         {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}}},
        {"squeezed into one row",
         CGRectMake(0, 3, 4, 1),
         {{3, 3, 4, 4}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
        {"partly outside",
         CGRectMake(-1, 3, 2, 2),
         {{4, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
        {"wholly outside", CGRectMake(4, 0, 2, 2), Rows(4, std::vector<int>(4, 0))},
        {"empty", CGRectMake(0, 0, 0, 2), Rows(4, std::vector<int>(4, 0))},
    };
    for (const Case& c : cases) {
        CGContextRef ctx = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, 5);
        CGContextDrawImage(ctx, c.rect, image);
        EXPECT_EQ(Reds(ctx), c.want) << c.what;
        CGContextRelease(ctx);
    }
    CGImageRelease(image);
    CGColorSpaceRelease(rgb);
}

TEST_F(CoreGraphics, ClearRectUsesTheSameCoordinates) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    std::vector<uint8_t> buffer(3 * 20, 0xEE);  // rows of 20 bytes: 5 pixels, 2 of them unused
    CGContextRef ctx = CGBitmapContextCreate(buffer.data(), 3, 3, 8, 20, rgb, 6);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(CGBitmapContextGetData(ctx), buffer.data());
    CGContextClearRect(ctx, CGRectMake(1, 0, 5, 2));  // the bottom two rows, from column 1
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 5; ++x) {
            const bool cleared = y >= 1 && x >= 1 && x < 3;
            EXPECT_EQ(buffer[y * 20 + 4 * x], cleared ? 0 : 0xEE) << x << "," << y;
        }
    CGContextRelease(ctx);
    CGColorSpaceRelease(rgb);
}

// A context over a buffer that is owed a fill writes it as soon as anything
// could see the buffer, and not at all when a drawing replaces every pixel.
TEST_F(CoreGraphics, OwedFillIsWrittenUnlessADrawingCoversEveryPixel) {
    constexpr uint32_t kFill = 0xFF000000;  // R, G, B 0 and X 255 in RGBX
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef four = FourPixels(rgb);  // 2 x 2
    enum class Use { Nothing, GetData, WholeDraw, PartDraw };
    for (Use use : {Use::Nothing, Use::GetData, Use::WholeDraw, Use::PartDraw}) {
        std::vector<uint32_t> buffer(4, 0x5A5A5A5A);
        CGContextRef ctx = NewBitmapContextOwingFill(buffer.data(), 2, 2, 8, rgb, 5, kFill);
        ASSERT_NE(ctx, nullptr);
        if (use == Use::GetData) {
            EXPECT_EQ(CGBitmapContextGetData(ctx), buffer.data());
            EXPECT_EQ(buffer[3], kFill);
        }
        if (use == Use::WholeDraw) CGContextDrawImage(ctx, CGRectMake(0, 0, 2, 2), four);
        if (use == Use::PartDraw) CGContextDrawImage(ctx, CGRectMake(0, 0, 1, 1), four);
        CGContextRelease(ctx);
        for (size_t i = 0; i < 4; ++i) {
            const bool image = use == Use::WholeDraw || (use == Use::PartDraw && i == 2);
            if (image) {
                EXPECT_NE(buffer[i], kFill) << int(use) << " " << i;
                EXPECT_NE(buffer[i], 0x5A5A5A5Au) << int(use) << " " << i;
            } else {
                EXPECT_EQ(buffer[i], kFill) << int(use) << " " << i;
            }
        }
    }
    CGImageRelease(four);
    CGColorSpaceRelease(rgb);
}

// A screen reading drawn whole over a buffer owed its fill waits: the buffer
// is written only when something could see it, and until then the context
// tells where the reading's rows are. Told to forget, it writes nothing, not
// even when it goes.
TEST_F(CoreGraphics, ReadingDrawnOverAnOwedBufferIsWrittenAtFirstUse) {
    const uint32_t id = Add({0, 0, 4, 3});
    constexpr uint32_t kUntouched = 0x5A5A5A5A;
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    // R, G, B, X in memory, as the framework's pictures hold them.
    auto rgbx = [](uint32_t c) {
        const uint8_t b[4] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255};
        uint32_t v;
        std::memcpy(&v, b, 4);
        return v;
    };
    enum class Use { GetData, ClearOnePixel, MakeImage, Release, Forget };
    for (Use use : {Use::GetData, Use::ClearOnePixel, Use::MakeImage, Use::Release, Use::Forget}) {
        SCOPED_TRACE(int(use));
        std::vector<uint32_t> buffer(12, kUntouched);
        CGContextRef ctx = NewBitmapContextOwingFill(buffer.data(), 4, 3, 16, rgb, 5, 0xFF000000);
        ASSERT_NE(ctx, nullptr);
        CGImageRef shot = CGDisplayCreateImageForRect(id, CGRectMake(0, 0, 4, 3));
        ASSERT_NE(shot, nullptr);
        CGContextDrawImage(ctx, CGRectMake(0, 0, 4, 3), shot);
        CGImageRelease(shot);  // the context holds what it owes
        for (uint32_t v : buffer) ASSERT_EQ(v, kUntouched);
        OwedRows rows;
        ASSERT_TRUE(RowsOwed(ctx, &rows));
        const uint8_t* px = rows.data + 2 * rows.bytesPerRow + 4 * 3;
        EXPECT_EQ(px[rows.red], id);
        EXPECT_EQ(px[rows.green], 2);
        EXPECT_EQ(px[rows.blue], 3);

        if (use == Use::GetData) {
            EXPECT_EQ(CGBitmapContextGetData(ctx), buffer.data());
        }
        if (use == Use::ClearOnePixel) CGContextClearRect(ctx, CGRectMake(1, 2, 1, 1));
        if (use == Use::MakeImage) {
            CGImageRef image = CGBitmapContextCreateImage(ctx);
            EXPECT_NE(image, nullptr);
            CGImageRelease(image);
        }
        if (use == Use::Forget) ForgetOwed(ctx);
        if (use != Use::Release && use != Use::Forget) {
            EXPECT_FALSE(RowsOwed(ctx, &rows));
            for (size_t i = 0; i < 12; ++i) EXPECT_NE(buffer[i], kUntouched) << i;
        }
        CGContextRelease(ctx);
        for (size_t y = 0; y < 3; ++y) {
            for (size_t x = 0; x < 4; ++x) {
                const uint32_t want = use == Use::Forget ? kUntouched
                                      : use == Use::ClearOnePixel && x == 1 && y == 0
                                          ? 0u
                                          : rgbx(Colour(id, x, y));
                EXPECT_EQ(buffer[y * 4 + x], want) << x << "," << y;
            }
        }
    }
    CGColorSpaceRelease(rgb);
}

// A screen that hands out its memory to keep, saying how much of it a view
// holds alive: one display of 4 x 3 pixels.
class KeepingScreen final : public platform::Screen {
  public:
    explicit KeepingScreen(size_t keptBytes) : keptBytes_(keptBytes) {
        for (size_t i = 0; i < pixels_->size(); ++i) (*pixels_)[i] = uint32_t(0x10203 * i);
    }
    std::vector<platform::DisplayInfo> Displays() override {
        platform::DisplayInfo d;
        d.id = 1;
        d.bounds = {0, 0, 4, 3};
        d.isMain = true;
        return {d};
    }
    bool Read(uint32_t displayId, platform::Rect r, platform::PixelView* out,
              platform::Rect* covered) override {
        if (displayId != 1 || r.x != 0 || r.y != 0 || r.width != 4 || r.height != 3) return false;
        out->data = reinterpret_cast<const uint8_t*>(pixels_->data());
        out->stride = 16;
        out->width = 4;
        out->height = 3;
        out->keep = pixels_;
        out->keptBytes = keptBytes_;
        out->reading = 7;
        if (covered) *covered = r;
        return true;
    }

  private:
    std::shared_ptr<std::vector<uint32_t>> pixels_ = std::make_shared<std::vector<uint32_t>>(12);
    size_t keptBytes_;
};

// A reading is put off only while what it keeps alive is small: a small part
// of a large reading, or memory of an unknown size, is written at once.
TEST_F(CoreGraphics, ReadingIsPutOffOnlyWhileItKeepsLittleMemory) {
    struct Case {
        size_t kept;
        bool putOff;
    };
    for (const Case c : {Case{48, true}, Case{size_t{8} << 20, false}, Case{0, false}}) {
        SCOPED_TRACE(c.kept);
        platform::SetCurrentScreen(std::make_unique<KeepingScreen>(c.kept));
        CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
        std::vector<uint32_t> buffer(12, 0x5A5A5A5A);
        CGContextRef ctx = NewBitmapContextOwingFill(buffer.data(), 4, 3, 16, rgb, 5, 0xFF000000);
        CGImageRef shot = CGDisplayCreateImageForRect(1, CGRectMake(0, 0, 4, 3));
        ASSERT_NE(shot, nullptr);
        CGContextDrawImage(ctx, CGRectMake(0, 0, 4, 3), shot);
        CGImageRelease(shot);
        OwedRows rows;
        EXPECT_EQ(RowsOwed(ctx, &rows), c.putOff);
        EXPECT_EQ(buffer[5] == 0x5A5A5A5A, c.putOff);
        CGContextRelease(ctx);
        EXPECT_NE(buffer[5], 0x5A5A5A5Au);
        CGColorSpaceRelease(rgb);
    }
}

// A context told to write only changes leaves alone the pages that a drawing
// would not change: here they cannot be written at all, and the drawing still
// lands on the page where it differs.
TEST_F(CoreGraphics, WritingOnlyChangesLeavesEqualPagesUntouched) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t width = page / 4;  // one row, one page
    void* m = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(m, MAP_FAILED);
    auto* rows = static_cast<uint32_t*>(m);
    std::vector<uint32_t> image(2 * width);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint32_t(i * 2654435761u) | 0xFF000000;
    std::memcpy(rows, image.data(), 2 * page);
    image[width + 7] = 0xFF123456;  // the second row differs in one pixel
    ASSERT_EQ(mprotect(rows, page, PROT_READ), 0);

    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef picture = CGImageCreate(width, 2, 8, 32, page, rgb, 5, image.data());
    CGContextRef ctx = CGBitmapContextCreate(rows, width, 2, 8, page, rgb, 5);
    ASSERT_NE(ctx, nullptr);
    WriteOnlyChanges(ctx);
    CGContextDrawImage(ctx, CGRectMake(0, 0, double(width), 2), picture);
    EXPECT_EQ(std::memcmp(rows, image.data(), 2 * page), 0);
    CGContextRelease(ctx);
    CGImageRelease(picture);
    CGColorSpaceRelease(rgb);
    munmap(m, 2 * page);
}

TEST_F(CoreGraphics, ContextImageKeepsThePixelsOfItsMoment) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef four = FourPixels(rgb);
    const std::vector<std::vector<int>> drawn = {{1, 2}, {3, 4}};

    // A context over its own buffer, as the rectangle capture uses it.
    CGContextRef own = CGBitmapContextCreate(nullptr, 2, 2, 8, 0, rgb, 5);
    CGContextDrawImage(own, CGRectMake(0, 0, 2, 2), four);
    CGImageRef shot = CGBitmapContextCreateImage(own);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(CGImageGetAlphaInfo(shot), kCGImageAlphaNoneSkipLast);
    CGContextClearRect(own, CGRectMake(0, 0, 2, 2));
    CGContextRef check = CGBitmapContextCreate(nullptr, 2, 2, 8, 0, rgb, 5);
    CGContextDrawImage(check, CGRectMake(0, 0, 2, 2), shot);
    EXPECT_EQ(Reds(check), drawn);
    // Writing through the data address must not reach an image either.
    CGImageRelease(shot);
    CGContextDrawImage(own, CGRectMake(0, 0, 2, 2), four);
    shot = CGBitmapContextCreateImage(own);
    static_cast<uint8_t*>(CGBitmapContextGetData(own))[0] = 99;
    CGContextDrawImage(check, CGRectMake(0, 0, 2, 2), shot);
    EXPECT_EQ(Reds(check), drawn);
    CGImageRelease(shot);
    CGContextRelease(own);

    // A context over the caller's buffer: the image is a copy.
    std::vector<uint8_t> buffer(16);
    CGContextRef theirs = CGBitmapContextCreate(buffer.data(), 2, 2, 8, 8, rgb, 5);
    CGContextDrawImage(theirs, CGRectMake(0, 0, 2, 2), four);
    shot = CGBitmapContextCreateImage(theirs);
    CGContextRelease(theirs);
    buffer.assign(16, 0);
    CGContextDrawImage(check, CGRectMake(0, 0, 2, 2), shot);
    EXPECT_EQ(Reds(check), drawn);

    // The image outlives its context and may be drawn into its own context.
    CGContextRef self = CGBitmapContextCreate(nullptr, 2, 2, 8, 0, rgb, 5);
    CGContextDrawImage(self, CGRectMake(0, 0, 2, 2), shot);
    CGImageRef mine = CGBitmapContextCreateImage(self);
    CGContextDrawImage(self, CGRectMake(0, 0, 4, 4), mine);  // pixel 3 fills the view
    EXPECT_EQ(Reds(self), (std::vector<std::vector<int>>{{3, 3}, {3, 3}}));
    CGContextDrawImage(check, CGRectMake(0, 0, 2, 2), mine);
    EXPECT_EQ(Reds(check), drawn);
    CGImageRelease(mine);
    CGContextRelease(self);

    CGImageRelease(shot);
    CGContextRelease(check);
    CGImageRelease(four);
    CGColorSpaceRelease(rgb);
}

TEST_F(CoreGraphics, NewContextReadsAsZeroWhereNothingWasDrawn) {
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef four = FourPixels(rgb);
    // Leave a used buffer of the same size behind first.
    CGContextRef used = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, 5);
    CGContextDrawImage(used, CGRectMake(0, 0, 4, 4), four);
    CGContextRelease(used);

    // Drawn in part, then read through an image of it.
    CGContextRef part = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, 5);
    CGContextDrawImage(part, CGRectMake(0, 2, 2, 2), four);
    CGImageRef shot = CGBitmapContextCreateImage(part);
    CGContextRelease(part);
    CGContextRef check = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, 5);
    CGContextDrawImage(check, CGRectMake(0, 0, 4, 4), shot);
    EXPECT_EQ(Reds(check), (std::vector<std::vector<int>>{
                               {1, 2, 0, 0}, {3, 4, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}));
    for (size_t y = 2; y < 4; ++y)
        for (size_t x = 0; x < 4; ++x)
            EXPECT_EQ(At(check, x, y), (std::array<uint8_t, 4>{0, 0, 0, 255})) << x << "," << y;
    CGImageRelease(shot);
    CGContextRelease(check);

    // Never drawn: its data and its image are all zero.
    CGContextRef bare = CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, 5);
    for (size_t y = 0; y < 4; ++y)
        for (size_t x = 0; x < 4; ++x)
            EXPECT_EQ(At(bare, x, y), (std::array<uint8_t, 4>{0, 0, 0, 0})) << x << "," << y;
    CGContextRelease(bare);

    CGImageRelease(four);
    CGColorSpaceRelease(rgb);
}

TEST_F(CoreGraphics, CaptureRoadThroughTwoContextsKeepsEveryPixel) {
    const uint32_t id = Add({0, 0, 5, 3});
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGImageRef part = CGDisplayCreateImageForRect(id, CGRectMake(1, 1, 4, 2));
    CGContextRef rect = CGBitmapContextCreate(nullptr, 6, 3, 8, 24, rgb, 6);
    CGContextClearRect(rect, CGRectMake(0, 0, 6, 3));
    // Placed one column in and at the top, as a capture of (0, 1, 6, 3) would.
    CGContextDrawImage(rect, CGRectMake(1, 3 - 2, 4, 2), part);
    CGImageRef shot = CGBitmapContextCreateImage(rect);
    CGContextRelease(rect);
    CGImageRelease(part);
    std::vector<uint8_t> buffer(6 * 3 * 4);
    CGContextRef out = CGBitmapContextCreate(buffer.data(), 6, 3, 8, 24, rgb, 6);
    CGContextDrawImage(out, CGRectMake(0, 0, 6, 3), shot);
    CGImageRelease(shot);
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 6; ++x) {
            const bool covered = y < 2 && x >= 1 && x < 5;
            const auto want = covered ? Xrgb(Colour(id, x, y + 1)) : Xrgb(0);  // black
            EXPECT_EQ(At(out, x, y), want) << x << "," << y;
        }
    CGContextRelease(out);
    CGColorSpaceRelease(rgb);
}

TEST_F(CoreGraphics, FailedCreationsGiveNull) {
    const uint32_t id = Add({0, 0, 2, 2});
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    os::testing::FailCreations(os::ObjectKind::Image, 1);
    EXPECT_EQ(CGDisplayCreateImage(id), nullptr);
    os::testing::FailCreations(os::ObjectKind::BitmapContext, 1);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 2, 2, 8, 0, rgb, 6), nullptr);
    CGContextRef ctx = CGBitmapContextCreate(nullptr, 2, 2, 8, 0, rgb, 6);
    os::testing::FailCreations(os::ObjectKind::Image, 1);
    EXPECT_EQ(CGBitmapContextCreateImage(ctx), nullptr);
    CGContextRelease(ctx);
    CGColorSpaceRelease(rgb);
}

}  // namespace
