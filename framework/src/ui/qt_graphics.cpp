#include "ui/qt_graphics.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OSTREL_HAVE_SSSE3_PATH 1
#endif

namespace fw::qt {

static_assert(std::endian::native == std::endian::little,
              "the pixel swizzles assume a little-endian machine");

namespace {

__extension__ using Int128 = __int128;

// x / 255 rounded, exact for 0..255*255.
inline uint32_t Div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// One axis of a stretch: the destination range that is both on the target and
// samples inside the picture, and the source index of each of its pixels.
struct AxisMap {
    int32_t first = 0;  // destination coordinate of the first mapped pixel
    std::vector<int32_t> src;
};

// Exact integer stepping of floor((2i + 1) * sw / (2w)): a quotient and a
// remainder advanced by a constant, so no per-pixel division and no drift
// from a rounded fixed-point step, however large the stretch.
bool MapAxis(int64_t d0, int64_t dLen, int32_t s0, int32_t sLen, int32_t picExtent,
             int32_t targetExtent, AxisMap& out) {
    const int64_t i0 = std::max<int64_t>(0, -d0);
    const int64_t i1 = std::min<int64_t>(dLen, int64_t(targetExtent) - d0);
    if (i0 >= i1) return false;
    // The first product may pass 64 bits for far-off rectangles; the
    // quotient and the remainder never do.
    const int64_t den = 2 * dLen;
    const Int128 num = Int128(2 * i0 + 1) * sLen;
    int64_t q = int64_t(num / den);
    int64_t r = int64_t(num % den);
    const int64_t stepQ = int64_t(sLen) / dLen;
    const int64_t stepR = 2 * (int64_t(sLen) % dLen);
    out.src.clear();
    out.src.reserve(size_t(i1 - i0));
    int64_t first = -1;
    for (int64_t i = i0; i < i1; ++i) {
        const int64_t s = s0 + q;
        if (s >= picExtent) break;  // monotone: nothing further maps inside
        if (s >= 0) {
            if (first < 0) first = i;
            out.src.push_back(int32_t(s));
        }
        q += stepQ;
        r += stepR;
        if (r >= den) {
            r -= den;
            ++q;
        }
    }
    if (first < 0) return false;
    out.first = int32_t(d0 + first);
    return true;
}

inline uint32_t LoadRGBA(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;  // little-endian: R in bits 0..7, A in 24..31
}

// Picture bytes R,G,B,X read as a little-endian word, to a QImage RGB32 word.
inline uint32_t RgbxToWord(uint32_t p) {
    return 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

// Premultiplied components of a source pixel after its mask coverage.
struct Premul {
    uint32_t r, g, b, a;
};

inline Premul SourcePixel(uint32_t p, bool hasAlpha, const uint8_t* maskPixel) {
    Premul s{p & 0xFFu, (p >> 8) & 0xFFu, (p >> 16) & 0xFFu, hasAlpha ? p >> 24 : 255u};
    if (maskPixel) {
        const uint32_t c = 255u - maskPixel[0];  // white is transparent
        s = {Div255(s.r * c), Div255(s.g * c), Div255(s.b * c), Div255(s.a * c)};
    }
    return s;
}

inline void BlendInto(uint8_t* d, PixelOrder order, bool keepAlpha, const Premul& s) {
    if (s.a == 0) return;
    uint32_t dr, dg, db, da;
    uint32_t v;
    std::memcpy(&v, d, 4);
    if (order == PixelOrder::kWord32) {
        db = v & 0xFFu;
        dg = (v >> 8) & 0xFFu;
        dr = (v >> 16) & 0xFFu;
    } else {
        dr = v & 0xFFu;
        dg = (v >> 8) & 0xFFu;
        db = (v >> 16) & 0xFFu;
    }
    da = keepAlpha ? v >> 24 : 255u;
    const uint32_t inv = 255u - s.a;
    const uint32_t r = s.r + Div255(dr * inv);
    const uint32_t g = s.g + Div255(dg * inv);
    const uint32_t b = s.b + Div255(db * inv);
    const uint32_t a = keepAlpha ? s.a + Div255(da * inv) : 255u;
    v = order == PixelOrder::kWord32 ? (a << 24 | r << 16 | g << 8 | b)
                                     : (a << 24 | b << 16 | g << 8 | r);
    std::memcpy(d, &v, 4);
}

inline uint32_t ColorWord(Color c, PixelOrder order) {
    return order == PixelOrder::kWord32
               ? (0xFF000000u | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue)
               : (0xFF000000u | uint32_t(c.blue) << 16 | uint32_t(c.green) << 8 | c.red);
}

// Our colours carry transparency (0 opaque); the raster wants coverage.
inline Premul ColorPremul(Color c) {
    const uint32_t a = 255u - c.alpha;
    return {Div255(c.red * a), Div255(c.green * a), Div255(c.blue * a), a};
}

inline void PutPixel(const RasterTarget& t, int x, int y, Color c) {
    uint8_t* d = t.bits + y * t.stride + ptrdiff_t(x) * 4;
    if (c.alpha == 0) {
        const uint32_t v = ColorWord(c, t.order);
        std::memcpy(d, &v, 4);
    } else {
        BlendInto(d, t.order, t.hasAlpha, ColorPremul(c));
    }
}

// A rectangle in device pixels.
QRect FillRaster(const RasterTarget& t, int64_t x, int64_t y, int64_t w, int64_t h, Color c) {
    if (!t.bits || w <= 0 || h <= 0) return {};
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(x + w, t.width);
    const int64_t y1 = std::min<int64_t>(y + h, t.height);
    if (x0 >= x1 || y0 >= y1 || c.alpha == 255) return {};
    for (int64_t yy = y0; yy < y1; ++yy) {
        for (int64_t xx = x0; xx < x1; ++xx) PutPixel(t, int(xx), int(yy), c);
    }
    return QRect(int(x0), int(y0), int(x1 - x0), int(y1 - y0));
}

// A line one point wide, both end points included: the points it sets are
// those of a one-pixel line at one pixel per point, each a square of `scale`
// device pixels. Only the stretch of the major axis that lies on the target is
// walked, so far-off end points cost nothing.
QRect LineRaster(const RasterTarget& t, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color c,
                 int scale) {
    if (!t.bits || c.alpha == 255) return {};
    const bool steep = std::abs(int64_t(y2) - y1) > std::abs(int64_t(x2) - x1);
    int64_t a1 = steep ? y1 : x1, b1 = steep ? x1 : y1;
    int64_t a2 = steep ? y2 : x2, b2 = steep ? x2 : y2;
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    // The target's extent in points, a partly covered last point included.
    const int64_t pointsWide = (int64_t(t.width) + scale - 1) / scale;
    const int64_t pointsHigh = (int64_t(t.height) + scale - 1) / scale;
    const int64_t majorExtent = steep ? pointsHigh : pointsWide;
    const int64_t minorExtent = steep ? pointsWide : pointsHigh;
    const int64_t da = a2 - a1, db = b2 - b1;
    const int64_t from = std::max<int64_t>(a1, 0), to = std::min<int64_t>(a2, majorExtent - 1);
    int minX = INT32_MAX, minY = INT32_MAX, maxX = -1, maxY = -1;
    for (int64_t a = from; a <= to; ++a) {
        // Minor coordinate rounded to the nearest pixel centre.
        const int64_t b = da == 0 ? b1 : b1 + FloorDiv(2 * (a - a1) * db + da, 2 * da);
        if (b < 0 || b >= minorExtent) continue;
        const int px = int(steep ? b : a) * scale, py = int(steep ? a : b) * scale;
        const int pxEnd = std::min(px + scale, t.width), pyEnd = std::min(py + scale, t.height);
        for (int yy = py; yy < pyEnd; ++yy) {
            for (int xx = px; xx < pxEnd; ++xx) PutPixel(t, xx, yy, c);
        }
        minX = std::min(minX, px);
        maxX = std::max(maxX, pxEnd - 1);
        minY = std::min(minY, py);
        maxY = std::max(maxY, pyEnd - 1);
    }
    if (maxX < 0) return {};
    return QRect(QPoint(minX, minY), QPoint(maxX, maxY));
}

QString ToQString(const String& s) {
    QString q = QString::fromUtf8(s.Bytes().data(), qsizetype(s.ByteLength()));
    // Our texts break lines with CR; Qt wants LF.
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

// Draws text with QPainter; baseline of the first line at y. Returns the
// area the text may cover.
QRect DrawText(QPainter& p, const QFont& font, Color c, const String& text, int32_t x, int32_t y,
               int32_t wrapWidth, bool condense) {
    p.setFont(font);
    p.setPen(QColor(c.red, c.green, c.blue, 255 - c.alpha));
    const QFontMetricsF fm(font, p.device());
    QString q = ToQString(text);
    if (wrapWidth > 0 && condense) {
        // Condensed text stays on its one line, cut to the width.
        q.replace(QLatin1Char('\n'), QLatin1Char(' '));
        q = fm.elidedText(q, Qt::ElideRight, wrapWidth);
    }
    const qreal top = y - fm.ascent();
    if (wrapWidth > 0 && !condense) {
        const QRectF box(x, top, wrapWidth, 1e6);
        QRectF used;
        p.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, q, &used);
        return used.toAlignedRect().adjusted(-2, -2, 2, 2);
    }
    const QStringList lines = q.split(QLatin1Char('\n'));
    qreal width = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        p.drawText(QPointF(x, y + i * fm.lineSpacing()), lines[i]);
        width = std::max(width, fm.horizontalAdvance(lines[i]));
    }
    const QRectF used(x, top, width, fm.height() + (lines.size() - 1) * fm.lineSpacing());
    // Italic overhang and antialiasing may reach a little past the metrics.
    return used.toAlignedRect().adjusted(-2, -2, 2, 2);
}

// A rectangle of points in device pixels, cut to the image (and so free of
// overflow, however far off it lies).
QRect ToDevice(const QRect& r, int scale, const QImage& image) {
    if (r.isEmpty()) return {};
    auto clampX = [&](int64_t v) { return int(std::clamp<int64_t>(v, -1, image.width() + 1)); };
    auto clampY = [&](int64_t v) { return int(std::clamp<int64_t>(v, -1, image.height() + 1)); };
    const int x0 = clampX(int64_t(r.x()) * scale), y0 = clampY(int64_t(r.y()) * scale);
    const int x1 = clampX((int64_t(r.x()) + r.width()) * scale);
    const int y1 = clampY((int64_t(r.y()) + r.height()) * scale);
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

// Graphics over a QImage: the window canvas, or a picture's own pixels. Its
// coordinates are points; the image's device pixel ratio says how many
// pixels make one.
class ImageGraphics final : public DeviceGraphics {
  public:
    ImageGraphics(QImage* image, std::function<void(const QRect&)> changed,
                  std::function<void()> beforeWrite, Ref<Picture> keep, bool streaming)
        : image_(image),
          changed_(std::move(changed)),
          beforeWrite_(std::move(beforeWrite)),
          picture_(std::move(keep)),
          streaming_(streaming) {
        if (picture_) {
            owned_ = PictureImage(*picture_);
            image_ = &owned_;
        }
    }

    void DrawPicture(const Ref<Picture>& pic, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh) override {
        if (!pic) RaiseNilObject();
        BeforeWrite();
        RasterTarget t = RasterOf(*image_);
        t.streaming = streaming_;
        QRect done;
        if (t.bits) {
            done = StretchPicture(*pic, t, x, y, w, h, sx, sy, sw, sh, Scale());
        } else {
            done = PaintPicture(*pic, x, y, w, h, sx, sy, sw, sh);
        }
        Report(done);
    }

    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        BeforeWrite();
        RasterTarget t = RasterOf(*image_);
        if (t.bits) {
            Report(LineRaster(t, x1, y1, x2, y2, foreColor_, Scale()));
            return;
        }
        QPainter p(image_);
        p.setPen(QPen(
            QColor(foreColor_.red, foreColor_.green, foreColor_.blue, 255 - foreColor_.alpha), 1));
        p.drawLine(x1, y1, x2, y2);
        Report(ToDevice(QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized().adjusted(-1, -1, 1, 1),
                        Scale(), *image_));
    }

    void DrawString(const String& text, int32_t x, int32_t y, int32_t wrapWidth,
                    bool condense) override {
        if (text.IsEmpty()) return;
        BeforeWrite();
        QPainter p(image_);
        const QRect used =
            DrawText(p, ResolveFont(*this, image_), foreColor_, text, x, y, wrapWidth, condense);
        Report(ToDevice(used, Scale(), *image_));
    }

    void FillRect(int32_t x, int32_t y, int32_t w, int32_t h) override {
        BeforeWrite();
        RasterTarget t = RasterOf(*image_);
        const int64_t s = Scale();
        if (t.bits) {
            Report(FillRaster(t, x * s, y * s, w * s, h * s, foreColor_));
            return;
        }
        QPainter p(image_);
        p.fillRect(QRect(x, y, w, h), QColor(foreColor_.red, foreColor_.green, foreColor_.blue,
                                             255 - foreColor_.alpha));
        Report(ToDevice(QRect(x, y, w, h), int(s), *image_));
    }

    int32_t Width() const override { return image_->width() / Scale(); }
    int32_t Height() const override { return image_->height() / Scale(); }
    const QPaintDevice* Device() const override { return image_; }

  private:
    int Scale() const { return PixelsPerPoint(*image_); }

    // Formats the stretcher does not write: let Qt scale without smoothing.
    QRect PaintPicture(const Picture& pic, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                       int32_t sy, int32_t sw, int32_t sh) {
        if (sw == Graphics::kFullExtent) sw = pic.Width();
        if (sh == Graphics::kFullExtent) sh = pic.Height();
        if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return {};
        QPainter p(image_);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRect(x, y, w, h), PictureImage(pic), QRect(sx, sy, sw, sh));
        return ToDevice(QRect(x, y, w, h), Scale(), *image_);
    }

