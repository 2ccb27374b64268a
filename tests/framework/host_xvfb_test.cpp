// The capture library through the host on a real X server: the rectangle
// that the program's windows ask for holds the pixels drawn on the screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "../../capture/include/plugin_sdk.h"
#include "../support/xvfb_server.h"
#include "fw/host/plugins.h"
#include "fw/ui/picture.h"
#include "platform/virtual.h"
#include "platform/x11.h"

namespace {

constexpr const char* kRect =
    "ScreenshotZUVGlobalsZUV.ScreenshotRectZUV(left as integer, top as integer, width as "
    "integer, height as integer) as picture";

// An 8 x 8 tile: the top-left and bottom-right 4 x 4 quarters are set.
constexpr const char* kTile =
    "#define tile_width 8\n#define tile_height 8\n"
    "static unsigned char tile_bits[] = {\n"
    "0x0f, 0x0f, 0x0f, 0x0f, 0xf0, 0xf0, 0xf0, 0xf0};\n";

struct Rgb {
    int r, g, b;
};
constexpr Rgb kSet{0xFF, 0x80, 0x00};
constexpr Rgb kClear{0x00, 0x40, 0xC0};

TEST(HostXvfb, RectangleCaptureReturnsThePixelsDrawnOnTheScreen) {
    testsupport::XvfbServer server("320x200x24");
    ASSERT_TRUE(server.ok());
    char tilePath[] = "/tmp/ostrel-tile-XXXXXX";
    const int fd = mkstemp(tilePath);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, kTile, std::char_traits<char>::length(kTile)),
              ssize_t(std::char_traits<char>::length(kTile)));
    close(fd);
    const int drawn =
        server.Run(std::string("xsetroot -bitmap ") + tilePath + " -fg '#FF8000' -bg '#0040C0'");
    unlink(tilePath);
    ASSERT_EQ(drawn, 0);

    ASSERT_TRUE(platform::UseX11(server.display().c_str()));
    ASSERT_TRUE(fw::RuntimeLoadPlugin("Zuvshot.dylib"));
    auto rect = reinterpret_cast<ScreenshotRectFn>(fw::RuntimeLookupPluginEntrypoint(kRect));
    ASSERT_NE(rect, nullptr);

    const int64_t live = fw::Picture::LiveCount();
    {
        // An origin off the tile grid, so a shifted read cannot pass.
        const int32_t left = 3, top = 5, w = 150, h = 75;
        fw::Ref<fw::Picture> p = fw::AdoptPluginPicture(rect(left, top, w, h));
        fw::RaisePendingPluginException();
        ASSERT_TRUE(p);
        ASSERT_EQ(p->Width(), w);
        ASSERT_EQ(p->Height(), h);
        EXPECT_EQ(p->RefCount(), 1);
        int wrong = 0;
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const int32_t sx = (left + x) % 8, sy = (top + y) % 8;
                const Rgb want = (sx < 4) == (sy < 4) ? kSet : kClear;
                const uint8_t* px = p->Pixels() + size_t(y) * p->RowBytes() + size_t(x) * 4;
                if (px[0] != want.r || px[1] != want.g || px[2] != want.b) {
                    if (wrong++ < 5) ADD_FAILURE() << "pixel " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(fw::Picture::LiveCount(), live);
    // Off the X server before it stops.
    platform::SetCurrentScreen(std::make_unique<platform::VirtualScreen>());
    platform::SetCurrentInput(std::make_unique<platform::SimulatedInput>());
    platform::SetCurrentHotKeys(std::make_unique<platform::SimulatedHotKeys>());
}

}  // namespace
