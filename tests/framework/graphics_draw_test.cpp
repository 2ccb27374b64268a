// Pictures and drawing onto canvases and pictures: exact nearest-neighbour
// stretching, clipping, the reported areas, lines, masks and alpha.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "platform/screen.h"
#include "platform/virtual.h"
#include "support/plugin_capture.h"
#include "ui/qt_graphics.h"

namespace {

using fw::Picture;
using fw::Ref;

class GraphicsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char arg0[] = "fw_graphics_draw_test";
            static char* argv[] = {arg0, nullptr};
            static QApplication app(argc, argv);
        }
    }
};

constexpr QRgb kSentinel = 0xFF123456;

// Every pixel of the source tells where it came from.
Ref<Picture> CoordinatePicture(int w, int h) {
    Ref<Picture> p = Picture::New(w, h);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p->Pixels() + y * p->RowBytes();
        for (int x = 0; x < w; ++x) {
            row[4 * x + 0] = uint8_t(x);
            row[4 * x + 1] = uint8_t(y);
            row[4 * x + 2] = uint8_t((x >> 8) * 16 + (y >> 8));
        }
    }
    return p;
}

QRgb SourceColor(int x, int y) {
    return qRgb(x & 0xFF, y & 0xFF, (x >> 8) * 16 + (y >> 8));
}

int Sample(int i, int d0, int dLen, int s0, int sLen) {
    return s0 + int((2LL * (i - d0) + 1) * sLen / (2LL * dLen));
}

struct StretchCase {
    const char* name;
    int picW, picH, canvasW, canvasH;
    int x, y, w, h, sx, sy, sw, sh;  // sw/sh -10000: the whole picture
};

const StretchCase kStretchCases[] = {
    {"double", 200, 150, 400, 300, 0, 0, 400, 300, 0, 0, -10000, -10000},
    {"non_integer_up", 200, 150, 333, 201, 0, 0, 333, 201, 0, 0, 200, 150},
    {"shrink", 200, 150, 70, 41, 0, 0, 70, 41, 0, 0, 200, 150},
    {"mild_shrink", 200, 150, 160, 120, 0, 0, 160, 120, 0, 0, 200, 150},
    {"narrow_picture_edge", 5, 3, 7, 4, 0, 0, 7, 4, 0, 0, 5, 3},
    {"six_times", 37, 23, 222, 138, 0, 0, 222, 138, 0, 0, 37, 23},
    {"sub_rectangle", 200, 150, 300, 200, 10, 5, 250, 180, 40, 30, 50, 45},
    {"clipped_left_top", 50, 40, 100, 80, -37, -21, 150, 120, 0, 0, 50, 40},
    {"clipped_right_bottom", 50, 40, 100, 80, 60, 55, 150, 120, 0, 0, 50, 40},
    {"larger_than_canvas", 300, 300, 64, 48, -500, -400, 1000, 900, 0, 0, 300, 300},
    {"one_pixel", 1, 1, 40, 30, 0, 0, 40, 30, 0, 0, 1, 1},
    {"source_beyond_picture", 20, 20, 80, 80, 0, 0, 80, 80, -5, 10, 30, 20},
    {"wide_picture", 700, 3, 1400, 12, 0, 0, 1400, 12, 0, 0, 700, 3},
    {"entirely_off_canvas", 20, 20, 80, 80, 90, 0, 40, 40, 0, 0, 20, 20},
};

class StretchTest : public GraphicsTest, public ::testing::WithParamInterface<StretchCase> {};

// Checks the canvas pixel by pixel against the sampling rule and returns the
// bounding box of the pixels that should have been drawn. The case's
// rectangle is in points of `scale` canvas pixels each.
QRect ExpectStretched(const QImage& canvas, const StretchCase& c, bool picture, int scale = 1) {
    const int sw = c.sw == -10000 ? c.picW : c.sw;
    const int sh = c.sh == -10000 ? c.picH : c.sh;
    const int x0 = c.x * scale, y0 = c.y * scale, w = c.w * scale, h = c.h * scale;
    QRect drawn;
    int wrong = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            QRgb want = kSentinel;
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) {
                const int px = Sample(x, x0, w, c.sx, sw);
                const int py = Sample(y, y0, h, c.sy, sh);
                if (px >= 0 && px < c.picW && py >= 0 && py < c.picH) {
                    want = SourceColor(px, py);
                    drawn |= QRect(x, y, 1, 1);
                }
            }
            QRgb got = canvas.pixel(x, y);
            if (picture) got |= 0xFF000000;
            if (got != want && ++wrong <= 3) {
                ADD_FAILURE() << c.name << " at " << x << "," << y << ": got " << std::hex << got
                              << " want " << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << c.name << " at " << scale << " pixels per point";
    return drawn;
}