    void BeforeWrite() {
        if (picture_) picture_->AboutToWrite();
        if (beforeWrite_) beforeWrite_();
    }

    // r in device pixels.
    void Report(const QRect& r) {
        const QRect clipped = r.intersected(image_->rect());
        if (clipped.isEmpty()) return;
        if (picture_) picture_->MarkChanged();
        if (changed_) changed_(clipped);
    }

    QImage* image_;
    std::function<void(const QRect&)> changed_;
    std::function<void()> beforeWrite_;
    Ref<Picture> picture_;
    bool streaming_;
    QImage owned_;
};

// Straight-line loops over plain pointers, so the compiler vectorises them.
void Swizzle(uint32_t* __restrict d, const uint32_t* __restrict s, size_t n, PixelOrder order) {
    if (order == PixelOrder::kWord32) {
        for (size_t i = 0; i < n; ++i) d[i] = RgbxToWord(s[i]);
    } else {
        for (size_t i = 0; i < n; ++i) d[i] = s[i] | 0xFF000000u;
    }
}

// Rows for memory that this process writes and then leaves to another (a
// surface the display server reads): stores that go around the cache do not
// first read every line of it in, which is most of what writing a canvas
// that has gone cold between two ticks costs. `bytes` is a multiple of 4 and
// `d` is 4-byte aligned.
void StreamRow(uint8_t* __restrict d, const uint32_t* __restrict s, size_t bytes) {
    size_t i = 0;
#if defined(__SSE2__)
    const auto* from = reinterpret_cast<const uint8_t*>(s);
    for (; i < bytes && (reinterpret_cast<uintptr_t>(d + i) & 15) != 0; i += 4) {
        std::memcpy(d + i, from + i, 4);
    }
    for (; i + 64 <= bytes; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 32));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 48), e);
    }
    for (; i + 16 <= bytes; i += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    }
