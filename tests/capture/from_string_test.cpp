// ScreenshotFromStringZUV: the raw string's sizes and rows, for old and new
// hosts, and any 32-bit arguments.
#include <gtest/gtest.h>

#include <climits>

#include "host_fixture.h"

namespace rechost {
namespace {

struct FromStringCase {
    const char* what;
    int32_t width, height, rowBytes;
    size_t bytes;  // length of the string; SIZE_MAX: nil string
    bool picture;
};

class FromStringTest : public HostTest, public ::testing::WithParamInterface<FromStringCase> {};

TEST_P(FromStringTest, ChecksSizesAgainstTheString) {
    const FromStringCase c = GetParam();
    for (double version : {2013.04, 2016.0}) {
        RecordingHost h;
        h.version = version;
        h.Load(LibraryPath());
        Functions f = FunctionsOf(h);
        PluginString s = c.bytes == SIZE_MAX ? nullptr : h.NewString(std::string(c.bytes, 'x'));
        PluginPicture p = f.fromString(c.width, c.height, c.rowBytes, s);
        EXPECT_EQ(p != nullptr, c.picture) << c.what << " on " << version;
        if (p) {
            EXPECT_EQ(h.PictureWidth(p), c.width);
            EXPECT_EQ(h.Refs(p), 1);
            h.Unlock(p);
        }
        if (s) {
            EXPECT_EQ(h.Refs(s), 1) << c.what << ": the string stays the caller's";
            h.Unlock(s);
        }
        EXPECT_EQ(h.LiveObjects(), 0) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FromStringTest,
    ::testing::Values(FromStringCase{"exact", 2, 2, 8, 16, true},
                      FromStringCase{"one byte short", 2, 2, 8, 15, false},
                      FromStringCase{"rows too short", 2, 2, 7, 16, false},
                      FromStringCase{"padded rows", 2, 2, 12, 24, true},
                      FromStringCase{"width 32768", 32768, 1, 131072, 131072, false},
                      FromStringCase{"nil string", 2, 2, 8, SIZE_MAX, false},
                      FromStringCase{"width 0", 0, 2, 8, 16, false},
                      FromStringCase{"height -1", 2, -1, 8, 16, false},
                      FromStringCase{"INT_MIN sizes", INT_MIN, INT_MIN, INT_MIN, 16, false},
                      FromStringCase{"INT_MAX sizes", INT_MAX, INT_MAX, INT_MAX, 16, false},
                      FromStringCase{"4 x width overflows", 0x40000000, 1, INT_MAX, 16, false},
                      FromStringCase{"rows x height overflows", 1, 0x10000, 0x10000, 16, false}));

TEST_F(HostTest, NewHostsMeasureTheStringWithLenB) {
    host.version = 2016.0;
    Load();
    PluginString s = host.NewString(std::string(16, '\x05'));
    Release(fn.fromString(2, 2, 8, s));
    EXPECT_EQ(host.CallCount("LenB"), 1);
    EXPECT_EQ(host.CallCount("StringGetCString"), 1);
    EXPECT_EQ(host.CallCount("REALLockString"), 1);
    EXPECT_EQ(host.CallCount("REALUnlockString"), 1);
    host.Unlock(s);
}

TEST_F(HostTest, MissingLenBGivesNilAndUnlocks) {
    host.version = 2016.0;
    host.withheld = {"REALLoadGlobalMethod"};
    Load();
    PluginString s = host.NewString(std::string(16, '\x05'));
    EXPECT_EQ(fn.fromString(2, 2, 8, s), nullptr);
    EXPECT_EQ(host.Refs(s), 1);
    host.Unlock(s);
}

}  // namespace
}  // namespace rechost
