// The OpenGL and QuickDraw back-ends, taken when the system lacks the
// CoreGraphics display images (the library is built against the platform
// variant without them).
#include <gtest/gtest.h>

#include <climits>

#include "desktop.h"
#include "host_fixture.h"
#include "platform/os/objects.h"

namespace rechost {
namespace {

using platform::os::LiveObjectCount;
using platform::os::ObjectKind;

class FallbackTest : public HostTest {
  protected:
    void Start(bool all32bit) {
        // Two displays side by side; a display of 16 bits per pixel makes the
        // OpenGL path give way to QuickDraw.
        UseDesktop({{1, {0, 0, 100, 80}, 1, all32bit ? 8 : 5}, {2, {100, 0, 100, 80}, 1}});
        startPlatformObjects = LiveObjectCount();
        startBundles = LiveObjectCount(ObjectKind::Bundle);
        Load();
    }
    void TearDown() override {
        HostTest::TearDown();
        // The ApplicationServices bundle stays loaded for good once used.
        EXPECT_EQ(LiveObjectCount() - LiveObjectCount(ObjectKind::Bundle),
                  startPlatformObjects - startBundles)
            << "platform object leaked";
    }
    bool UsedQuickDraw() const { return LiveObjectCount(ObjectKind::Bundle) > startBundles; }
    void ExpectShows(PluginPicture p, int32_t left, int32_t top, int32_t width, int32_t height) {
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(host.PictureWidth(p), width);
        ASSERT_EQ(host.PictureHeight(p), height);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                ASSERT_EQ(host.PixelAt(p, x, y), PointColour(left + x, top + y)) << x << "," << y;
            }
        }
    }
    int64_t startPlatformObjects = 0;
    int64_t startBundles = 0;
};

TEST_F(FallbackTest, OpenGLRectAcrossTwoDisplays) {
    Start(true);
    PluginPicture p = fn.rect(90, 10, 20, 5);
    ExpectShows(p, 90, 10, 20, 5);
    EXPECT_FALSE(UsedQuickDraw());
    Release(p);
}

TEST_F(FallbackTest, OpenGLLeavesUncoveredPixelsAsTheHostMadeThem) {
    Start(true);
    PluginPicture p = fn.rect(195, 70, 10, 20);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 4, 9), PointColour(199, 79));
    EXPECT_EQ(host.PixelAt(p, 5, 9), host.newPictureFill);
    EXPECT_EQ(host.PixelAt(p, 4, 10), host.newPictureFill);
    Release(p);
}

TEST_F(FallbackTest, OversizedRectFallsBackToQuickDraw) {
    Start(true);
    // 32768 does not fit a picture, nor a QuickDraw coordinate: nil, but by
    // way of QuickDraw.
    EXPECT_EQ(fn.rect(0, 0, 32768, 10), nullptr);
    EXPECT_TRUE(UsedQuickDraw());
    EXPECT_EQ(host.CallCount("newPicture"), 0);
}

TEST_F(FallbackTest, QuickDrawRectAcrossTwoDisplaysWithBlackOutside) {
    Start(false);
    PluginPicture p = fn.rect(90, 70, 20, 15);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(UsedQuickDraw());
    for (int32_t y = 0; y < 15; ++y) {
        for (int32_t x = 0; x < 20; ++x) {
            const Rgb expected = y < 10 ? PointColour(90 + x, 70 + y) : Rgb{0, 0, 0};
            ASSERT_EQ(host.PixelAt(p, x, y), expected) << x << "," << y;
        }
    }
    Release(p);
}

TEST_F(FallbackTest, RectDestScalesTheArea) {
    Start(true);
    PluginPicture p = fn.rectDest(0, 0, 100, 80, 50, 40);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PictureWidth(p), 50);
    EXPECT_EQ(host.PictureHeight(p), 40);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 50; ++x) {
            const Rgb got = host.PixelAt(p, x, y);
            // Nearest sampling picks one of the 2 x 2 points behind a pixel.
            ASSERT_TRUE(got == PointColour(2 * x, 2 * y) || got == PointColour(2 * x + 1, 2 * y) ||
                        got == PointColour(2 * x, 2 * y + 1) ||
                        got == PointColour(2 * x + 1, 2 * y + 1))
                << x << "," << y;
        }
    }
    Release(p);
}

TEST_F(FallbackTest, RectDestWithEmptySourceIsBlack) {
    Start(true);
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-5, 10}, {INT_MIN, INT_MIN}}) {
        PluginPicture p = fn.rectDest(0, 0, w, h, 4, 3);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(host.PixelAt(p, 3, 2), (Rgb{0, 0, 0}));
        Release(p);
    }
    EXPECT_EQ(fn.rectDest(0, 0, 10, 10, 0, 5), nullptr);
}

TEST_F(FallbackTest, OpenGLDisplayAndString) {
    Start(true);
    PluginPicture p = fn.display(1);
    ExpectShows(p, 100, 0, 100, 80);
    Release(p);
    int32_t w = 0, h = 0, rowBytes = 0;
    PluginString s = fn.stringDisplay(&w, &h, &rowBytes, 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(rowBytes, 400);
    host.Unlock(s);
    EXPECT_FALSE(UsedQuickDraw());
}

TEST_F(FallbackTest, QuickDrawDisplayByDevice) {
    Start(false);
    PluginPicture p = fn.display(1);
    ExpectShows(p, 100, 0, 100, 80);
    Release(p);
    PluginPicture main = fn.screenshot();
    ExpectShows(main, 0, 0, 100, 80);
    Release(main);
    EXPECT_EQ(fn.display(2), nullptr);
    EXPECT_TRUE(UsedQuickDraw());
}

TEST_F(FallbackTest, DisplayIndexOutsideTheListUsesQuickDrawDevices) {
    Start(true);
    PluginPicture first = fn.display(-1);
    ExpectShows(first, 0, 0, 100, 80);
    Release(first);
    EXPECT_EQ(fn.display(5), nullptr);
    EXPECT_EQ(fn.display(32), nullptr);
}

TEST_F(FallbackTest, MissingQuickDrawFunctionsFailSoftAndAreAskedAgain) {
    Start(false);
    HideQuickDrawFunction("NewGWorld", true);
    EXPECT_EQ(fn.rect(0, 0, 10, 10), nullptr);
    HideQuickDrawFunction("NewGWorld", false);
    PluginPicture p = fn.rect(0, 0, 10, 10);
    ExpectShows(p, 0, 0, 10, 10);
    Release(p);
}

}  // namespace
}  // namespace rechost