#endif
    if (i < bytes) std::memcpy(d + i, reinterpret_cast<const uint8_t*>(s) + i, bytes - i);
}

// Orders the streamed stores before anything that tells another process of them.
inline void StreamsDone() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

// The hot loop of the magnifier: kept free of aliasing doubts and unrolled so
// the loads of the table and of the row overlap.
void Widen(uint32_t* __restrict d, const uint32_t* __restrict row, const uint32_t* __restrict index,
           size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint32_t a = row[index[i]], b = row[index[i + 1]];
        const uint32_t c = row[index[i + 2]], e = row[index[i + 3]];
        d[i] = a;
        d[i + 1] = b;
        d[i + 2] = c;
        d[i + 3] = e;
    }
    for (; i < n; ++i) d[i] = row[index[i]];
}

// Four destination pixels at a time: when they sample at most four
// neighbouring source pixels (any enlargement, and mild shrinking), one
// 16-byte load of those source pixels and one byte shuffle give all four,
// already in the target's byte order. `base` is the first of the four source
// pixels, or -1 when the group needs pixels further apart.
struct GroupPlan {
    std::array<uint8_t, 16> shuffle;
    int32_t base;
};

// Where each byte of a target pixel comes from in a source pixel, whose red,
// green and blue are at the offsets given; the fourth byte is made opaque
// after the shuffle.
using ByteSources = std::array<uint8_t, 4>;
ByteSources SourcesOf(PixelOrder order, uint8_t red, uint8_t green, uint8_t blue) {
    const uint8_t unused = uint8_t(6 - red - green - blue);
    return order == PixelOrder::kWord32 ? ByteSources{blue, green, red, unused}
                                        : ByteSources{red, green, blue, unused};
}

