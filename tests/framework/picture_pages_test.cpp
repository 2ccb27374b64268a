// Large pictures that are alike keep their equal pages once, and each still
// reads and writes as a picture of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>

#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"

namespace {

using fw::Picture;
using fw::Ref;

constexpr int32_t kW = 1024, kH = 1100;  // 4.4 MB, past the size that is compared

uint32_t Word(const Picture& p, int32_t x, int32_t y) {
    uint32_t v;
    std::memcpy(&v, p.Pixels() + size_t(y) * p.RowBytes() + size_t(x) * 4, 4);
    return v;
}
void SetWord(Picture& p, int32_t x, int32_t y, uint32_t v) {
    std::memcpy(p.Pixels() + size_t(y) * p.RowBytes() + size_t(x) * 4, &v, 4);
}

// A pattern that differs in every word, so that a page shown in the wrong
// place or from the wrong picture shows.
Ref<Picture> Patterned(uint32_t salt) {
    Ref<Picture> p = Picture::New(kW, kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            SetWord(*p, x, y, uint32_t(y * kW + x) * 2654435761u ^ salt);
    return p;
}

bool SameAsPattern(const Picture& p, uint32_t salt, int32_t exceptY = -1) {
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            if (y != exceptY && Word(p, x, y) != (uint32_t(y * kW + x) * 2654435761u ^ salt))
                return false;
    return true;
}

TEST(PicturePages, AlikePicturesShareTheirEqualPagesAndStayApart) {
    Ref<Picture> a = Patterned(0);
    Ref<Picture> b = Patterned(0);
    SetWord(*b, 5, 300, 0x01020304);        // one row differs
    Ref<Picture> c = Patterned(7);          // nothing alike
    EXPECT_FALSE(a->SharePixelsIfEqual());  // nothing to compare with yet
    EXPECT_TRUE(b->SharePixelsIfEqual());
    EXPECT_FALSE(c->SharePixelsIfEqual());
    EXPECT_TRUE(SameAsPattern(*a, 0));
    EXPECT_TRUE(SameAsPattern(*b, 0, 300));
    EXPECT_EQ(Word(*b, 5, 300), 0x01020304u);
    EXPECT_TRUE(SameAsPattern(*c, 7));

    // Writing one afterwards changes only that one, also on shared pages.
    SetWord(*a, 1, 1, 0xAABBCCDD);
    SetWord(*b, 2, 2, 0x11223344);
    EXPECT_EQ(Word(*a, 1, 1), 0xAABBCCDDu);
    EXPECT_EQ(Word(*b, 2, 2), 0x11223344u);
    EXPECT_EQ(Word(*b, 1, 1), uint32_t(1 * kW + 1) * 2654435761u);
    EXPECT_EQ(Word(*a, 2, 2), uint32_t(2 * kW + 2) * 2654435761u);

    // A picture written since sharing is compared as it is now.
    Ref<Picture> d = Patterned(0);
    SetWord(*d, 1, 1, 0xAABBCCDD);
    SetWord(*d, 2, 2, 0x11223344);
    SetWord(*d, 5, 300, 0x01020304);
    EXPECT_FALSE(a->SharePixelsIfEqual());  // c, the other one left, is unlike
    EXPECT_TRUE(d->SharePixelsIfEqual());
    EXPECT_EQ(Word(*d, 2, 2), 0x11223344u);
    EXPECT_EQ(Word(*d, 1, 1), 0xAABBCCDDu);
    EXPECT_EQ(Word(*d, 5, 300), 0x01020304u);
    EXPECT_EQ(Word(*a, 5, 300), uint32_t(300 * kW + 5) * 2654435761u);

    // Pictures outlive the one they shared with.
    a.Reset();
    EXPECT_EQ(Word(*d, 7, 7), uint32_t(7 * kW + 7) * 2654435761u);
}

// The memory of a large picture let go serves the next one of its size, which
// still starts black, not with the old pixels.
TEST(PicturePages, ANewPictureInReusedMemoryStartsBlack) {
    const uint8_t black[4] = {0, 0, 0, 0xFF};
    for (bool owing : {false, true}) {
        Patterned(0).Reset();
        Ref<Picture> p = owing ? Picture::NewOwingFill(kW, kH) : Picture::New(kW, kH);
        const uint8_t* px = static_cast<const Picture&>(*p).Pixels();
        for (size_t i = 0; i < size_t(kW) * kH; i += 997)
            ASSERT_EQ(std::memcmp(px + 4 * i, black, 4), 0) << owing << " " << i;
    }
}

TEST(PicturePages, SmallPicturesAndPicturesDrawnOnAreNotCompared) {
    int argc = 1;
    char name[] = "picture_pages_test";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Ref<Picture> small1 = Picture::New(1000, 1000), small2 = Picture::New(1000, 1000);
    EXPECT_FALSE(small1->SharePixelsIfEqual());
    EXPECT_FALSE(small2->SharePixelsIfEqual());

    Ref<Picture> drawn = Patterned(0);
    Ref<fw::Graphics> g = drawn->GetGraphics();
    Ref<Picture> like = Patterned(0);
    EXPECT_FALSE(drawn->SharePixelsIfEqual());
    EXPECT_FALSE(like->SharePixelsIfEqual());
    g->DrawLine(0, 0, 10, 0);
    EXPECT_TRUE(SameAsPattern(*like, 0));
}

}  // namespace
