// A large picture that a plug-in is about to draw starts on the pages of the
// newest like picture, keeps those that the drawing leaves equal, and still
// reads and writes as a picture of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "host/bitmap_context.h"
#include "platform/os/cg.h"
#include "platform/screen.h"
#include "platform/virtual.h"
#include "support/mapping_account.h"

namespace {

namespace cg = platform::cg;
using fw::Picture;
using fw::Ref;

constexpr int32_t kW = 1024, kH = 1100;  // 4.4 MB: a picture of its own mapping

uint32_t Pattern(int32_t x, int32_t y, uint32_t salt) {
    // The unused byte stays 255, as drawings of opaque images leave it.
    return ((uint32_t(y * kW + x) * 2654435761u) ^ salt) | 0xFF000000;
}
uint32_t Word(const Picture& p, int32_t x, int32_t y) {
    uint32_t v;
    std::memcpy(&v, p.Pixels() + size_t(y) * p.RowBytes() + size_t(x) * 4, 4);
    return v;
}
void SetWord(Picture& p, int32_t x, int32_t y, uint32_t v) {
    std::memcpy(p.Pixels() + size_t(y) * p.RowBytes() + size_t(x) * 4, &v, 4);
}

Ref<Picture> Patterned(uint32_t salt) {
    Ref<Picture> p = Picture::New(kW, kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) SetWord(*p, x, y, Pattern(x, y, salt));
    return p;
}

// Draws the pattern, with one pixel changed, over the whole picture the way
// a capture does: through the picture's own bitmap context.
void DrawPatternAsPlugIn(Picture& p, uint32_t salt, int32_t changedY) {
    std::vector<uint32_t> image(size_t(kW) * kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) image[size_t(y) * kW + x] = Pattern(x, y, salt);
    image[size_t(changedY) * kW + 5] = 0xFF010203;
    cg::CGColorSpaceRef rgb = cg::CGColorSpaceCreateDeviceRGB();
    cg::CGImageRef drawn = cg::CGImageCreate(kW, kH, 8, 32, 4 * kW, rgb, 5, image.data());
    void* context = fw::host::CreatePictureContext(p);
    ASSERT_NE(context, nullptr);
    cg::CGContextDrawImage(static_cast<cg::CGContextRef>(context), cg::CGRectMake(0, 0, kW, kH),
                           drawn);
    fw::host::ReleasePictureContext(context, p);
    cg::CGImageRelease(drawn);
    cg::CGColorSpaceRelease(rgb);
}

bool SameAsPattern(const Picture& p, uint32_t salt, int32_t exceptY = -1) {
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            if (y != exceptY && Word(p, x, y) != Pattern(x, y, salt)) return false;
    return true;
}

// Kilobytes of the picture's pixels that are its own copies.
long PrivateKilobytes(const Picture& p) {
    return testsupport::MappingKilobytes(p.Pixels(), "Private_Dirty");
}

TEST(PicturePages, APluginsPictureKeepsTheLikePicturesEqualPagesAndStaysApart) {
    Ref<Picture> a = Patterned(0);
    EXPECT_FALSE(a->PagesSharedUntilWritten());
    Ref<Picture> b = Picture::NewOwingFill(kW, kH);
    EXPECT_TRUE(b->PagesSharedUntilWritten());
    DrawPatternAsPlugIn(*b, 0, 300);  // one row differs
    EXPECT_TRUE(SameAsPattern(*a, 0));
    EXPECT_TRUE(SameAsPattern(*b, 0, 300));
    EXPECT_EQ(Word(*b, 5, 300), 0xFF010203u);
    // Only the page with the changed pixel is b's own.
    EXPECT_LE(PrivateKilobytes(*b), 8);

    // Writing one afterwards changes only that one, also on shared pages.
    SetWord(*a, 1, 1, 0xAABBCCDD);
    SetWord(*b, 2, 2, 0x11223344);
    EXPECT_EQ(Word(*a, 1, 1), 0xAABBCCDDu);
    EXPECT_EQ(Word(*b, 2, 2), 0x11223344u);
    EXPECT_EQ(Word(*b, 1, 1), Pattern(1, 1, 0));
    EXPECT_EQ(Word(*a, 2, 2), Pattern(2, 2, 0));

    // An unlike drawing replaces every pixel all the same.
    Ref<Picture> c = Picture::NewOwingFill(kW, kH);
    DrawPatternAsPlugIn(*c, 7, 0);
    EXPECT_TRUE(SameAsPattern(*c, 7, 0));
    EXPECT_EQ(Word(*b, 5, 300), 0xFF010203u);
    EXPECT_EQ(Word(*b, 2, 2), 0x11223344u);

    // Pictures outlive the one whose pages they started with.
    a.Reset();
    EXPECT_EQ(Word(*b, 7, 7), Pattern(7, 7, 0));
    EXPECT_EQ(Word(*c, 7, 7), Pattern(7, 7, 7));
}

// A picture that starts on another's pages, or in the memory of one let go,
// still starts black, not with the old pixels.
TEST(PicturePages, ANewPictureStartsBlackWhateverPagesItStartsOn) {
    const uint8_t black[4] = {0, 0, 0, 0xFF};
    enum class Before { Nothing, LetGo, Alive };
    for (Before before : {Before::Nothing, Before::LetGo, Before::Alive}) {
        for (bool owing : {false, true}) {
            Ref<Picture> old;
            if (before != Before::Nothing) old = Patterned(0);
            if (before == Before::LetGo) old.Reset();
            Ref<Picture> p = owing ? Picture::NewOwingFill(kW, kH) : Picture::New(kW, kH);
            const uint8_t* px = static_cast<const Picture&>(*p).Pixels();
            for (size_t i = 0; i < size_t(kW) * kH; i += 997)
                ASSERT_EQ(std::memcmp(px + 4 * i, black, 4), 0)
                    << int(before) << " " << owing << " " << i;
            if (old) {
                EXPECT_TRUE(SameAsPattern(*old, 0));
            }
        }
    }
}

TEST(PicturePages, SmallPicturesAndDrawingsOnTheLikePictureStayApart) {
    int argc = 1;
    char name[] = "picture_pages_test";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Ref<Picture> small1 = Picture::New(1000, 1000);
    Ref<Picture> small2 = Picture::NewOwingFill(1000, 1000);
    EXPECT_FALSE(small2->PagesSharedUntilWritten());

    // The like picture is drawn on through its graphics after the plug-in's
    // picture started on its pages: the plug-in's picture does not see it.
    Ref<Picture> drawn = Patterned(0);
    Ref<fw::Graphics> g = drawn->GetGraphics();
    Ref<Picture> like = Picture::NewOwingFill(kW, kH);
    DrawPatternAsPlugIn(*like, 0, 0);
    g->FillRect(0, 0, 64, 64);
    EXPECT_NE(Word(*drawn, 10, 10), Pattern(10, 10, 0));
    EXPECT_TRUE(SameAsPattern(*like, 0, 0));
}

// A capture of the whole display of a virtual screen, drawn into the
// picture the way the capture library does.
class ScreenPictures : public ::testing::Test {
  protected:
    void SetUp() override {
        auto screen = std::make_unique<platform::VirtualScreen>();
        screen_ = screen.get();
        display_ = screen_->AddDisplay({0, 0, kW, kH});
        std::vector<uint32_t> xrgb(size_t(kW) * kH);
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) xrgb[size_t(y) * kW + x] = Pattern(x, y, 0) & 0xFFFFFF;
        ASSERT_TRUE(screen_->SetPixels(display_, {0, 0, kW, kH}, xrgb.data()));
        platform::SetCurrentScreen(std::move(screen));
    }
    void TearDown() override {
        platform::SetCurrentScreen(std::make_unique<platform::VirtualScreen>());
    }
    // `before` and `after` run with the context around its drawing.
    using Hook = std::function<void(cg::CGContextRef)>;
    Ref<Picture> Capture(const Hook& before = nullptr, const Hook& after = nullptr) {
        Ref<Picture> p = Picture::NewOwingFill(kW, kH);
        cg::CGImageRef shot = cg::CGDisplayCreateImage(cg::CGMainDisplayID());
        EXPECT_NE(shot, nullptr);
        auto* context = static_cast<cg::CGContextRef>(fw::host::CreatePictureContext(*p));
        EXPECT_NE(context, nullptr);
        if (before) before(context);
        cg::CGContextDrawImage(context, cg::CGRectMake(0, 0, kW, kH), shot);
        if (after) after(context);
        fw::host::ReleasePictureContext(context, *p);
        cg::CGImageRelease(shot);
        return p;
    }
    // The screen's pixels as a picture holds them: red, green, blue, 255.
    static uint32_t Shown(uint32_t xrgb) {
        const uint8_t rgbx[4] = {uint8_t(xrgb >> 16), uint8_t(xrgb >> 8), uint8_t(xrgb), 0xFF};
        uint32_t v;
        std::memcpy(&v, rgbx, 4);
        return v;
    }
    static uint32_t Screen(int32_t x, int32_t y) { return Shown(Pattern(x, y, 0) & 0xFFFFFF); }
    platform::VirtualScreen* screen_ = nullptr;
    uint32_t display_ = 0;
};