// One opaque target pixel from a source pixel.
inline uint32_t Repack(uint32_t p, const ByteSources& from) {
    return 0xFF000000u | ((p >> (8 * from[0])) & 0xFFu) | ((p >> (8 * from[1])) & 0xFFu) << 8 |
           ((p >> (8 * from[2])) & 0xFFu) << 16;
}

void PlanGroups(const int32_t* col, size_t n, int32_t picWidth, const ByteSources& bytes,
                std::vector<GroupPlan>& plan) {
    plan.resize(n / 4);
    for (size_t g = 0; g < plan.size(); ++g) {
        const int32_t* c = col + 4 * g;
        GroupPlan& p = plan[g];
        if (c[3] - c[0] >= 4 || picWidth < 4) {
            p.base = -1;
            continue;
        }
        // Never read past the end of the row (or of the buffer, on the last row).
        p.base = std::min(c[0], picWidth - 4);
        for (int k = 0; k < 4; ++k) {
            for (int b = 0; b < 4; ++b)
                p.shuffle[4 * k + b] = uint8_t(4 * (c[k] - p.base) + bytes[b]);
        }
    }
}

std::atomic<bool> g_shuffleAllowed{true};

#ifdef OSTREL_HAVE_SSSE3_PATH
bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has && g_shuffleAllowed.load(std::memory_order_relaxed);
}

