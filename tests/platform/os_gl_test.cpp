// Full-screen CGL contexts and front-buffer reads over the virtual screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os/cg.h"
#include "platform/os/gl.h"
#include "platform/virtual.h"

using namespace platform::gl;
namespace cg = platform::cg;
namespace os = platform::os;

namespace {

// Pixel (x, y) of display number `tag` is R = tag, G = y, B = x.
uint32_t Colour(uint32_t tag, int x, int y) {
    return tag << 16 | uint32_t(y) << 8 | uint32_t(x);
}

class Gl : public ::testing::Test {
  protected:
    void SetUp() override {
        auto s = std::make_unique<platform::VirtualScreen>();
        screen = s.get();
        platform::SetCurrentScreen(std::move(s));
        live = os::LiveObjectCount();
    }
    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        EXPECT_EQ(os::LiveObjectCount(), live) << "objects leaked";
    }
    uint32_t Add(platform::Rect points, int ppp, uint32_t tag) {
        const uint32_t id = screen->AddDisplay(points, ppp);
        for (int y = 0; y < points.height * ppp; ++y)
            for (int x = 0; x < points.width * ppp; ++x)
                screen->SetPixel(id, x, y, Colour(tag, x, y));
        return id;
    }
    // The steps a capture takes to read a display's front buffer.
    static CGLContextObj FullScreen(uint32_t display) {
        const CGLPixelFormatAttribute attrs[] = {
            kCGLPFAFullScreen, kCGLPFADisplayMask,
            static_cast<CGLPixelFormatAttribute>(cg::CGDisplayIDToOpenGLDisplayMask(display)),
            static_cast<CGLPixelFormatAttribute>(0)};
        CGLPixelFormatObj pf = nullptr;
        GLint n = 0;
        if (CGLChoosePixelFormat(attrs, &pf, &n) != kCGLNoError) return nullptr;
        CGLContextObj ctx = nullptr;
        CGLCreateContext(pf, nullptr, &ctx);
        CGLDestroyPixelFormat(pf);
        if (ctx == nullptr) return nullptr;
        CGLSetCurrentContext(ctx);
        CGLSetFullScreen(ctx);
        CGLSetCurrentContext(ctx);
        glReadBuffer(GL_FRONT);
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        return ctx;
    }
    static uint32_t Word(const std::vector<uint8_t>& b, size_t i) {
        uint32_t v;
        std::memcpy(&v, b.data() + 4 * i, 4);
        return v & 0xFFFFFF;  // bytes B, G, R as a 0xRRGGBB colour; the fourth is not used
    }

    platform::VirtualScreen* screen = nullptr;
    int64_t live = 0;
};

TEST_F(Gl, FrontBufferIsTheDisplayBottomRowFirst) {
    Add({0, 0, 2, 2}, 1, 1);
    const uint32_t right = Add({2, 0, 3, 2}, 1, 2);
    CGLContextObj ctx = FullScreen(right);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(CGLGetCurrentContext(), ctx);
    GLint vp[4] = {-1, -1, -1, -1};
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 0);
    EXPECT_EQ(vp[1], 0);
    EXPECT_EQ(vp[2], 3);
    EXPECT_EQ(vp[3], 2);
    std::vector<uint8_t> buf(3 * 2 * 4);
    glReadPixels(0, 0, 3, 2, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buf.data());
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Word(buf, size_t(row * 3 + x)), Colour(2, x, 1 - row)) << x << "," << row;
    EXPECT_EQ(CGLDestroyContext(ctx), kCGLNoError);
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
}

TEST_F(Gl, ViewportOfATwoPixelsPerPointDisplayIsItsPixelSize) {
    const uint32_t id = Add({0, 0, 3, 2}, 2, 1);
    CGLContextObj ctx = FullScreen(id);
    GLint vp[4] = {};
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 6);
    EXPECT_EQ(vp[3], 4);
    CGLDestroyContext(ctx);
}

TEST_F(Gl, PartialReadsCountFromTheBottomAndLeaveTheRestAlone) {
    const uint32_t id = Add({0, 0, 4, 3}, 1, 3);
    CGLContextObj ctx = FullScreen(id);
    struct Case {
        const char* what;
        GLint x, y;
        GLsizei w, h;
    };
    const Case cases[] = {
        {"inside", 1, 1, 2, 2},
        {"over the left and bottom edges", -1, -1, 3, 3},
        {"over the right and top edges", 3, 2, 3, 3},
        {"wholly outside", 4, 0, 2, 2},
        {"far outside", INT32_MAX - 1, INT32_MIN, 2, 2},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> buf(size_t(c.w) * size_t(c.h) * 4, 0xAB);
        glReadPixels(c.x, c.y, c.w, c.h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buf.data());
        for (GLint row = 0; row < c.h; ++row)
            for (GLint col = 0; col < c.w; ++col) {
                const int64_t x = int64_t{c.x} + col, yUp = int64_t{c.y} + row;
                const size_t i = size_t(row * c.w + col);
                if (x >= 0 && x < 4 && yUp >= 0 && yUp < 3) {
                    EXPECT_EQ(Word(buf, i), Colour(3, int(x), int(2 - yUp))) << c.what;
                } else {
                    EXPECT_EQ(Word(buf, i), 0xABABABu) << c.what << " " << col << "," << row;
                }
            }
    }
    CGLDestroyContext(ctx);
}

