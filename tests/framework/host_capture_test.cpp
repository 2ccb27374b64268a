// The capture library loaded through the real host, capturing a screen whose
// every pixel the test chose. Each call must hand back exactly one reference
// and leave no picture behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "../../capture/include/plugin_sdk.h"
#include "fw/host/plugins.h"
#include "fw/ui/picture.h"
#include "host/resolver.h"
#include "platform/screen.h"
#include "platform/virtual.h"
#include "support/mapping_account.h"

namespace {

// A virtual desktop whose n-th display (from 1) has at pixel (x, y) the
// colour red 40 * n, green y, blue x.
class PatternDesktop {
  public:
    explicit PatternDesktop(platform::VirtualScreen* screen) : screen_(screen) {}
    void Add(platform::Rect bounds, int32_t pixelsPerPoint = 1) {
        const uint32_t n = ++added_;
        const uint32_t id = screen_->AddDisplay(bounds, pixelsPerPoint);
        ASSERT_NE(id, 0u);
        const int32_t w = bounds.width * pixelsPerPoint, h = bounds.height * pixelsPerPoint;
        std::vector<uint32_t> xrgb(size_t(w) * size_t(h));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                xrgb[size_t(y) * size_t(w) + size_t(x)] =
                    (uint32_t(uint8_t(40 * n)) << 16) | (uint32_t(uint8_t(y)) << 8) | uint8_t(x);
        ASSERT_TRUE(screen_->SetPixels(id, {0, 0, w, h}, xrgb.data()));
    }

  private:
    platform::VirtualScreen* screen_;
    uint32_t added_ = 0;
};

// Red, green, blue of the fixture's pixel.
struct Rgb {
    int r, g, b;
    friend bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
};
std::ostream& operator<<(std::ostream& os, Rgb c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}
Rgb Source(uint32_t display, int32_t x, int32_t y) {
    return {uint8_t(40 * display), uint8_t(y), uint8_t(x)};
}
Rgb At(const fw::Picture& p, int32_t x, int32_t y) {
    const uint8_t* px = p.Pixels() + size_t(y) * p.RowBytes() + size_t(x) * 4;
    return {px[0], px[1], px[2]};
}

constexpr const char* kDeclarations[] = {
    "ScreenshotZUVGlobalsZUV.ScreenshotDisplayZUV(index as integer) as picture",
    "ScreenshotZUVGlobalsZUV.ScreenshotZUV as picture",
    "ScreenshotZUVGlobalsZUV.ScreenshotRectZUV(left as integer, top as integer, width as "
    "integer, height as integer) as picture",
    "ScreenshotZUVGlobalsZUV.ScreenshotRectZUV(left as integer, top as integer, width as "
    "integer, height as integer, destwidth as integer, destheight as integer) as picture",
    "ScreenshotZUVGlobalsZUV.ScreenshotStringDisplayZUV(byref Width as integer, byref Height "
    "as integer, byref RowBytes as integer, index as integer) as string",
    "ScreenshotZUVGlobalsZUV.ScreenshotStringZUV(byref Width as integer, byref Height as "
    "integer, byref RowBytes as integer) as string",
    "ScreenshotZUVGlobalsZUV.ScreenshotFromStringZUV(Width as integer, Height as integer, "
    "RowBytes as integer, data as string) as picture",
};

template <class F>
F Entry(int i) {
    return reinterpret_cast<F>(fw::RuntimeLookupPluginEntrypoint(kDeclarations[i]));
}

class HostCapture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(fw::RuntimeLoadPlugin("Zuvshot.dylib")); }
    void SetUp() override {
        auto screen = std::make_unique<platform::VirtualScreen>();
        screen_ = std::make_unique<PatternDesktop>(screen.get());
        platform::SetCurrentScreen(std::move(screen));
        live_ = fw::Picture::LiveCount();
    }
    void TearDown() override {
        EXPECT_EQ(fw::Picture::LiveCount(), live_);
        platform::SetCurrentScreen(std::make_unique<platform::VirtualScreen>());
    }
    // Takes the caller's reference of a result, checking that it is the only one.
    fw::Ref<fw::Picture> Take(PluginPicture p) {
        fw::Ref<fw::Picture> picture = fw::AdoptPluginPicture(p);
        if (picture) {
            EXPECT_EQ(picture->RefCount(), 1);
        }
        EXPECT_NO_THROW(fw::RaisePendingPluginException());
        return picture;
    }
    fw::Ref<fw::Picture> Rect(int32_t l, int32_t t, int32_t w, int32_t h) {
        return Take(Entry<ScreenshotRectFn>(2)(l, t, w, h));
    }
    std::unique_ptr<PatternDesktop> screen_;
    int64_t live_ = 0;
};

