// Conversions of CoreGraphics images and QuickDraw offscreen worlds into host
// pictures, run against the library's code linked into the test.
#include "conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/os/objects.h"
#include "recording_host.h"

extern "C" void REALPluginMain(PluginResolver resolver);

namespace rechost {
namespace {

namespace cg = platform::cg;
namespace qd = platform::qd;
using platform::os::LiveObjectCount;

class ConversionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.version = 2013.04;
        host.LoadLinked(&REALPluginMain);
        host.calls.clear();
        startObjects = ObjectsButBundles();
    }
    // The ApplicationServices bundle stays loaded once the first world needs it.
    static int64_t ObjectsButBundles() {
        return LiveObjectCount() - LiveObjectCount(platform::os::ObjectKind::Bundle);
    }
    void TearDown() override {
        EXPECT_EQ(host.LivePictures(), 0) << "picture leaked";
        EXPECT_EQ(ObjectsButBundles(), startObjects) << "platform object leaked";
    }
    // A w x 1 image of 32-bit pixels in an RGB space.
    static cg::CGImageRef Image32(uint32_t alphaInfo, const std::vector<uint8_t>& bytes) {
        cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
        cg::CGImageRef image = cg::CGImageCreate(bytes.size() / 4, 1, 8, 32, bytes.size(), space,
                                                 alphaInfo, bytes.data());
        cg::CGColorSpaceRelease(space);
        return image;
    }
    RecordingHost host;
    int64_t startObjects = 0;
};

struct AlphaCase {
    uint32_t alphaInfo;
    size_t bitsPerPixel;
    bool rgba;
};

class AlphaChoiceTest : public ConversionTest, public ::testing::WithParamInterface<AlphaCase> {};

TEST_P(AlphaChoiceTest, PicksTheConverterByAlphaInfo) {
    const AlphaCase c = GetParam();
    const std::vector<uint8_t> bytes(8, 0x80);
    cg::CGColorSpaceRef space = c.alphaInfo == 7 ? nullptr : cg::CGColorSpaceCreateDeviceRGB();
    cg::CGImageRef image = cg::CGImageCreate(8 * 8 / c.bitsPerPixel, 1, 8, c.bitsPerPixel, 8, space,
                                             c.alphaInfo, bytes.data());
    if (space) cg::CGColorSpaceRelease(space);
    ASSERT_NE(image, nullptr);
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.CallCount("newPicture"), c.rgba ? 2 : 1);
    EXPECT_EQ(host.CallCount("REALGetPictureMask"), c.rgba ? 1 : 0);
    EXPECT_EQ(host.Refs(p), 1);
    host.Unlock(p);
}

INSTANTIATE_TEST_SUITE_P(AlphaInfos, AlphaChoiceTest,
                         ::testing::Values(AlphaCase{0, 24, false}, AlphaCase{1, 32, true},
                                           AlphaCase{2, 32, true}, AlphaCase{3, 32, true},
                                           AlphaCase{4, 32, true}, AlphaCase{5, 32, false},
                                           AlphaCase{6, 32, false}, AlphaCase{7, 8, false}));

struct PremultipliedCase {
    std::vector<uint8_t> rgba;  // premultiplied
    Rgb colour;
    uint8_t mask;
};

class PremultipliedTest : public ConversionTest,
                          public ::testing::WithParamInterface<PremultipliedCase> {};

TEST_P(PremultipliedTest, UnpremultipliesAndMakesTheMask) {
    const PremultipliedCase c = GetParam();
    cg::CGImageRef image = Image32(1, c.rgba);
    ASSERT_NE(image, nullptr);
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 0, 0), c.colour);
    PluginPicture mask = host.MaskOf(p);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(host.PixelAt(mask, 0, 0), (Rgb{c.mask, c.mask, c.mask}));
    EXPECT_EQ(host.CallCount("Graphics.DrawPicture"), 1);
    EXPECT_EQ(host.Refs(p), 1);
    EXPECT_EQ(host.Refs(mask), 1);  // the picture's own
    host.Unlock(p);
}

INSTANTIATE_TEST_SUITE_P(Pixels, PremultipliedTest,
                         ::testing::Values(PremultipliedCase{{0, 0, 0, 0}, {0, 0, 0}, 255},
                                           PremultipliedCase{{64, 0, 0, 128}, {127, 0, 0}, 127},
                                           PremultipliedCase{{10, 20, 30, 255}, {10, 20, 30}, 0}));

