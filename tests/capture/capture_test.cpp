// The captures on the CoreGraphics path, over a virtual desktop.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "desktop.h"
#include "host_fixture.h"
#include "platform/os/objects.h"

namespace rechost {
namespace {

using platform::os::LiveObjectCount;

class CaptureTest : public HostTest {
  protected:
    void SetUp() override {
        // Two displays side by side, one pixel per point, and a third of two
        // pixels per point below them.
        UseDesktop({{1, {0, 0, 100, 80}, 1}, {2, {100, 0, 100, 80}, 1}, {3, {0, 80, 50, 40}, 2}});
        startPlatformObjects = ObjectsButBundles();
        Load();
    }
    void TearDown() override {
        HostTest::TearDown();
        EXPECT_EQ(ObjectsButBundles(), startPlatformObjects) << "platform object leaked";
    }
    // The ApplicationServices bundle stays loaded once QuickDraw is needed.
    static int64_t ObjectsButBundles() {
        return LiveObjectCount() - LiveObjectCount(platform::os::ObjectKind::Bundle);
    }
    void ExpectShows(PluginPicture p, int32_t left, int32_t top, int32_t width, int32_t height) {
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(host.PictureWidth(p), width);
        ASSERT_EQ(host.PictureHeight(p), height);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                ASSERT_EQ(host.PixelAt(p, x, y), PointColour(left + x, top + y))
                    << "at " << x << "," << y;
            }
        }
    }
    void ExpectDisplay(PluginPicture p, uint32_t id) {
        ASSERT_NE(p, nullptr);
        const platform::DisplayInfo d = DisplayOf(id);
        ASSERT_EQ(host.PictureWidth(p), d.PixelWidth());
        ASSERT_EQ(host.PictureHeight(p), d.PixelHeight());
        for (int32_t y = 0; y < d.PixelHeight(); ++y) {
            for (int32_t x = 0; x < d.PixelWidth(); ++x) {
                ASSERT_EQ(host.PixelAt(p, x, y), DisplayPixelColour(id, x, y)) << x << "," << y;
            }
        }
        Release(p);
    }
    int64_t startPlatformObjects = 0;
};

TEST_F(CaptureTest, RectAcrossTwoDisplaysShowsEachPartInPlace) {
    PluginPicture p = fn.rect(90, 10, 20, 5);
    ExpectShows(p, 90, 10, 20, 5);
    Release(p);
}

TEST_F(CaptureTest, RectOffEveryDisplayIsBlack) {
    PluginPicture p = fn.rect(5000, -7000, 6, 4);
    ASSERT_NE(p, nullptr);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(host.PixelAt(p, x, y), (Rgb{0, 0, 0}));
    }
    Release(p);
}

TEST_F(CaptureTest, RectPartlyOffTheDesktopIsBlackOutside) {
    PluginPicture p = fn.rect(195, 75, 10, 10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 0, 0), PointColour(195, 75));
    EXPECT_EQ(host.PixelAt(p, 4, 4), PointColour(199, 79));
    EXPECT_EQ(host.PixelAt(p, 5, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(host.PixelAt(p, 0, 5), (Rgb{0, 0, 0}));
    Release(p);
}

// A desktop host's pictures are drawn into straight through their own bitmap
// context; a console host's row buffers get the same pixels another way.
class RectOnEitherHost : public CaptureTest, public testing::WithParamInterface<HostKind> {
  protected:
    void SetUp() override {
        host.kind = GetParam();
        CaptureTest::SetUp();
    }
};

TEST_P(RectOnEitherHost, ShowsEachDisplaysPartAndBlackWhereNoneIs) {
    PluginPicture across = fn.rect(90, 10, 20, 5);
    ExpectShows(across, 90, 10, 20, 5);
    Release(across);
    PluginPicture corner = fn.rect(195, 75, 10, 10);
    ASSERT_NE(corner, nullptr);
    for (int32_t y = 0; y < 10; ++y) {
        for (int32_t x = 0; x < 10; ++x) {
            const Rgb want = x < 5 && y < 5 ? PointColour(195 + x, 75 + y) : Rgb{0, 0, 0};
            ASSERT_EQ(host.PixelAt(corner, x, y), want) << x << "," << y;
        }
    }
    Release(corner);
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/8") == 0, GetParam() == HostKind::Console);
}

INSTANTIATE_TEST_SUITE_P(Hosts, RectOnEitherHost,
                         testing::Values(HostKind::Desktop, HostKind::Console),
                         [](const auto& info) {
                             return info.param == HostKind::Desktop ? "Desktop" : "Console";
                         });

TEST_F(CaptureTest, TwoPixelsPerPointShowTheTopLeftHalfAtDoubleDetail) {
    PluginPicture p = fn.rect(10, 90, 40, 20);
    ASSERT_NE(p, nullptr);
    // 20 x 10 points from (10, 90), two pixels each way per point.
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 40; ++x) {
            ASSERT_EQ(host.PixelAt(p, x, y), DisplayPixelColour(3, 20 + x, 20 + y))
                << x << "," << y;
        }
    }
    Release(p);
}

