// The built library in a program that is not ours: a host of the tests' own
// that links neither the toolkit nor the framework, chooses no screen and uses
// Xlib itself, loads the library with dlopen and answers its callbacks as a
// desktop or a console host, on an Xvfb display whose root shows a known
// pattern. Built twice: against the library as shipped (display images), and
// against the build for a system without display images, which reads the
// front buffer through OpenGL on a 24-bit screen and copies the QuickDraw
// device on a 16-bit one.
#include <gtest/gtest.h>
// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../support/host_xlib_handlers.h"
#include "../support/xvfb_server.h"
#include "host_fixture.h"

namespace rechost {
namespace {

constexpr int32_t kWidth = 200;
constexpr int32_t kHeight = 150;
constexpr Rgb kBlack{0, 0, 0};

// Pure colours only, so that a 16-bit screen holds them exactly; which one
// follows a hash of the position, so that a shifted, flipped or swapped
// capture shows at almost every pixel.
Rgb Pattern(int32_t x, int32_t y) {
    uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
    h ^= h >> 15;
    return {uint8_t(h & 1 ? 255 : 0), uint8_t(h & 2 ? 255 : 0), uint8_t(h & 4 ? 255 : 0)};
}

bool OnScreen(int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x < kWidth && y < kHeight;
}

enum class Path { DisplayImages, OpenGL, QuickDraw };

struct Case {
    HostKind kind;
    int depth;
    Path Taken() const {
        if (OSTREL_DISPLAY_IMAGES) return Path::DisplayImages;
        return depth == 24 ? Path::OpenGL : Path::QuickDraw;
    }
};

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return std::string(info.param.kind == HostKind::Desktop ? "Desktop" : "Console") +
           std::to_string(info.param.depth) + "Bit";
}

using Host = testsupport::HostXlibHandlers;

class ForeignHostTest : public HostTest, public testing::WithParamInterface<Case> {
  protected:
    void SetUp() override {
        server_ = std::make_unique<testsupport::XvfbServer>(std::to_string(kWidth) + "x" +
                                                            std::to_string(kHeight) + "x" +
                                                            std::to_string(GetParam().depth));
        ASSERT_TRUE(server_->ok());
        Host::Install();
        own_ = XOpenDisplay(server_->display().c_str());
        ASSERT_NE(own_, nullptr);
        ASSERT_TRUE(PaintRoot());
        // The library is loaded before the process has a display to name: it
        // must not look for one until the first capture.
        unsetenv("DISPLAY");
        host.kind = GetParam().kind;
        Load();
        setenv("DISPLAY", server_->display().c_str(), 1);
    }
    void TearDown() override {
        HostTest::TearDown();
        if (own_) XCloseDisplay(own_);
        Host::Remove();
    }

    // The pattern as the root's background, so that it stays however the
    // server redraws.
    bool PaintRoot() {
        const int screen = DefaultScreen(own_);
        Visual* visual = DefaultVisual(own_, screen);
        const auto depth = unsigned(DefaultDepth(own_, screen));
        if (unsigned(GetParam().depth) != depth || visual->c_class != TrueColor) return false;
        XImage* image =
            XCreateImage(own_, visual, depth, ZPixmap, 0, nullptr, kWidth, kHeight, 32, 0);
        if (!image) return false;
        image->data = static_cast<char*>(std::calloc(size_t(image->bytes_per_line), kHeight));
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                const Rgb c = Pattern(x, y);
                XPutPixel(image, x, y,
                          (c.r ? visual->red_mask : 0) | (c.g ? visual->green_mask : 0) |
                              (c.b ? visual->blue_mask : 0));
            }
        }
        const Window root = DefaultRootWindow(own_);
        const Pixmap pixmap = XCreatePixmap(own_, root, kWidth, kHeight, depth);
        GC gc = XCreateGC(own_, pixmap, 0, nullptr);
        XPutImage(own_, pixmap, gc, image, 0, 0, 0, 0, kWidth, kHeight);
        XFreeGC(own_, gc);
        XDestroyImage(image);
        XSetWindowBackgroundPixmap(own_, root, pixmap);
        XClearWindow(own_, root);
        XFreePixmap(own_, pixmap);
        XSync(own_, False);
        return Host::errors == 0;
    }

    // What a rectangle capture holds where no display is: black, but on the
    // OpenGL path the pixels of the host's new picture.
    Rgb Uncovered() const {
        return GetParam().Taken() == Path::OpenGL ? host.newPictureFill : kBlack;
    }
    void ExpectScreen(PluginPicture p, int32_t left, int32_t top, int32_t width, int32_t height) {
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(host.PictureWidth(p), width);
        ASSERT_EQ(host.PictureHeight(p), height);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const int32_t sx = left + x, sy = top + y;
                ASSERT_EQ(host.PixelAt(p, x, y), OnScreen(sx, sy) ? Pattern(sx, sy) : Uncovered())
                    << "at " << x << "," << y;
            }
        }
    }

    std::unique_ptr<testsupport::XvfbServer> server_;
    Display* own_ = nullptr;
};