// What makes the pages hold something else than the reading: each time, the
// next picture shows the screen, with the one pixel where it differs.
TEST_F(ScreenPictures, PagesThatMayHoldSomethingElseAreComparedAfresh) {
    const uint32_t mark = Shown(0x010203);
    struct Case {
        const char* what;
        std::function<void(Ref<Picture>&)> make;
        uint32_t want;  // at (5, 300) in the next picture
    };
    const Case cases[] = {
        {"the screen changed",
         [this](Ref<Picture>& p) {
             p = Capture();
             ASSERT_TRUE(screen_->SetPixel(display_, 5, 300, 0x010203));
         },
         mark},
        {"the picture was written since",
         [this](Ref<Picture>& p) {
             p = Capture();
             SetWord(*p, 5, 300, 0xFFFFFFFF);
         },
         Screen(5, 300)},
        {"the context's address went out",
         [this](Ref<Picture>& p) {
             uint8_t* data = nullptr;
             p = Capture(
                 [&](cg::CGContextRef c) {
                     data = static_cast<uint8_t*>(cg::CGBitmapContextGetData(c));
                 },
                 [&](cg::CGContextRef) {
                     std::memset(data + (size_t(300) * kW + 5) * 4, 0xFF, 4);
                 });
         },
         Screen(5, 300)},
    };
    for (const Case& c : cases) {
        Ref<Picture> before;
        c.make(before);
        Ref<Picture> next = Capture();
        EXPECT_EQ(Word(*next, 5, 300), c.want) << c.what;
        EXPECT_EQ(Word(*next, 6, 300), Screen(6, 300)) << c.what;
        if (c.want != mark) {
            EXPECT_EQ(Word(*before, 5, 300), 0xFFFFFFFFu) << c.what;
        }
        ASSERT_TRUE(screen_->SetPixel(display_, 5, 300, Pattern(5, 300, 0) & 0xFFFFFF));
    }
}

}  // namespace