__attribute__((target("ssse3"))) void WidenSsse3(uint32_t* __restrict d,
                                                 const uint8_t* __restrict srcRow,
                                                 const GroupPlan* __restrict plan, size_t groups,
                                                 const int32_t* __restrict col, size_t n,
                                                 const ByteSources& from) {
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    const auto* s32 = reinterpret_cast<const uint32_t*>(srcRow);
    for (size_t g = 0; g < groups; ++g) {
        const GroupPlan& p = plan[g];
        uint32_t* out = d + 4 * g;
        if (p.base >= 0) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srcRow + 4 * p.base));
            v = _mm_shuffle_epi8(
                v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p.shuffle.data())));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(v, opaque));
        } else {
            for (int k = 0; k < 4; ++k) out[k] = Repack(s32[col[4 * g + k]], from);
        }
    }
    for (size_t i = 4 * groups; i < n; ++i) d[i] = Repack(s32[col[i]], from);
}
#endif

}  // namespace

void AllowShuffleStretch(bool allowed) {
    g_shuffleAllowed.store(allowed);
}

RasterTarget RasterOf(QImage& image) {
    RasterTarget t;
    switch (image.format()) {
        case QImage::Format_RGB32:
            t.order = PixelOrder::kWord32;
            break;
        case QImage::Format_ARGB32_Premultiplied:
            t.order = PixelOrder::kWord32;
            t.hasAlpha = true;
            break;
        case QImage::Format_RGBX8888:
            t.order = PixelOrder::kRGBA8888;
            break;
        case QImage::Format_RGBA8888_Premultiplied:
            t.order = PixelOrder::kRGBA8888;
            t.hasAlpha = true;
            break;
        default:
            return t;
    }
    t.bits = image.bits();  // detaches a shared image, so we never write into a copy's source
    t.stride = image.bytesPerLine();
    t.width = image.width();
    t.height = image.height();
    return t;
}