TEST_P(ForeignHostTest, RectanglesShowTheScreenAndBlankWhatLiesOffIt) {
    struct R {
        int32_t left, top, width, height;
    };
    for (R r : {R{10, 20, 40, 30}, R{kWidth - 10, kHeight - 5, 30, 20}, R{-7, -3, 20, 10},
                R{0, 0, kWidth, kHeight}, R{kWidth + 100, 50, 16, 8}, R{-500, -500, 10, 10}}) {
        SCOPED_TRACE(testing::Message()
                     << r.left << "," << r.top << " " << r.width << "x" << r.height);
        PluginPicture p = fn.rect(r.left, r.top, r.width, r.height);
        ExpectScreen(p, r.left, r.top, r.width, r.height);
        Release(p);
    }
    EXPECT_EQ(fn.rect(0, 0, 0, 10), nullptr);
}

TEST_P(ForeignHostTest, DisplayCapturesAreTheWholeScreen) {
    PluginPicture first = fn.display(0);
    ExpectScreen(first, 0, 0, kWidth, kHeight);
    Release(first);
    PluginPicture main = fn.screenshot();
    ExpectScreen(main, 0, 0, kWidth, kHeight);
    Release(main);
    EXPECT_EQ(fn.display(1), nullptr);  // there is one display

    // The raw front buffer: bottom row first, blue, green, red, fourth byte.
    int32_t w = 0, h = 0, rowBytes = 0;
    PluginString raw = fn.stringDisplay(&w, &h, &rowBytes, 0);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    EXPECT_EQ(rowBytes, 4 * kWidth);
    const std::string bytes = host.StringBytes(raw);
    ASSERT_EQ(bytes.size(), size_t(4 * kWidth * kHeight));
    for (int32_t x = 0; x < kWidth; ++x) {
        const Rgb c = Pattern(x, kHeight - 1);
        ASSERT_EQ(
            (Rgb{uint8_t(bytes[4 * x + 2]), uint8_t(bytes[4 * x + 1]), uint8_t(bytes[4 * x])}), c)
            << x;
    }
    host.Unlock(raw);
    EXPECT_EQ(host.LiveStrings(), 0);
}

TEST_P(ForeignHostTest, EveryHostVersionGetsItsRegistrationAndTheScreen) {
    struct V {
        double version;
        bool module;
        int32_t controlVersion;
    };
    for (V v :
         {V{2012.99, false, 10}, V{2013.0, true, 11}, V{2013.04, true, 13}, V{3000.0, false, 13}}) {
        SCOPED_TRACE(v.version);
        RecordingHost other;
        other.kind = GetParam().kind;
        other.version = v.version;
        other.Load(LibraryPath());
        ASSERT_EQ(other.pluginVersions, std::vector<int32_t>{v.controlVersion});
        if (v.module) {
            ASSERT_EQ(other.modules.size(), 1u);
            EXPECT_EQ(other.modules[0].name, "ScreenshotZUVGlobalsZUV");
            EXPECT_EQ(other.modules[0].methods.size(), 7u);
            EXPECT_TRUE(other.methods.empty());
        } else {
            EXPECT_TRUE(other.modules.empty());
            EXPECT_EQ(other.methods.size(), 7u);
        }
        const Functions f = FunctionsOf(other);
        ASSERT_NE(f.rect, nullptr);
        PluginPicture p = f.rect(30, 40, 12, 9);
        ASSERT_NE(p, nullptr);
        for (int32_t y = 0; y < 9; ++y) {
            for (int32_t x = 0; x < 12; ++x) {
                ASSERT_EQ(other.PixelAt(p, x, y), Pattern(30 + x, 40 + y)) << x << "," << y;
            }
        }
        EXPECT_EQ(other.Refs(p), 1);
        other.Unlock(p);
        EXPECT_EQ(other.LivePictures(), 0);
    }
}

TEST_P(ForeignHostTest, LeavesTheHostsOwnXlibUseAlone) {
    PluginPicture p = fn.rect(0, 0, 20, 20);
    ExpectScreen(p, 0, 0, 20, 20);
    Release(p);
    PluginPicture whole = fn.display(0);
    ASSERT_NE(whole, nullptr);
    Release(whole);
    EXPECT_TRUE(Host::Installed());
    // The host's own mistakes still reach the host's handler.
    XMapWindow(own_, 0x7fffffff);
    XSync(own_, False);
    EXPECT_EQ(Host::errors, 1);
    EXPECT_EQ(Host::ioErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(Hosts, ForeignHostTest,
                         testing::Values(Case{HostKind::Desktop, 24}, Case{HostKind::Console, 24},
                                         Case{HostKind::Desktop, 16}, Case{HostKind::Console, 16}),
                         CaseName);

// No desktop at all: DISPLAY unset, as for a program run from a console.
class NoDisplayTest : public HostTest, public testing::WithParamInterface<HostKind> {
  protected:
    void SetUp() override {
        unsetenv("DISPLAY");
        host.kind = GetParam();
        Load();
    }
};

TEST_P(NoDisplayTest, RectanglesAreBlankAndDisplaysNil) {
    PluginPicture p = fn.rect(0, 0, 8, 6);
    ASSERT_NE(p, nullptr);
    // Every display there is covers nothing: black, and on the OpenGL path
    // the host's new picture as it came.
    const Rgb blank = OSTREL_DISPLAY_IMAGES ? kBlack : host.newPictureFill;
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(host.PixelAt(p, x, y), blank);
    }
    Release(p);
    EXPECT_EQ(fn.display(0), nullptr);
    EXPECT_EQ(fn.screenshot(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Hosts, NoDisplayTest,
                         testing::Values(HostKind::Desktop, HostKind::Console),
                         [](const auto& info) {
                             return info.param == HostKind::Desktop ? "Desktop" : "Console";
                         });

}  // namespace
}  // namespace rechost
