// A console host: pictures are row buffers, and the mask of an alpha image is
// copied row by row when the mask's Graphics cannot draw. A process of its
// own, since the library learns the host kind once per load.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

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

// A refused lock of the picture's own mask ends the copy: the mask picture's
// lock is undone, and on hosts before 2012.0 the half-taken refused one too.
TEST(ConsoleHost, RefusedLockOfThePicturesMaskEndsTheCopyWithNothingLocked) {
    for (double version : {2011.5, 2012.0}) {
        SCOPED_TRACE(version);
        RecordingHost host;
        host.kind = HostKind::Console;
        host.version = version;
        host.graphicsDrawPicture = false;
        host.refuseMaskLocks = true;
        host.LoadLinked(&REALPluginMain);
        PluginPicture p = PictureOf(1, {64, 0, 0, 128, 10, 20, 30, 255});
        ASSERT_NE(p, nullptr);
        PluginPicture mask = host.MaskOf(p);
        ASSERT_NE(mask, nullptr);
        EXPECT_EQ(host.Locks(mask), 0);
        EXPECT_EQ(host.PixelAt(mask, 0, 0), host.newPictureFill);  // nothing copied
        // After the refusal: the old host's unlock, the mask picture's unlock,
        // the cache of the picture's mask.
        auto refused = std::find_if(host.calls.begin(), host.calls.end(), [&](const Call& c) {
            return c.name == "REALLockPictureDescription/10" && c.subject == mask;
        });
        ASSERT_NE(refused, host.calls.end());
        std::vector<std::string> expected = {"unlockPictureDescription copy",
                                             "REALPictureClearCache mask"};
        if (version < 2012.0) expected.insert(expected.begin(), "unlockPictureDescription mask");
        ASSERT_GE(static_cast<size_t>(std::distance(std::next(refused), host.calls.end())),
                  expected.size());
        std::vector<std::string> after;
        for (auto it = std::next(refused); after.size() < expected.size(); ++it) {
            after.push_back(it->name + (it->subject == mask ? " mask" : " copy"));
            EXPECT_EQ(host.Locks(static_cast<PluginPicture>(const_cast<void*>(it->subject))), 0);
        }
        EXPECT_EQ(after, expected);
        EXPECT_EQ(host.Refs(p), 1);
        host.Unlock(p);
        EXPECT_EQ(host.LivePictures(), 0);
    }
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