TEST_F(CaptureTest, EmptySizesGiveNilWithoutAnyCall) {
    host.calls.clear();
    for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {0, 0}, {INT_MIN, 5}, {5, INT_MIN}}) {
        EXPECT_EQ(fn.rect(0, 0, w, h), nullptr);
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(CaptureTest, AnyArgumentsAreSafe) {
    const int32_t values[] = {INT_MIN, -1, 0, 1, 32767, 32768, INT_MAX};
    for (int32_t left : values) {
        for (int32_t top : values) {
            for (int32_t size : {1, 32767, 32768, INT_MAX}) {
                PluginPicture p = fn.rect(left, top, size, 1);
                if (p) host.Unlock(p);
                PluginPicture q = fn.rectDest(left, top, size, 1, size, 1);
                if (q) host.Unlock(q);
            }
        }
    }
    EXPECT_EQ(host.LivePictures(), startPictures);
}

TEST_F(CaptureTest, DisplayByIndex) {
    ExpectDisplay(fn.display(0), 1);
    ExpectDisplay(fn.display(1), 2);
    ExpectDisplay(fn.display(2), 3);
    ExpectDisplay(fn.screenshot(), 1);
}

TEST_F(CaptureTest, DisplayIndexOutsideTheListTakesQuickDrawDevices) {
    // Display id 0 gives no image and no OpenGL context; QuickDraw counts
    // devices from the first one.
    ExpectDisplay(fn.display(-1), 1);
    ExpectDisplay(fn.display(INT_MIN), 1);
    EXPECT_EQ(fn.display(5), nullptr);
    EXPECT_EQ(fn.display(32), nullptr);
    EXPECT_EQ(fn.display(INT_MAX), nullptr);
}

TEST_F(CaptureTest, RawStringOfTheFirstDisplayBottomRowFirst) {
    for (int32_t index : {0, 3, -5}) {
        int32_t w = -1, h = -1, rowBytes = -1;
        PluginString s = fn.stringDisplay(&w, &h, &rowBytes, index);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(w, 100);
        EXPECT_EQ(h, 80);
        EXPECT_EQ(rowBytes, 400);
        const std::string bytes = host.StringBytes(s);
        ASSERT_EQ(bytes.size(), 100u * 80u * 4u);
        const Rgb bottomLeft = PointColour(0, 79);
        EXPECT_EQ(static_cast<uint8_t>(bytes[0]), bottomLeft.b);
        EXPECT_EQ(static_cast<uint8_t>(bytes[1]), bottomLeft.g);
        EXPECT_EQ(static_cast<uint8_t>(bytes[2]), bottomLeft.r);
        const Rgb topRight = PointColour(99, 0);
        EXPECT_EQ(static_cast<uint8_t>(bytes[bytes.size() - 2]), topRight.r);
        EXPECT_EQ(host.Refs(s), 1);
        host.Unlock(s);
    }
    int32_t w = 0, h = 0, rowBytes = 0;
    PluginString s = fn.string(&w, &h, &rowBytes);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(rowBytes, 4 * w);
    host.Unlock(s);
    EXPECT_EQ(host.LiveStrings(), 0);
}

TEST_F(CaptureTest, RawStringOfNoDisplayIsNilWithZeroSizes) {
    UseDesktop({});
    int32_t w = -1, h = -1, rowBytes = -1;
    EXPECT_EQ(fn.stringDisplay(&w, &h, &rowBytes, 0), nullptr);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(rowBytes, 0);
    EXPECT_EQ(fn.string(nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(fn.display(0), nullptr);
}

}  // namespace
}  // namespace rechost

namespace rechost {
namespace {

TEST_F(CaptureTest, StringBuildFailureRaisesThroughTheOlderIntegerSetter) {
    host.withheld = {"REALSetPropValueInteger"};
    host.throwOnBuildString = std::make_exception_ptr(std::runtime_error("no room"));
    int32_t w = 0, h = 0, rowBytes = 0;
    EXPECT_EQ(fn.stringDisplay(&w, &h, &rowBytes, 0), nullptr);
    // The sizes are reported even though no string came.
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 80);
    EXPECT_EQ(rowBytes, 400);
    ASSERT_EQ(host.raised.size(), 1u);
    EXPECT_EQ(host.raised[0].className, "RuntimeException");
    EXPECT_EQ(host.raised[0].message, "no room");
    EXPECT_EQ(host.raised[0].errorNumber, 0);
    EXPECT_EQ(host.resolverAsks["REALSetPropValueInt"], 1);
    EXPECT_EQ(host.LiveObjects(), startObjects);
}

}  // namespace
}  // namespace rechost