namespace {

QByteArray RoundedFactor(const QByteArray& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok) return text;
    return QByteArray::number(std::max(1, int(std::floor(v + 0.5))));
}

}  // namespace

void UseWholePixelsPerPoint() {
    // The variable wins over the call; both say the same.
    qputenv("QT_SCALE_FACTOR_ROUNDING_POLICY", "Round");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    // Factors forced through the environment are multiplied in as they
    // stand, so they are rounded by the same rule here.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        qputenv("QT_SCALE_FACTOR", RoundedFactor(qgetenv("QT_SCALE_FACTOR")));
    }
    if (qEnvironmentVariableIsSet("QT_SCREEN_SCALE_FACTORS")) {
        // "1.5;2" or "HDMI-1=1.5;DP-1=2"
        QList<QByteArray> entries = qgetenv("QT_SCREEN_SCALE_FACTORS").split(';');
        for (QByteArray& e : entries) {
            const qsizetype eq = e.indexOf('=');
            e = eq < 0 ? RoundedFactor(e) : e.left(eq + 1) + RoundedFactor(e.mid(eq + 1));
        }
        qputenv("QT_SCREEN_SCALE_FACTORS", entries.join(';'));
    }
}

int PixelsPerPoint(const QImage& image) {
    const qreal r = image.devicePixelRatio();
    return r > 1 ? int(r + 0.5) : 1;
}

