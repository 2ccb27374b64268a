// The picture editor as every builder uses it, seen from the host: references,
// description locks, cache clears, pixel formats and console row buffers.
// ScreenshotFromStringZUV is the builder with the fewest moving parts.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace rechost {
namespace {

// A 2 x 2 raw string, bottom row first: pixel bytes B, G, R, X.
const std::string kTwoByTwo = std::string("\x0A\x14\x1E\x28\x01\x02\x03\x04", 8) +
                              std::string("\x10\x20\x30\x40\x11\x21\x31\x41", 8);

class PictureEditorTest : public HostTest {
  protected:
    PluginPicture Build() {
        PluginString s = host.NewString(kTwoByTwo);
        host.calls.clear();
        PluginPicture p = fn.fromString(2, 2, 8, s);
        host.Unlock(s);
        return p;
    }
    // The calls about `p`, in order.
    std::vector<std::string> CallsAbout(const void* p) const {
        std::vector<std::string> names;
        for (const auto& c : host.calls) {
            if (c.subject == p) names.push_back(c.name);
        }
        return names;
    }
};

TEST_F(PictureEditorTest, SuccessfulRenderLeavesOneReferenceForTheCaller) {
    Load();
    PluginPicture p = Build();
    ASSERT_NE(p, nullptr);
    const std::vector<std::string> expected = {
        "REALGetPropValueBool",     "REALLockPictureDescription/8",
        "REALLockObject",           "REALUnlockObject",
        "REALLockObject",           "REALPictureClearCache",
        "unlockPictureDescription", "REALPictureClearCache",
        "REALUnlockObject"};
    EXPECT_EQ(CallsAbout(p), expected);
    Release(p);
}

TEST_F(PictureEditorTest, HostKindIsAskedOnceWithAllThreeClasses) {
    Load();
    Release(Build());
    EXPECT_EQ(host.CallCount("pluginObjectType/Application"), 1);
    EXPECT_EQ(host.CallCount("pluginObjectType/WebApplication"), 1);
    EXPECT_EQ(host.CallCount("pluginObjectType/ConsoleApplication"), 1);
    Release(Build());
    EXPECT_EQ(host.CallCount("pluginObjectType/Application"), 0);
}

struct FormatCase {
    HostKind kind;
    uint32_t alphaInfo;
    bool hasAlpha;
    std::vector<uint8_t> bottomLeft;  // the bytes of source pixel 10, 20, 30, 40 (B, G, R, X)
};

class FormatTest : public PictureEditorTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatTest, LaysPixelsOutByFormatCode) {
    const FormatCase c = GetParam();
    host.kind = c.kind;
    host.alphaInfo = c.alphaInfo;
    host.hasAlphaChannel = c.hasAlpha;
    Load();
    PluginPicture p = Build();
    ASSERT_NE(p, nullptr);
    // The source's second row (bytes 8..15) is the picture's top row.
    const Rgb top = {0x30, 0x20, 0x10};
    const Rgb bottom = {0x1E, 0x14, 0x0A};
    EXPECT_EQ(host.PixelAt(p, 0, 0), top);
    EXPECT_EQ(host.PixelAt(p, 0, 1), bottom);
    EXPECT_EQ(host.RawBytes(p, 0, 1), c.bottomLeft);
    Release(p);
}

const std::vector<uint8_t> kRGBX = {30, 20, 10, 255};
const std::vector<uint8_t> kXRGB = {255, 30, 20, 10};
const std::vector<uint8_t> kBGRX = {10, 20, 30, 0};

INSTANTIATE_TEST_SUITE_P(Codes, FormatTest,
                         ::testing::Values(FormatCase{HostKind::Desktop, 1, false, kRGBX},
                                           FormatCase{HostKind::Desktop, 2, false, kXRGB},
                                           FormatCase{HostKind::Desktop, 3, false, kRGBX},
                                           FormatCase{HostKind::Desktop, 4, false, kXRGB},
                                           FormatCase{HostKind::Desktop, 5, false, kRGBX},
                                           FormatCase{HostKind::Desktop, 6, false, kXRGB},
                                           FormatCase{HostKind::Desktop, 1, true, kRGBX},
                                           FormatCase{HostKind::Desktop, 2, true, kXRGB},
                                           FormatCase{HostKind::Console, 6, true, kBGRX},
                                           FormatCase{HostKind::Web, 1, false, kBGRX}));