TEST_F(HostCapture, LibraryComesFromThePluginFolderAndRegistersItsModule) {
    EXPECT_EQ(fw::host::AnnouncedControlVersion(), 13);
    std::vector<void*> seen;
    for (const char* declaration : kDeclarations) {
        void* fn = fw::RuntimeLookupPluginEntrypoint(declaration);
        ASSERT_NE(fn, nullptr) << declaration;
        Dl_info info{};
        ASSERT_NE(dladdr(fn, &info), 0);
        EXPECT_EQ(std::string(info.dli_fname), fw::host::PluginFolder() + "/Zuvshot.so");
        for (void* other : seen) EXPECT_NE(fn, other) << declaration;
        seen.push_back(fn);
    }
    // Without their module the members are not found, nor by a name alone.
    EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint("ScreenshotZUV as picture"), nullptr);
    EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint("ScreenshotZUVGlobalsZUV.ScreenshotRectZUV"),
              nullptr);
    // A second load calls nothing again and keeps the same functions.
    EXPECT_TRUE(fw::RuntimeLoadPlugin("Zuvshot.dylib"));
    EXPECT_EQ(fw::RuntimeLookupPluginEntrypoint(kDeclarations[2]), seen[2]);
}

TEST_F(HostCapture, RectangleAcrossTwoDisplaysPutsEachPartInPlace) {
    screen_->Add({0, 0, 100, 80});
    screen_->Add({100, 0, 100, 80});
    fw::Ref<fw::Picture> p = Rect(90, 10, 20, 5);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->Width(), 20);
    ASSERT_EQ(p->Height(), 5);
    EXPECT_FALSE(p->HasAlphaChannel());
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 20; ++x) {
            const Rgb want = x < 10 ? Source(1, 90 + x, 10 + y) : Source(2, x - 10, 10 + y);
            ASSERT_EQ(At(*p, x, y), want) << x << "," << y;
        }
    }
}

TEST_F(HostCapture, RectangleOffEveryDisplayIsAllBlackAndPartlyOffIsBlackThere) {
    screen_->Add({0, 0, 100, 80});
    fw::Ref<fw::Picture> off = Rect(5000, -3000, 7, 3);
    ASSERT_TRUE(off);
    EXPECT_EQ(off->Width(), 7);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(At(*off, x, y), (Rgb{0, 0, 0}));

    fw::Ref<fw::Picture> edge = Rect(-2, 78, 4, 4);
    ASSERT_TRUE(edge);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            const bool on = x >= 2 && y < 2;
            const Rgb want = on ? Source(1, x - 2, 78 + y) : Rgb{0, 0, 0};
            EXPECT_EQ(At(*edge, x, y), want) << x << "," << y;
        }
    }
}

TEST_F(HostCapture, DisplayOfTwoPixelsPerPointGivesTheTopLeftHalfAtDoubleDetail) {
    screen_->Add({0, 0, 60, 40}, 2);
    fw::Ref<fw::Picture> p = Rect(10, 5, 20, 10);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->Width(), 20);
    ASSERT_EQ(p->Height(), 10);
    // Points (10, 5) to (20, 10), two pixels each way: pixels from (20, 10).
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(At(*p, x, y), Source(1, 20 + x, 10 + y)) << x << "," << y;
}

TEST_F(HostCapture, EmptyAndNegativeSizesGiveNil) {
    screen_->Add({0, 0, 100, 80});
    struct Size {
        int32_t w, h;
    };
    for (Size s : {Size{0, 10}, Size{10, 0}, Size{-1, 10}, Size{10, -1}, Size{INT32_MIN, 1}}) {
        EXPECT_FALSE(Rect(0, 0, s.w, s.h)) << s.w << "x" << s.h;
    }
}

TEST_F(HostCapture, RectangleToADestinationSizeIsScaled) {
    screen_->Add({0, 0, 100, 80});
    fw::Ref<fw::Picture> half = Take(Entry<ScreenshotRectDestFn>(3)(0, 0, 100, 80, 50, 40));
    ASSERT_TRUE(half);
    ASSERT_EQ(half->Width(), 50);
    ASSERT_EQ(half->Height(), 40);
    // Each destination pixel is one of the 2 x 2 source pixels it covers.
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 50; ++x) {
            const Rgb got = At(*half, x, y);
            EXPECT_EQ(got.r, 40);
            EXPECT_TRUE(got.b == 2 * x || got.b == 2 * x + 1) << x << "," << y;
            EXPECT_TRUE(got.g == 2 * y || got.g == 2 * y + 1) << x << "," << y;
        }
    }
    fw::Ref<fw::Picture> blank = Take(Entry<ScreenshotRectDestFn>(3)(0, 0, 0, 80, 5, 4));
    ASSERT_TRUE(blank);  // nothing to copy: the world stays black
    EXPECT_EQ(At(*blank, 4, 3), (Rgb{0, 0, 0}));
}