QRect StretchPicture(const Picture& pic, const RasterTarget& t, int32_t px, int32_t py, int32_t pw,
                     int32_t ph, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int scale) {
    if (sw == Graphics::kFullExtent) sw = pic.Width();
    if (sh == Graphics::kFullExtent) sh = pic.Height();
    if (!t.bits || pw <= 0 || ph <= 0 || sw <= 0 || sh <= 0 || scale < 1) return {};
    const int64_t x = int64_t(px) * scale, y = int64_t(py) * scale;
    const int64_t w = int64_t(pw) * scale, h = int64_t(ph) * scale;
#ifdef OSTREL_HAVE_SSSE3_PATH
    const bool shuffle = HasSsse3();
#else
    const bool shuffle = false;
#endif
    // A capture that nobody has looked at yet is read where it lies, in its
    // own byte order, and never copied into the picture. The byte shuffle
    // takes any order; the plain loops only the picture's.
    Picture::OwedRows owed;
    const bool fromOwed = shuffle && !pic.HasAlphaChannel() &&
                          !const_cast<Picture&>(pic).Mask(false) && pic.RowsOwed(&owed);
    if (!fromOwed) owed = Picture::OwedRows{};
    const ByteSources bytes = SourcesOf(t.order, owed.red, owed.green, owed.blue);
    // The tables depend only on the geometry. A magnifier draws the same
    // geometry ten times a second, so they are kept per thread and rebuilt
    // only when it changes.
    struct Tables {
        std::array<int64_t, 14> key{};  // geometry, byte orders, stretch path
        bool valid = false, cols = false, rows = false;
        AxisMap colMap, rowMap;
        std::vector<uint32_t> rel;
        std::vector<GroupPlan> plan;
    };
    thread_local Tables tables;
    const std::array<int64_t, 14> key = {
        x,
        y,
        w,
        h,
        sx,
        sy,
        sw,
        sh,
        pic.Width(),
        pic.Height(),
        t.width,
        t.height,
        int64_t(t.order) * 2 + g_shuffleAllowed.load(),
        int64_t(bytes[0]) | int64_t(bytes[1]) << 8 | int64_t(bytes[2]) << 16};
    if (!tables.valid || tables.key != key) {
        tables.key = key;
        tables.valid = true;
        tables.cols = MapAxis(x, w, sx, sw, pic.Width(), t.width, tables.colMap);
        tables.rows = MapAxis(y, h, sy, sh, pic.Height(), t.height, tables.rowMap);
        if (tables.cols) {
            const std::vector<int32_t>& c = tables.colMap.src;
            // Relative to the leftmost source column used, for the portable
            // path's buffer of just that span of the source row.
            tables.rel.resize(c.size());
            for (size_t i = 0; i < c.size(); ++i) tables.rel[i] = uint32_t(c[i] - c.front());
#ifdef OSTREL_HAVE_SSSE3_PATH
            if (shuffle) PlanGroups(c.data(), c.size(), pic.Width(), bytes, tables.plan);
#endif
        }
    }
    if (!tables.cols || !tables.rows) return {};
    const AxisMap& cols = tables.colMap;
    const AxisMap& rows = tables.rowMap;
    const size_t n = cols.src.size();

    const uint8_t* src = fromOwed ? owed.data : pic.Pixels();
    const size_t srcStride = fromOwed ? owed.rowBytes : pic.RowBytes();
    Picture* maskPic = const_cast<Picture&>(pic).Mask(false).Get();
    const uint8_t* mask = maskPic ? maskPic->Pixels() : nullptr;

    // Drawing a picture onto itself (or its mask onto it) must read the
    // pixels as they were before the call.
    std::vector<uint8_t> srcCopy, maskCopy;
    const uint8_t* tEnd = t.bits + t.stride * t.height;
    auto overlaps = [&](const uint8_t* p, size_t len) { return p < tEnd && p + len > t.bits; };
    const size_t picBytes = srcStride * size_t(pic.Height());
    if (overlaps(src, picBytes)) {
        srcCopy.assign(src, src + picBytes);
        src = srcCopy.data();
    }
    if (mask && overlaps(mask, picBytes)) {
        maskCopy.assign(mask, mask + picBytes);
        mask = maskCopy.data();
    }

    const int32_t* col = cols.src.data();
    const std::vector<uint32_t>& rel = tables.rel;
    const std::vector<GroupPlan>& plan = tables.plan;
    const int32_t colLo = cols.src.front();
    const size_t span = size_t(cols.src.back() - colLo) + 1;
    thread_local std::vector<uint32_t> rowBuf;
    rowBuf.resize(span);
    uint8_t* const base = t.bits + ptrdiff_t(cols.first) * 4;
    const size_t rowCount = rows.src.size();
    if (!pic.HasAlphaChannel() && !mask) {
        // One destination row from source row s.
        auto widen = [&](uint32_t* d, const uint8_t* s) {
#ifdef OSTREL_HAVE_SSSE3_PATH
            if (shuffle) {
                WidenSsse3(d, s, plan.data(), plan.size(), col, n, bytes);
                return;
            }
#endif
            // Swizzle the source span once, then the widening pass is a bare
            // table-driven copy: two loads and a store per destination pixel.
            Swizzle(rowBuf.data(), reinterpret_cast<const uint32_t*>(s) + colLo, span, t.order);
            Widen(d, rowBuf.data(), rel.data(), n);
        };
        thread_local std::vector<uint32_t> wide;
        if (t.streaming) wide.resize(n);
        for (size_t j = 0; j < rowCount;) {
            // Enlargement repeats source rows: each run of them is widened once.
            const int32_t sr = rows.src[j];
            size_t k = 1;
            while (j + k < rowCount && rows.src[j + k] == sr) ++k;
            uint8_t* d = base + t.stride * (rows.first + ptrdiff_t(j));
            const uint8_t* s = src + srcStride * size_t(sr);
            if (t.streaming) {
                widen(wide.data(), s);
                for (size_t r = 0; r < k; ++r) {
                    StreamRow(d + t.stride * ptrdiff_t(r), wide.data(), n * 4);
                }
            } else {
                widen(reinterpret_cast<uint32_t*>(d), s);
                for (size_t r = 1; r < k; ++r) std::memcpy(d + t.stride * ptrdiff_t(r), d, n * 4);
            }
            j += k;
        }
        if (t.streaming) StreamsDone();
        return QRect(cols.first, rows.first, int(n), int(rowCount));
    }
    for (size_t j = 0; j < rowCount; ++j) {
        const int32_t sr = rows.src[j];
        uint8_t* d = base + t.stride * (rows.first + ptrdiff_t(j));
        const uint8_t* s = src + srcStride * size_t(sr);
        const uint8_t* m = mask ? mask + srcStride * size_t(sr) : nullptr;
        for (size_t i = 0; i < n; ++i) {
            const size_t off = size_t(col[i]) * 4;
            const Premul px =
                SourcePixel(LoadRGBA(s + off), pic.HasAlphaChannel(), m ? m + off : nullptr);
            BlendInto(d + i * 4, t.order, t.hasAlpha, px);
        }
    }
    return QRect(cols.first, rows.first, int(n), int(rows.src.size()));
}