TEST_F(ConversionTest, MaskStaysAsCreatedWithoutDrawPicture) {
    host.graphicsDrawPicture = false;
    cg::CGImageRef image = Image32(1, {64, 0, 0, 128});
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 0, 0), (Rgb{127, 0, 0}));
    // A desktop host has no row buffers to copy through either.
    EXPECT_EQ(host.PixelAt(host.MaskOf(p), 0, 0), host.newPictureFill);
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/10"), 1);
    host.Unlock(p);
}

// Hosts before 2012.0 leave a refused lock half taken; the mask copy must undo
// it like every other lock does, or the mask picture stays locked.
TEST_F(ConversionTest, RefusedMaskCopyLockIsUndoneOnOlderHosts) {
    host.graphicsDrawPicture = false;
    for (double version : {2011.5, 2012.0}) {
        SCOPED_TRACE(version);
        host.version = version;
        host.CallMain();
        host.calls.clear();
        cg::CGImageRef image = Image32(1, {64, 0, 0, 128});
        PluginPicture p = zuvshot::GetCGImagePicture(image);
        cg::CGImageRelease(image);
        ASSERT_NE(p, nullptr);
        // The desktop host refuses row-buffer locks: the mask picture's is the
        // one the copy asked for.
        auto refused = std::find_if(host.calls.begin(), host.calls.end(), [](const Call& c) {
            return c.name == "REALLockPictureDescription/10";
        });
        ASSERT_NE(refused, host.calls.end());
        auto maskPicture = static_cast<PluginPicture>(const_cast<void*>(refused->subject));
        ASSERT_NE(maskPicture, host.MaskOf(p));
        EXPECT_EQ(host.Locks(maskPicture), 0);
        EXPECT_EQ(host.CallCount("REALLockPictureDescription/10"), 1);
        const bool unlocked = std::next(refused) != host.calls.end() &&
                              std::next(refused)->name == "unlockPictureDescription" &&
                              std::next(refused)->subject == maskPicture;
        EXPECT_EQ(unlocked, version < 2012.0);
        host.Unlock(p);
    }
}

TEST_F(ConversionTest, AlphaPictureWithoutMaskKeepsItsColours) {
    // A picture with an alpha channel needs a Picture instance for its mask,
    // which hosts before 2011.04 cannot give; the colours still arrive.
    host.version = 2011.0;
    host.CallMain();
    host.calls.clear();
    host.hasAlphaChannel = true;
    host.alphaInfo = 1;
    cg::CGImageRef image = Image32(1, {64, 0, 0, 128});
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 0, 0), (Rgb{127, 0, 0}));
    EXPECT_EQ(host.CallCount("REALGetPictureMask"), 0);
    host.Unlock(p);
}

TEST_F(ConversionTest, AlphaPictureGetsItsMaskFromAPictureInstance) {
    host.hasAlphaChannel = true;
    host.alphaInfo = 2;
    cg::CGImageRef image = Image32(1, {64, 0, 0, 128});
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.CallCount("PluginNewInstance/Picture"), 1);
    EXPECT_EQ(host.CallCount("Picture.Constructor"), 1);
    EXPECT_EQ(host.PixelAt(host.MaskOf(p), 0, 0), (Rgb{127, 127, 127}));
    host.Unlock(p);
}

// An opaque image lands in every layout the host's bitmap contexts can have
// exactly as written pixel by pixel: opaque, in the picture's byte order.
class OpaqueLayoutTest : public ConversionTest, public ::testing::WithParamInterface<uint32_t> {
  protected:
    void SetUp() override {
        host.alphaInfo = GetParam();
        ConversionTest::SetUp();
    }
};

TEST_P(OpaqueLayoutTest, OpaqueImageKeepsItsColoursInThePicturesByteOrder) {
    cg::CGImageRef image = Image32(6, {0, 10, 20, 30, 9, 200, 100, 50});
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    const bool alphaFirst = GetParam() % 2 == 0;
    auto bytes = [&](uint8_t r, uint8_t g, uint8_t b) {
        return alphaFirst ? std::vector<uint8_t>{255, r, g, b} : std::vector<uint8_t>{r, g, b, 255};
    };
    EXPECT_EQ(host.RawBytes(p, 0, 0), bytes(10, 20, 30));
    EXPECT_EQ(host.RawBytes(p, 1, 0), bytes(200, 100, 50));
    EXPECT_EQ(host.Refs(p), 1);
    EXPECT_EQ(host.Locks(p), 0);
    host.Unlock(p);
}

INSTANTIATE_TEST_SUITE_P(AlphaInfos, OpaqueLayoutTest, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u));