struct RefusalCase {
    const char* what;
    uint32_t alphaInfo;
    bool hasAlpha;
    size_t bitsPerPixel;
};

class RefusalTest : public PictureEditorTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, RefusedAttachUnlocksAndLeavesNothing) {
    const RefusalCase c = GetParam();
    host.alphaInfo = c.alphaInfo;
    host.hasAlphaChannel = c.hasAlpha;
    host.bitsPerPixel = c.bitsPerPixel;
    Load();
    EXPECT_EQ(Build(), nullptr) << c.what;
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/8"), 1);
    EXPECT_EQ(host.CallCount("unlockPictureDescription"), 1);
    EXPECT_EQ(host.CallCount("REALPictureClearCache"), 0);
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusalTest,
                         ::testing::Values(RefusalCase{"alpha info 3 with alpha", 3, true, 32},
                                           RefusalCase{"alpha info 4 with alpha", 4, true, 32},
                                           RefusalCase{"alpha info 5 with alpha", 5, true, 32},
                                           RefusalCase{"alpha info 6 with alpha", 6, true, 32},
                                           RefusalCase{"alpha info 0", 0, false, 32},
                                           RefusalCase{"alpha info 7", 7, false, 32},
                                           RefusalCase{"64 bits per pixel", 6, false, 64}));

TEST_F(PictureEditorTest, RefusedLockOnOldHostIsUnlockedAllTheSame) {
    for (double version : {2011.99, 2012.0}) {
        RecordingHost old;
        old.version = version;
        old.refuseLocks = true;
        old.Load(LibraryPath());
        auto f = FunctionsOf(old);
        PluginString s = old.NewString(kTwoByTwo);
        old.calls.clear();
        EXPECT_EQ(f.fromString(2, 2, 8, s), nullptr);
        // A desktop host that refuses the bitmap lock is not asked for a row buffer.
        EXPECT_EQ(old.CallCount("REALLockPictureDescription/10"), 0);
        EXPECT_EQ(old.CallCount("unlockPictureDescription"), version < 2012.0 ? 1 : 0);
        old.Unlock(s);
        EXPECT_EQ(old.LivePictures(), 0);
    }
}

TEST_F(PictureEditorTest, UnknownHostKindTriesTheRowBufferAfterARefusedBitmap) {
    host.kind = HostKind::Unknown;
    host.refuseLocks = true;
    Load();
    EXPECT_EQ(Build(), nullptr);
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/8"), 1);
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/10"), 1);
    // Still unknown: the next attach asks for the host kind again.
    EXPECT_EQ(Build(), nullptr);
    EXPECT_EQ(host.CallCount("pluginObjectType/Application"), 1);
}

struct RowBufferCase {
    const char* what;
    int32_t firstWord;
    int32_t validWord;
    bool rows;
};

class RowBufferTest : public PictureEditorTest,
                      public ::testing::WithParamInterface<RowBufferCase> {};

TEST_P(RowBufferTest, BadRowBufferIsRefusedAndUnlocked) {
    const RowBufferCase c = GetParam();
    host.kind = HostKind::Console;
    host.rowBufferFirstWord = c.firstWord;
    host.rowBufferValidWord = c.validWord;
    host.rowBufferHasRows = c.rows;
    Load();
    EXPECT_EQ(Build(), nullptr) << c.what;
    EXPECT_EQ(host.CallCount("REALLockPictureDescription/8"), 0);
    EXPECT_EQ(host.CallCount("unlockPictureDescription"), 1);
}

INSTANTIATE_TEST_SUITE_P(RowBuffers, RowBufferTest,
                         ::testing::Values(RowBufferCase{"first word not 0", 1, 1, true},
                                           RowBufferCase{"valid word 0", 0, 0, true},
                                           RowBufferCase{"no row array", 0, 1, false}));

TEST_F(PictureEditorTest, MissingReleaseCallbacksAreSkipped) {
    host.withheld = {"REALPictureClearCache", "unlockPictureDescription"};
    Load();
    PluginPicture p = Build();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(host.PixelAt(p, 1, 0), (Rgb{0x31, 0x21, 0x11}));
    EXPECT_EQ(host.Refs(p), 1);
    host.Unlock(p);
}

TEST_F(PictureEditorTest, MissingLockCallbackIsARefusal) {
    host.withheld = {"REALLockPictureDescription"};
    Load();
    EXPECT_EQ(Build(), nullptr);
}

}  // namespace
}  // namespace rechost