Ref<Graphics> MakeImageGraphics(QImage* target, std::function<void(const QRect&)> changed,
                                std::function<void()> beforeWrite, bool streaming) {
    if (!target) return Ref<Graphics>();
    return Ref<Graphics>(new ImageGraphics(target, std::move(changed), std::move(beforeWrite),
                                           Ref<Picture>(), streaming));
}

Ref<Graphics> MakePictureGraphics(const Ref<Picture>& picture) {
    if (!picture) return Ref<Graphics>();
    return Ref<Graphics>(new ImageGraphics(nullptr, nullptr, nullptr, picture, false));
}

QImage PictureImage(const Picture& picture) {
    // Qt's QImage over foreign memory takes a non-const pointer to allow
    // drawing into the picture; readers get a const Picture and do not write.
    auto* bits = const_cast<uchar*>(picture.Pixels());
    return QImage(bits, picture.Width(), picture.Height(), qsizetype(picture.RowBytes()),
                  picture.HasAlphaChannel() ? QImage::Format_RGBA8888_Premultiplied
                                            : QImage::Format_RGBX8888);
}

QFont ResolveFont(const Graphics& g, const QPaintDevice* device) {
    QFont font = QGuiApplication::font();
    const std::string name = g.TextFont().Bytes();
    if (!name.empty() && name != "System") {
        font.setFamily(QString::fromStdString(name));
        if (name == "Courier" || name == "Courier New" || name == "Monaco") {
            font.setStyleHint(QFont::TypeWriter);
            if (!QFontDatabase::hasFamily(font.family())) {
                font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
            }
        } else if (name == "Arial" || name == "Helvetica" || name == "Geneva") {
            font.setStyleHint(QFont::SansSerif);
        }
    }
    if (g.TextSize() > 0) {
        // TextSize counts the device's own units (points on paper, pixels on a
        // canvas); Qt's point sizes scale by the device's resolution.
        const int dpi = device ? device->logicalDpiY() : 72;
        font.setPointSizeF(g.TextSize() * 72.0 / (dpi > 0 ? dpi : 72));
    }
    font.setBold(g.Bold());
    return font;
}

}  // namespace fw::qt
