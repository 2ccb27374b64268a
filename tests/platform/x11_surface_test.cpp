// The X11 window surfaces against a private Xvfb: what a window shows after
// Show, read back from the server by a client of the test's own.
#include <gtest/gtest.h>
// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

#include "../support/eventually.h"
#include "../support/xvfb_server.h"
#include "platform/x11.h"

namespace platform::x11 {
namespace {

// The surface talks to the server on a connection of its own: a put reaches
// the screen a moment after Show returns.
using testsupport::Eventually;

constexpr uint32_t kBackground = 0x0000FF;

class X11SurfaceTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { server_ = new testsupport::XvfbServer("640x480x24"); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ok());
        d_ = XOpenDisplay(server_->display().c_str());
        ASSERT_TRUE(d_);
        win_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 10, 10, 200, 100, 0, 0, kBackground);
        XMapWindow(d_, win_);
        XSync(d_, False);
        surfaces_ = X11Surfaces::Open(server_->display().c_str());
        ASSERT_TRUE(surfaces_);
    }
    void TearDown() override {
        if (win_) XDestroyWindow(d_, win_);
        XCloseDisplay(d_);
    }

    uint32_t Shown(int x, int y) {
        XImage* image = XGetImage(d_, win_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        const uint32_t pixel = uint32_t(XGetPixel(image, 0, 0)) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }

    static void Fill(Surface& s, Rect r, uint32_t xrgb) {
        for (int32_t y = r.y; y < r.y + r.height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(s.Bits() + y * s.Stride());
            for (int32_t x = r.x; x < r.x + r.width; ++x) row[x] = xrgb;
        }
    }

    static testsupport::XvfbServer* server_;
    Display* d_ = nullptr;
    ::Window win_ = 0;
    std::unique_ptr<X11Surfaces> surfaces_;
};
testsupport::XvfbServer* X11SurfaceTest::server_ = nullptr;

TEST_F(X11SurfaceTest, TheWindowShowsTheRectangleShownAndNothingElse) {
    std::unique_ptr<Surface> s = surfaces_->Create(win_, 200, 100);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Width(), 200);
    EXPECT_EQ(s->Height(), 100);
    EXPECT_GE(s->Stride(), 800);

    s->BeginWrite();
    Fill(*s, {0, 0, 200, 100}, 0x112233);
    Fill(*s, {0, 0, 100, 100}, 0xAA5500);
    s->Show({0, 0, 100, 100});
    EXPECT_TRUE(Eventually([&] { return Shown(10, 10) == 0xAA5500; }));
    EXPECT_EQ(Shown(150, 50), kBackground);

    // Written again straight after a Show, and shown whole, edges clipped.
    s->BeginWrite();
    Fill(*s, {0, 0, 200, 100}, 0x00CC77);
    s->Show({-50, -50, 400, 300});
    EXPECT_TRUE(Eventually([&] { return Shown(150, 50) == 0x00CC77; }));
    EXPECT_EQ(Shown(10, 10), 0x00CC77u);
    EXPECT_EQ(Shown(199, 99), 0x00CC77u);
}

TEST_F(X11SurfaceTest, NoSurfaceWithoutAWindowOrPixels) {
    EXPECT_FALSE(surfaces_->Create(0, 10, 10));
    EXPECT_FALSE(surfaces_->Create(0x7FFFFF0, 10, 10));  // no such window
    EXPECT_FALSE(surfaces_->Create(win_, 0, 10));
    EXPECT_TRUE(surfaces_->Create(win_, 10, 10));  // errors before leave nothing behind
}

TEST_F(X11SurfaceTest, ASurfaceOutlivesItsMakerAndItsWindow) {
    std::unique_ptr<Surface> s = surfaces_->Create(win_, 50, 40);
    ASSERT_TRUE(s);
    surfaces_.reset();
    s->BeginWrite();
    Fill(*s, {0, 0, 50, 40}, 0x808080);
    s->Show({0, 0, 50, 40});
    EXPECT_TRUE(Eventually([&] { return Shown(5, 5) == 0x808080; }));
    XDestroyWindow(d_, win_);
    XSync(d_, False);
    win_ = 0;
    // The server refuses puts to a window that is gone; the surface goes on.
    s->Show({0, 0, 50, 40});
    s->BeginWrite();
    Fill(*s, {0, 0, 50, 40}, 0);
    s->Show({0, 0, 50, 40});
    s->BeginWrite();
}

}  // namespace
}  // namespace platform::x11