// A canvas of `scale` pixels per point, its size given in points.
QImage Canvas(int w, int h, int scale, QImage::Format format = QImage::Format_RGB32) {
    QImage canvas(w * scale, h * scale, format);
    canvas.setDevicePixelRatio(scale);
    return canvas;
}

TEST_P(StretchTest, CanvasPixelsAreTheSourcePixelUnderEachCentre) {
    const StretchCase& c = GetParam();
    Ref<Picture> pic = CoordinatePicture(c.picW, c.picH);
    for (int scale : {1, 2}) {
        for (bool shuffles : {true, false}) {
            fw::qt::AllowShuffleStretch(shuffles);
            for (QImage::Format format :
                 {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
                // Written through the cache, and around it for a surface.
                for (bool streaming : {false, true}) {
                    QImage canvas = Canvas(c.canvasW, c.canvasH, scale, format);
                    canvas.fill(kSentinel);
                    std::vector<QRect> changed;
                    Ref<fw::Graphics> g = fw::qt::MakeImageGraphics(
                        &canvas, [&](const QRect& r) { changed.push_back(r); }, {}, streaming);
                    EXPECT_EQ(g->Width(), c.canvasW);
                    EXPECT_EQ(g->Height(), c.canvasH);
                    g->DrawPicture(pic, c.x, c.y, c.w, c.h, c.sx, c.sy, c.sw, c.sh);
                    const QRect drawn = ExpectStretched(canvas, c, false, scale);
                    if (drawn.isEmpty()) {
                        EXPECT_TRUE(changed.empty()) << c.name;
                    } else {
                        ASSERT_EQ(changed.size(), 1u) << c.name;
                        EXPECT_EQ(changed[0], drawn) << c.name;
                    }
                }
            }
        }
    }
    fw::qt::AllowShuffleStretch(true);
}

TEST_P(StretchTest, PictureGraphicsStretchTheSameWay) {
    const StretchCase& c = GetParam();
    Ref<Picture> pic = CoordinatePicture(c.picW, c.picH);
    Ref<Picture> target = Picture::New(c.canvasW, c.canvasH);
    QImage view = fw::qt::PictureImage(*target);
    view.fill(QColor::fromRgb(kSentinel));
    for (bool shuffles : {true, false}) {
        fw::qt::AllowShuffleStretch(shuffles);
        view.fill(QColor::fromRgb(kSentinel));
        const uint64_t before = target->Generation();
        target->GetGraphics()->DrawPicture(pic, c.x, c.y, c.w, c.h, c.sx, c.sy, c.sw, c.sh);
        const QRect drawn = ExpectStretched(view, c, true);
        EXPECT_EQ(target->Generation() != before, !drawn.isEmpty()) << c.name;
    }
    fw::qt::AllowShuffleStretch(true);
}

// A capture that nobody has looked at is stretched from the screen's reading
// as it lies, in the screen's byte order, and is still not copied into the
// picture afterwards; where the byte shuffle is off it is copied first. Either
// way the canvas is as from any picture, and so are the picture's pixels.
TEST_P(StretchTest, CaptureNotLookedAtIsStretchedFromTheReading) {
    const StretchCase& c = GetParam();
    auto screen = std::make_unique<platform::VirtualScreen>();
    const uint32_t id = screen->AddDisplay({0, 0, c.picW, c.picH});
    for (int y = 0; y < c.picH; ++y)
        for (int x = 0; x < c.picW; ++x) screen->SetPixel(id, x, y, SourceColor(x, y) & 0xFFFFFF);
    platform::SetCurrentScreen(std::move(screen));
    const Ref<Picture> plain = CoordinatePicture(c.picW, c.picH);
    for (bool shuffles : {true, false}) {
        fw::qt::AllowShuffleStretch(shuffles);
        Ref<Picture> pic = testsupport::CaptureAsPlugIn(0, 0, c.picW, c.picH);
        ASSERT_TRUE(pic);
        Picture::OwedRows rows;
        ASSERT_TRUE(pic->RowsOwed(&rows));
        bool drew = false;
        for (int scale : {1, 2}) {
            QImage canvas = Canvas(c.canvasW, c.canvasH, scale);
            canvas.fill(kSentinel);
            fw::qt::MakeImageGraphics(&canvas, nullptr)
                ->DrawPicture(pic, c.x, c.y, c.w, c.h, c.sx, c.sy, c.sw, c.sh);
            drew = !ExpectStretched(canvas, c, false, scale).isEmpty() || drew;
        }
        EXPECT_EQ(pic->RowsOwed(&rows), shuffles || !drew) << c.name;
        const Picture& read = *pic;
        EXPECT_EQ(std::memcmp(read.Pixels(), static_cast<const Picture&>(*plain).Pixels(),
                              plain->RowBytes() * size_t(c.picH)),
                  0)
            << c.name;
        EXPECT_FALSE(pic->RowsOwed(&rows));
    }
    fw::qt::AllowShuffleStretch(true);
    platform::SetCurrentScreen(std::make_unique<platform::VirtualScreen>());
}

INSTANTIATE_TEST_SUITE_P(Cases, StretchTest, ::testing::ValuesIn(kStretchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GraphicsTest, PictureSizeAndDepthLimits) {
    struct {
        int w, h, depth;
        bool ok;
    } cases[] = {{1, 1, 32, true},      {32767, 1, 32, true},  {1, 32767, 32, true},
                 {0, 5, 32, false},     {5, 0, 32, false},     {-1, 5, 32, false},
                 {32768, 1, 32, false}, {1, 32768, 32, false}, {5, 5, 24, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(bool(Picture::New(c.w, c.h, c.depth)), c.ok)
            << c.w << "x" << c.h << "@" << c.depth;
    }
}

TEST_F(GraphicsTest, NewPicturesAreBlackAndCounted) {
    const int64_t live = Picture::LiveCount();
    {
        Ref<Picture> opaque = Picture::New(3, 2);
        Ref<Picture> clear = Picture::New(3, 2, 32, true);
        EXPECT_EQ(Picture::LiveCount(), live + 2);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(opaque->Pixels()) % 16, 0u);
        EXPECT_EQ(fw::qt::PictureImage(*opaque).pixel(2, 1), 0xFF000000u);
        EXPECT_EQ(fw::qt::PictureImage(*clear).pixel(2, 1), 0x00000000u);
        EXPECT_FALSE(opaque->Mask(false));
        Ref<Picture> mask = opaque->Mask(true);
        ASSERT_TRUE(mask);
        EXPECT_EQ(mask, opaque->Mask(false));
        EXPECT_EQ(Picture::LiveCount(), live + 3);
    }
    EXPECT_EQ(Picture::LiveCount(), live);
}

struct LineCase {
    const char* name;
    int x1, y1, x2, y2;
    std::vector<QPoint> expected;  // empty: derive from the rule below
};

TEST_F(GraphicsTest, LinesSetExactlyTheirPixels) {
    auto row = [](int y, int x0, int x1) {
        std::vector<QPoint> v;
        for (int x = x0; x <= x1; ++x) v.push_back({x, y});
        return v;
    };
    auto column = [](int x, int y0, int y1) {
        std::vector<QPoint> v;
        for (int y = y0; y <= y1; ++y) v.push_back({x, y});
        return v;
    };
    const LineCase cases[] = {
        {"crosshair_horizontal", 0, 50, 200, 50, row(50, 0, 199)},
        {"crosshair_vertical", 100, 0, 100, 100, column(100, 0, 99)},
        {"diagonal_both_ends", 2, 3, 6, 7, {{2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}}},
        {"reversed", 6, 7, 2, 3, {{2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}}},
        {"shallow", 0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {"single_point", 9, 9, 9, 9, {{9, 9}}},
        {"far_outside", -100000000, 10, 100000000, 10, row(10, 0, 199)},
        {"off_canvas", 0, -5, 199, -5, {}},
    };
    // At two pixels per point each point of the line is a square of four.
    for (int scale : {1, 2}) {
        for (const LineCase& c : cases) {
            QImage canvas = Canvas(200, 100, scale);
            canvas.fill(Qt::white);
            QRect changed;
            Ref<fw::Graphics> g =
                fw::qt::MakeImageGraphics(&canvas, [&](const QRect& r) { changed |= r; });
            g->SetForeColor(fw::Color::RGBA(255, 0, 0));
            g->DrawLine(c.x1, c.y1, c.x2, c.y2);
            QImage want = Canvas(200, 100, scale);
            want.fill(Qt::white);
            QRect box;
            for (QPoint p : c.expected) {
                const QRect square(p * scale, QSize(scale, scale));
                for (int y = square.top(); y <= square.bottom(); ++y)
                    for (int x = square.left(); x <= square.right(); ++x)
                        want.setPixel(x, y, qRgb(255, 0, 0));
                box |= square;
            }
            EXPECT_EQ(canvas, want) << c.name << " at " << scale;
            EXPECT_EQ(changed, box) << c.name << " at " << scale;
        }
    }
}

TEST_F(GraphicsTest, MaskWhiteIsTransparentAndAlphaBlends) {
    Ref<Picture> pic = Picture::New(2, 1);
    uint8_t* px = pic->Pixels();
    px[0] = 255, px[4] = 255;  // both red
    Ref<Picture> mask = pic->Mask(true);
    mask->Pixels()[4] = mask->Pixels()[5] = mask->Pixels()[6] = 255;  // right one hidden

    Ref<Picture> half = Picture::New(1, 1, 32, true);
    uint8_t* h = half->Pixels();
    h[2] = 128, h[3] = 128;  // half-covering blue, premultiplied

    QImage canvas(3, 1, QImage::Format_RGB32);
    canvas.fill(qRgb(0, 255, 0));
    Ref<fw::Graphics> g = fw::qt::MakeImageGraphics(&canvas, nullptr);
    g->DrawPicture(pic, 0, 0, 2, 1);
    g->DrawPicture(half, 2, 0, 1, 1);
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(2, 0), qRgb(0, 127, 128));
}

TEST_F(GraphicsTest, MaskDrawnThroughItsOwnGraphicsHidesPixels) {
    // The capture library fills a new mask by drawing a grey picture onto it.
    Ref<Picture> pic = CoordinatePicture(4, 1);
    Ref<Picture> grey = Picture::New(4, 1);
    for (int x : {1, 3}) std::fill_n(grey->Pixels() + 4 * x, 3, uint8_t(255));
    pic->Mask(true)->GetGraphics()->DrawPicture(grey, 0, 0, 4, 1, 0, 0, 4, 1);
    QImage canvas(8, 1, QImage::Format_RGB32);
    canvas.fill(qRgb(9, 9, 9));
    fw::qt::MakeImageGraphics(&canvas, nullptr)->DrawPicture(pic, 0, 0, 8, 1);
    const QRgb want[] = {SourceColor(0, 0), SourceColor(0, 0), qRgb(9, 9, 9), qRgb(9, 9, 9),
                         SourceColor(2, 0), SourceColor(2, 0), qRgb(9, 9, 9), qRgb(9, 9, 9)};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(canvas.pixel(x, 0), want[x]) << x;
}

TEST_F(GraphicsTest, DrawingAPictureOntoItselfReadsTheOldPixels) {
    Ref<Picture> pic = CoordinatePicture(8, 8);
    pic->GetGraphics()->DrawPicture(pic, 0, 0, 8, 8, 4, 4, 4, 4);
    const QImage view = fw::qt::PictureImage(*pic);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) ASSERT_EQ(view.pixel(x, y), SourceColor(4 + x / 2, 4 + y / 2));
    }
}