TEST_F(ConversionTest, GrayImageGoesThroughGenericRgb) {
    cg::CGColorSpaceRef gray = cg::CGColorSpaceCreateDeviceGray();
    const uint8_t v[2] = {200, 7};
    cg::CGImageRef image = cg::CGImageCreate(2, 1, 8, 8, 2, gray, 0, v);
    cg::CGColorSpaceRelease(gray);
    ASSERT_NE(image, nullptr);
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 0, 0), (Rgb{200, 200, 200}));
    EXPECT_EQ(host.PixelAt(p, 1, 0), (Rgb{7, 7, 7}));
    host.Unlock(p);
}

TEST_F(ConversionTest, FailedConversionIsTriedOnceMoreWithGenericRgb) {
    host.failNewPictures = 1;
    cg::CGImageRef image = Image32(6, {0, 1, 2, 3});
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.CallCount("newPicture"), 2);
    EXPECT_EQ(host.PixelAt(p, 0, 0), (Rgb{1, 2, 3}));
    host.Unlock(p);
}

TEST_F(ConversionTest, NilImageGivesNil) {
    EXPECT_EQ(zuvshot::GetCGImagePicture(nullptr), nullptr);
    EXPECT_TRUE(host.calls.empty());
}

// An offscreen world of `depth` with its rows filled from `row` (one row
// repeated), made through the platform directly.
qd::GWorldPtr World(int16_t depth, int16_t width, int16_t height, const std::vector<uint8_t>& row) {
    qd::GWorldPtr world = nullptr;
    const qd::Rect bounds{0, 0, height, width};
    if (qd::NewGWorld(&world, depth, &bounds, nullptr, nullptr, 0) != 0) return nullptr;
    qd::PixMapHandle pixmap = qd::GetGWorldPixMap(world);
    if (pixmap && qd::LockPixels(pixmap)) {
        auto* base = static_cast<uint8_t*>(qd::GetPixBaseAddr(pixmap));
        const long rowBytes = qd::GetPixRowBytes(pixmap);
        for (int16_t y = 0; y < height && base; ++y) {
            std::memcpy(base + y * rowBytes, row.data(), row.size());
        }
        qd::UnlockPixels(pixmap);
    }
    return world;
}

struct WorldCase {
    int16_t depth;
    std::vector<uint8_t> row;  // two pixels
    uint32_t alphaInfo;
    std::vector<uint8_t> second;  // the picture bytes of pixel 1
};

class WorldTest : public ConversionTest, public ::testing::WithParamInterface<WorldCase> {};

TEST_P(WorldTest, ConvertsByDepthAndDisposes) {
    const WorldCase c = GetParam();
    host.alphaInfo = c.alphaInfo;
    qd::GWorldPtr world = World(c.depth, 2, 3, c.row);
    ASSERT_NE(world, nullptr);
    PluginPicture p = zuvshot::REALBuildPictureFromGWorld(world);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PictureWidth(p), 2);
    EXPECT_EQ(host.PictureHeight(p), 3);
    EXPECT_EQ(host.RawBytes(p, 1, 2), c.second);
    host.Unlock(p);
    EXPECT_EQ(LiveObjectCount(platform::os::ObjectKind::GWorld), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, WorldTest,
    ::testing::Values(WorldCase{32, {9, 9, 9, 9, 0, 10, 20, 30}, 2, {0, 10, 20, 30}},
                      WorldCase{32, {9, 9, 9, 9, 200, 10, 20, 30}, 1, {10, 20, 30, 200}},
                      WorldCase{24, {9, 9, 9, 10, 20, 30}, 6, {255, 10, 20, 30}},
                      WorldCase{8, {9, 200}, 5, {200, 200, 200, 255}}));

TEST_F(ConversionTest, UnsupportedWorldsGiveNilAndAreDisposed) {
    qd::GWorldPtr deep16 = World(16, 2, 2, {0, 0, 0, 0});
    ASSERT_NE(deep16, nullptr);
    EXPECT_EQ(zuvshot::REALBuildPictureFromGWorld(deep16), nullptr);
    qd::GWorldPtr empty = World(32, 0, 0, {});
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(zuvshot::REALBuildPictureFromGWorld(empty), nullptr);
    EXPECT_EQ(zuvshot::REALBuildPictureFromGWorld(nullptr), nullptr);
    EXPECT_EQ(LiveObjectCount(platform::os::ObjectKind::GWorld), 0);
}

TEST_F(ConversionTest, WorldWithoutPictureIsStillDisposed) {
    host.failNewPictures = 1;
    qd::GWorldPtr world = World(32, 2, 2, std::vector<uint8_t>(8, 1));
    EXPECT_EQ(zuvshot::REALBuildPictureFromGWorld(world), nullptr);
    EXPECT_EQ(LiveObjectCount(platform::os::ObjectKind::GWorld), 0);
}

}  // namespace
}  // namespace rechost