TEST_F(Gl, PackParametersShapeTheRows) {
    const uint32_t id = Add({0, 0, 3, 2}, 1, 4);
    CGLContextObj ctx = FullScreen(id);
    // Rows of 3 pixels padded to 16 bytes, one row and one pixel skipped.
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_SKIP_ROWS, 1);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 3);  // not an alignment: ignored
    std::vector<uint8_t> buf(16 * 3, 0);
    glReadPixels(0, 0, 3, 2, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buf.data());
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Word(buf, size_t((row + 1) * 4 + 1 + x)), Colour(4, x, 1 - row));
    EXPECT_EQ(Word(buf, 4), 0u);  // the skipped pixel
    // A row length longer than the read.
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 5);
    std::vector<uint8_t> wide(5 * 2 * 4, 0);
    glReadPixels(0, 0, 2, 2, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, wide.data());
    EXPECT_EQ(Word(wide, 5), Colour(4, 0, 0));
    EXPECT_EQ(Word(wide, 2), 0u);
    CGLDestroyContext(ctx);
}

TEST_F(Gl, NothingIsReadWithoutAFullScreenFrontBuffer) {
    const uint32_t id = Add({0, 0, 2, 2}, 1, 5);
    std::vector<uint8_t> buf(16, 0xAB);
    auto read = [&] {
        glReadPixels(0, 0, 2, 2, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buf.data());
        return std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0xAB; });
    };
    EXPECT_TRUE(read()) << "no current context";
    GLint vp[4] = {7, 7, 7, 7};
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 7);

    CGLContextObj ctx = FullScreen(id);
    glReadBuffer(GL_BACK);
    EXPECT_TRUE(read()) << "back buffer";
    glReadBuffer(GL_FRONT);
    glReadPixels(0, 0, 2, 2, GL_BGRA, 0x1403, buf.data());
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0xAB; }))
        << "another pixel type";
    EXPECT_FALSE(read()) << "the front buffer itself";
    CGLDestroyContext(ctx);

    const CGLPixelFormatAttribute attrs[] = {kCGLPFAFullScreen,
                                             static_cast<CGLPixelFormatAttribute>(0)};
    CGLPixelFormatObj pf = nullptr;
    ASSERT_EQ(CGLChoosePixelFormat(attrs, &pf, nullptr), kCGLNoError);
    CGLCreateContext(pf, nullptr, &ctx);
    CGLDestroyPixelFormat(pf);
    CGLSetCurrentContext(ctx);
    glReadBuffer(GL_FRONT);
    buf.assign(16, 0xAB);
    EXPECT_TRUE(read()) << "not full screen";
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 0);
    EXPECT_EQ(vp[3], 0);
    CGLDestroyContext(ctx);
}

TEST_F(Gl, PixelFormatNeedsAKnownDisplayAndKnownAttributes) {
    Add({0, 0, 2, 2}, 1, 6);
    struct Case {
        const char* what;
        std::vector<int32_t> attrs;
        CGLError want;
    };
    const Case cases[] = {
        {"mask of no display", {54, 84, 0x80, 0}, kCGLBadDisplay},
        {"mask without a value", {54, 84, 0}, kCGLBadAttribute},
        {"unknown attribute", {54, 99, 0}, kCGLBadAttribute},
    };
    for (const Case& c : cases) {
        CGLPixelFormatObj pf = reinterpret_cast<CGLPixelFormatObj>(&live);
        GLint n = 5;
        EXPECT_EQ(CGLChoosePixelFormat(
                      reinterpret_cast<const CGLPixelFormatAttribute*>(c.attrs.data()), &pf, &n),
                  c.want)
            << c.what;
        EXPECT_EQ(pf, nullptr) << c.what;
        EXPECT_EQ(n, 0) << c.what;
    }
    CGLContextObj ctx = reinterpret_cast<CGLContextObj>(&live);
    EXPECT_NE(CGLCreateContext(nullptr, nullptr, &ctx), kCGLNoError);
    EXPECT_EQ(ctx, nullptr);
    EXPECT_NE(CGLDestroyContext(nullptr), kCGLNoError);
}

}  // namespace