TEST_F(HostCapture, DisplayCapturesTakeTheWholeDisplayByIndex) {
    screen_->Add({0, 0, 64, 48});
    screen_->Add({64, 0, 32, 16});
    struct Case {
        int32_t index;
        uint32_t display;
        int32_t w, h;
    };
    for (Case c : {Case{0, 1, 64, 48}, Case{1, 2, 32, 16}}) {
        fw::Ref<fw::Picture> p = Take(Entry<ScreenshotDisplayFn>(0)(c.index));
        ASSERT_TRUE(p) << c.index;
        ASSERT_EQ(p->Width(), c.w);
        ASSERT_EQ(p->Height(), c.h);
        EXPECT_EQ(At(*p, 0, 0), Source(c.display, 0, 0));
        EXPECT_EQ(At(*p, c.w - 1, c.h - 1), Source(c.display, c.w - 1, c.h - 1));
    }
    fw::Ref<fw::Picture> main = Take(Entry<ScreenshotFn>(1)());
    ASSERT_TRUE(main);
    EXPECT_EQ(main->Width(), 64);
    // Out-of-range indexes never crash and never leak.
    for (int32_t index : {-1, 2, 5, 32, INT32_MAX, INT32_MIN})
        Take(Entry<ScreenshotDisplayFn>(0)(index));
}

// The start's backdrops: the same screen, whole, once for each window. A
// picture that starts on pages that already hold it is not even read, and a
// change on the screen still shows in the next one.
TEST_F(HostCapture, ADisplayCapturedAgainUnchangedTouchesNoneOfItsPages) {
    constexpr int32_t kW = 1024, kH = 1100;  // a picture of its own mapping
    screen_->Add({0, 0, kW, kH});
    auto display = [this] { return Take(Entry<ScreenshotDisplayFn>(0)(0)); };
    fw::Ref<fw::Picture> first = display();
    fw::Ref<fw::Picture> second = display();
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(second->PagesSharedUntilWritten());
    EXPECT_EQ(testsupport::MappingKilobytes(second->Pixels(), "Rss"), 0);
    for (int32_t y = 0; y < kH; y += 7)
        for (int32_t x = 0; x < kW; x += 5) ASSERT_EQ(At(*second, x, y), Source(1, x, y));

    auto& virtualScreen = static_cast<platform::VirtualScreen&>(platform::CurrentScreen());
    ASSERT_TRUE(virtualScreen.SetPixel(virtualScreen.Displays().at(0).id, 5, 300, 0x010203));
    fw::Ref<fw::Picture> third = display();
    ASSERT_TRUE(third);
    EXPECT_EQ(At(*third, 5, 300), (Rgb{1, 2, 3}));
    EXPECT_EQ(At(*third, 6, 300), Source(1, 6, 300));
    EXPECT_EQ(At(*second, 5, 300), Source(1, 5, 300));
}

TEST_F(HostCapture, StringCapturesHoldTheMainDisplayBottomRowFirst) {
    screen_->Add({0, 0, 8, 4});
    screen_->Add({8, 0, 4, 4});
    for (int form = 0; form < 2; ++form) {
        int32_t w = -1, h = -1, rowBytes = -1;
        PluginString s = form == 0 ? Entry<ScreenshotStringFn>(5)(&w, &h, &rowBytes)
                                   : Entry<ScreenshotStringDisplayFn>(4)(&w, &h, &rowBytes, 1);
        const std::string bytes = fw::AdoptPluginString(s).Bytes();
        EXPECT_NO_THROW(fw::RaisePendingPluginException());
        ASSERT_EQ(w, 8) << form;
        ASSERT_EQ(h, 4);
        ASSERT_EQ(rowBytes, 32);
        ASSERT_EQ(bytes.size(), 8u * 4u * 4u);
        for (int32_t row = 0; row < 4; ++row) {
            const Rgb want = Source(1, 5, 3 - row);
            const auto* px = reinterpret_cast<const uint8_t*>(bytes.data()) + row * 32 + 5 * 4;
            EXPECT_EQ((Rgb{px[2], px[1], px[0]}), want) << form << " row " << row;
        }
    }
}

TEST_F(HostCapture, PictureFromARawStringPutsTheLastRowOnTop) {
    // Two rows of two pixels, B, G, R, X; the second row becomes the top.
    const std::string raw("\x01\x02\x03\x00\x04\x05\x06\x00\x0A\x14\x1E\x28\x0B\x15\x1F\x00", 16);
    fw::PluginStringArg data(fw::String(raw, fw::encoding::kUnknown));
    fw::Ref<fw::Picture> p = Take(Entry<ScreenshotFromStringFn>(6)(2, 2, 8, data.Get()));
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 0, 0), (Rgb{30, 20, 10}));
    EXPECT_EQ(At(*p, 1, 1), (Rgb{6, 5, 4}));
    EXPECT_FALSE(Take(Entry<ScreenshotFromStringFn>(6)(2, 2, 7, data.Get())));
    EXPECT_FALSE(Take(Entry<ScreenshotFromStringFn>(6)(2, 3, 8, data.Get())));
    EXPECT_FALSE(Take(Entry<ScreenshotFromStringFn>(6)(2, 2, 8, nullptr)));
}

}  // namespace
