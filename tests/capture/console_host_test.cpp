// A console host: pictures are row buffers, and the mask of an alpha image is
// copied row by row when the mask's Graphics cannot draw. A process of its
// own, since the library learns the host kind once per load.
#include <gtest/gtest.h>

#include "conversion.h"
#include "recording_host.h"

extern "C" void REALPluginMain(PluginResolver resolver);

namespace rechost {
namespace {

namespace cg = platform::cg;

// The picture of a 2 x 1 image of 32-bit pixels in an RGB space.
PluginPicture PictureOf(uint32_t alphaInfo, const std::vector<uint8_t>& bytes) {
    cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
    cg::CGImageRef image = cg::CGImageCreate(2, 1, 8, 32, 8, space, alphaInfo, bytes.data());
    cg::CGColorSpaceRelease(space);
    if (image == nullptr) return nullptr;
    PluginPicture p = zuvshot::GetCGImagePicture(image);
    cg::CGImageRelease(image);
    return p;
}

TEST(ConsoleHost, AlphaImageMaskIsCopiedThroughRowBuffers) {
    RecordingHost host;
    host.kind = HostKind::Console;
    host.graphicsDrawPicture = false;
    host.LoadLinked(&REALPluginMain);
    PluginPicture p = PictureOf(1, {64, 0, 0, 128, 10, 20, 30, 255});
    ASSERT_NE(p, nullptr);
    // Row-buffer pixels are B, G, R, 0 whatever the alpha.
    EXPECT_EQ(host.RawBytes(p, 0, 0), (std::vector<uint8_t>{0, 0, 127, 0}));
    EXPECT_EQ(host.RawBytes(p, 1, 0), (std::vector<uint8_t>{30, 20, 10, 0}));
    PluginPicture mask = host.MaskOf(p);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(host.PixelAt(mask, 0, 0), (Rgb{127, 127, 127}));
    EXPECT_EQ(host.PixelAt(mask, 1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/8"), 0);
    EXPECT_EQ(host.Locks(mask), 0);
    EXPECT_EQ(host.Refs(p), 1);
    host.Unlock(p);
    EXPECT_EQ(host.LivePictures(), 0);
}

// Row buffers have no bitmap context to draw into: an opaque image reaches
// them through a bitmap of its own.
TEST(ConsoleHost, OpaqueImageIsWrittenRowByRow) {
    RecordingHost host;
    host.kind = HostKind::Console;
    host.LoadLinked(&REALPluginMain);
    PluginPicture p = PictureOf(6, {0, 10, 20, 30, 9, 200, 100, 50});
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.RawBytes(p, 0, 0), (std::vector<uint8_t>{30, 20, 10, 0}));
    EXPECT_EQ(host.RawBytes(p, 1, 0), (std::vector<uint8_t>{50, 100, 200, 0}));
    EXPECT_EQ(host.Refs(p), 1);
    host.Unlock(p);
    EXPECT_EQ(host.LivePictures(), 0);
}

}  // namespace
}  // namespace rechost