TEST_F(GraphicsTest, TextSitsOnItsBaselineInsideTheReportedArea) {
    for (int scale : {1, 2}) {
        for (const char* font : {"System", "Courier", "Arial"}) {
            QImage canvas = Canvas(300, 80, scale);
            canvas.fill(Qt::white);
            QRect changed;
            Ref<fw::Graphics> g =
                fw::qt::MakeImageGraphics(&canvas, [&](const QRect& r) { changed |= r; });
            g->SetTextFont(font);
            g->SetTextSize(20);
            g->SetBold(true);
            g->DrawString("Hxg", 10, 50);
            QRect inked;
            for (int y = 0; y < canvas.height(); ++y) {
                for (int x = 0; x < canvas.width(); ++x) {
                    if (canvas.pixel(x, y) != qRgb(255, 255, 255)) inked |= QRect(x, y, 1, 1);
                }
            }
            ASSERT_FALSE(inked.isEmpty()) << font;
            EXPECT_TRUE(changed.contains(inked)) << font;
            // In points: capitals rise above the baseline, the g's descender
            // goes below it, about a 20-point font, not 20 points at 96 dpi.
            EXPECT_LT(inked.top(), 50 * scale) << font;
            EXPECT_GT(inked.bottom(), 50 * scale) << font;
            EXPECT_GE(inked.left(), 9 * scale) << font;
            EXPECT_LE(inked.height(), 30 * scale) << font;
            EXPECT_GE(inked.height(), 10 * scale) << font;
        }
    }
}

TEST_F(GraphicsTest, FillsAreInPointsAtTwoPixelsPerPoint) {
    QImage canvas = Canvas(40, 30, 2);
    canvas.fill(Qt::white);
    QRect changed;
    Ref<fw::Graphics> g = fw::qt::MakeImageGraphics(&canvas, [&](const QRect& r) { changed |= r; });
    g->SetForeColor(fw::Color::RGBA(0, 0, 255));
    g->FillRect(35, 5, 100, 1);
    EXPECT_EQ(changed, QRect(70, 10, 10, 2));
    EXPECT_EQ(canvas.pixel(70, 11), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(69, 11), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(70, 12), qRgb(255, 255, 255));
}

}  // namespace
