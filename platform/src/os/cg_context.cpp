// Bitmap contexts and the drawing of images into them.
//
// Drawing converts whole rows: an opaque 32-bit image goes straight into the
// context's layout (one word shuffle per pixel, which the compiler
// vectorises; the same layout is a copy); anything else (alpha, gray, 24-bit
// or mask images) goes through a row of premultiplied R,G,B,A and is
// composited over the context's pixels.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#include <tmmintrin.h>
#define OSTREL_HAVE_SSSE3_PATH 1
#endif

#include "os/cg_internal.h"

namespace platform::cg {

static_assert(std::endian::native == std::endian::little, "pixel words assume little-endian");

namespace {

// A reading drawn into a buffer is held unwritten only while the memory that
// it keeps alive is at most this large: that memory cannot take the next
// reads meanwhile, and a small part of a whole-display reading would keep
// all of it.
constexpr size_t kOwedBytes = size_t{1} << 20;

struct Offsets {
    int r, g, b, a;
};

constexpr Offsets OffsetsOf(Order o) {
    switch (o) {
        case Order::RGBA:
            return {0, 1, 2, 3};
        case Order::ARGB:
            return {1, 2, 3, 0};
        case Order::BGRA:
            return {2, 1, 0, 3};
        case Order::ABGR:
            return {3, 2, 1, 0};
    }
    return {0, 1, 2, 3};
}

// ---- Opaque 32-bit rows ----------------------------------------------------

using OpaqueRowFn = void (*)(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* dst);

template <Order S, Order D>
inline uint32_t Shuffle(uint32_t v) {
    constexpr Offsets s = OffsetsOf(S);
    constexpr Offsets d = OffsetsOf(D);
    if constexpr (S == D) {
        return v | (0xFFu << (8 * d.a));
    } else {
        return (((v >> (8 * s.r)) & 0xFF) << (8 * d.r)) | (((v >> (8 * s.g)) & 0xFF) << (8 * d.g)) |
               (((v >> (8 * s.b)) & 0xFF) << (8 * d.b)) | (0xFFu << (8 * d.a));
    }
}

#if defined(__SSE2__)
template <int From, int To>
inline __m128i MoveByte(__m128i v) {
    const __m128i low = _mm_and_si128(_mm_srli_epi32(v, 8 * From), _mm_set1_epi32(0xFF));
    return _mm_slli_epi32(low, 8 * To);
}

template <Order S, Order D>
inline __m128i ShuffleVec(__m128i v) {
    constexpr Offsets s = OffsetsOf(S);
    constexpr Offsets d = OffsetsOf(D);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFFu << (8 * d.a)));
    if constexpr (S == D) {
        return _mm_or_si128(v, alpha);
    } else if constexpr (s.r == 3 - d.r && s.g == 3 - d.g && s.b == 3 - d.b) {
        // All four bytes reversed: swap the bytes of each half, then the halves.
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
        return _mm_or_si128(v, alpha);
    } else {
        return _mm_or_si128(_mm_or_si128(MoveByte<s.r, d.r>(v), MoveByte<s.g, d.g>(v)),
                            _mm_or_si128(MoveByte<s.b, d.b>(v), alpha));
    }
}
#endif

template <Order S, Order D, bool Mapped>
void OpaqueRow(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* dst) {
    auto one = [&](size_t i) {
        uint32_t v;
        std::memcpy(&v, src + 4 * (Mapped ? static_cast<size_t>(xmap[i]) : i), 4);
        v = Shuffle<S, D>(v);
        std::memcpy(dst + 4 * i, &v, 4);
    };
    size_t i = 0;
#if defined(__SSE2__)
    // Four pixels at a time; the compiler does not find these shuffles by
    // itself.
    if constexpr (!Mapped) {
        for (; i + 4 <= n; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), ShuffleVec<S, D>(v));
        }
    }
#endif
    for (; i < n; ++i) one(i);
}

#if defined(OSTREL_HAVE_SSSE3_PATH)
// Where each destination byte of four pixels comes from; the alpha byte takes
// none (0x80 gives zero) and is then set.
template <Order S, Order D>
struct ByteMap {
    alignas(16) int8_t at[16];
    constexpr ByteMap() : at{} {
        constexpr Offsets s = OffsetsOf(S);
        constexpr Offsets d = OffsetsOf(D);
        for (int p = 0; p < 4; ++p) {
            at[4 * p + d.r] = static_cast<int8_t>(4 * p + s.r);
            at[4 * p + d.g] = static_cast<int8_t>(4 * p + s.g);
            at[4 * p + d.b] = static_cast<int8_t>(4 * p + s.b);
            at[4 * p + d.a] = static_cast<int8_t>(-128);
        }
    }
};

// One byte shuffle per four pixels, on processors that have it, which is
// nearly all.
template <Order S, Order D>
__attribute__((target("ssse3"))) void OpaqueRowSsse3(const uint8_t* src, const int32_t*, size_t n,
                                                     uint8_t* dst) {
    static constexpr ByteMap<S, D> kMap{};
    const __m128i map = _mm_load_si128(reinterpret_cast<const __m128i*>(kMap.at));
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFFu << (8 * OffsetsOf(D).a)));
    // Plain loops, not a lambda: a lambda would not share the target.
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i),
                         _mm_or_si128(_mm_shuffle_epi8(v, map), alpha));
    }
    for (; i < n; ++i) {
        uint32_t v;
        std::memcpy(&v, src + 4 * i, 4);
        v = Shuffle<S, D>(v);
        std::memcpy(dst + 4 * i, &v, 4);
    }
}

bool HaveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}

// The same shuffle on eight pixels at a time where the processor has AVX2:
// the byte moves stay within each pixel, so within each 16-byte lane.
template <Order S, Order D>
__attribute__((target("avx2"))) void OpaqueRowAvx2(const uint8_t* src, const int32_t*, size_t n,
                                                   uint8_t* dst) {
    static constexpr ByteMap<S, D> kMap{};
    const __m256i map =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kMap.at)));
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFFu << (8 * OffsetsOf(D).a)));
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i),
                            _mm256_or_si256(_mm256_shuffle_epi8(v, map), alpha));
    }
    // The rest here too: legacy SSE code right after 256-bit code pays for
    // the switch on some processors.
    for (; i < n; ++i) {
        uint32_t v;
        std::memcpy(&v, src + 4 * i, 4);
        v = Shuffle<S, D>(v);
        std::memcpy(dst + 4 * i, &v, 4);
    }
}

bool HaveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

// A row converted a page at a time into a buffer of its own, and copied
// only where it differs from what the destination already holds. The pieces
// end on the destination's page boundaries, so that a change copies no page
// that it does not touch.
void OpaqueRowWhereChanged(OpaqueRowFn row, const uint8_t* src, size_t n, uint8_t* dst) {
    constexpr size_t kPage = 4096;
    alignas(64) uint8_t converted[kPage];
    for (size_t i = 0; i < n;) {
        const auto at = reinterpret_cast<uintptr_t>(dst + 4 * i);
        const size_t m = std::min(n - i, std::max<size_t>((kPage - at % kPage) / 4, 1));
        row(src + 4 * i, nullptr, m, converted);
        if (std::memcmp(converted, dst + 4 * i, 4 * m) != 0)
            std::memcpy(dst + 4 * i, converted, 4 * m);
        i += m;
    }
}

template <Order S, Order D, bool Mapped>
OpaqueRowFn OpaqueRowPick() {
#if defined(OSTREL_HAVE_SSSE3_PATH)
    if constexpr (!Mapped && S != D) {
        if (HaveAvx2()) return &OpaqueRowAvx2<S, D>;
        if (HaveSsse3()) return &OpaqueRowSsse3<S, D>;
    }
#endif
    return &OpaqueRow<S, D, Mapped>;
}

template <Order S, bool Mapped>
OpaqueRowFn OpaqueRowTo(Order d) {
    switch (d) {
        case Order::RGBA:
            return OpaqueRowPick<S, Order::RGBA, Mapped>();
        case Order::ARGB:
            return OpaqueRowPick<S, Order::ARGB, Mapped>();
        case Order::BGRA:
            return OpaqueRowPick<S, Order::BGRA, Mapped>();
        case Order::ABGR:
            return OpaqueRowPick<S, Order::ABGR, Mapped>();
    }
    return nullptr;
}

template <bool Mapped>
OpaqueRowFn OpaqueRowFor(Order s, Order d) {
    switch (s) {
        case Order::RGBA:
            return OpaqueRowTo<Order::RGBA, Mapped>(d);
        case Order::ARGB:
            return OpaqueRowTo<Order::ARGB, Mapped>(d);
        case Order::BGRA:
            return OpaqueRowTo<Order::BGRA, Mapped>(d);
        case Order::ABGR:
            return OpaqueRowTo<Order::ABGR, Mapped>(d);
    }
    return nullptr;
}

// ---- Premultiplied R,G,B,A rows ------------------------------------------

using UnpackFn = void (*)(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* out);
using PackFn = void (*)(const uint8_t* in, size_t n, uint8_t* dst);

inline uint8_t Mul(unsigned c, unsigned a) {
    return static_cast<uint8_t>((c * a + 127) / 255);
}

inline size_t At(const int32_t* xmap, size_t i) {
    return xmap != nullptr ? static_cast<size_t>(xmap[i]) : i;
}

template <Order O, Alpha A>
void UnpackQuad(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* out) {
    constexpr Offsets o = OffsetsOf(O);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = src + 4 * At(xmap, i);
        uint8_t* q = out + 4 * i;
        const unsigned a = A == Alpha::Skip ? 255u : p[o.a];
        if constexpr (A == Alpha::Straight) {
            q[0] = Mul(p[o.r], a);
            q[1] = Mul(p[o.g], a);
            q[2] = Mul(p[o.b], a);
        } else {
            q[0] = p[o.r];
            q[1] = p[o.g];
            q[2] = p[o.b];
        }
        q[3] = static_cast<uint8_t>(a);
    }
}

void UnpackRgb24(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = src + 3 * At(xmap, i);
        out[4 * i] = p[0];
        out[4 * i + 1] = p[1];
        out[4 * i + 2] = p[2];
        out[4 * i + 3] = 255;
    }
}

void UnpackGray8(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        const uint8_t v = src[At(xmap, i)];
        out[4 * i] = out[4 * i + 1] = out[4 * i + 2] = v;
        out[4 * i + 3] = 255;
    }
}

// A mask paints the fill colour, black, through its alpha.
void UnpackAlpha8(const uint8_t* src, const int32_t* xmap, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        out[4 * i] = out[4 * i + 1] = out[4 * i + 2] = 0;
        out[4 * i + 3] = src[At(xmap, i)];
    }
}

template <Order O, Alpha A>
void PackQuad(const uint8_t* in, size_t n, uint8_t* dst) {
    constexpr Offsets o = OffsetsOf(O);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = in + 4 * i;
        uint8_t* q = dst + 4 * i;
        const unsigned a = p[3];
        if constexpr (A == Alpha::Straight) {
            if (a == 0) {
                q[o.r] = q[o.g] = q[o.b] = 0;
            } else {
                q[o.r] = static_cast<uint8_t>(std::min(255u, (p[0] * 255u + a / 2) / a));
                q[o.g] = static_cast<uint8_t>(std::min(255u, (p[1] * 255u + a / 2) / a));
                q[o.b] = static_cast<uint8_t>(std::min(255u, (p[2] * 255u + a / 2) / a));
            }
            q[o.a] = static_cast<uint8_t>(a);
        } else {
            q[o.r] = p[0];
            q[o.g] = p[1];
            q[o.b] = p[2];
            q[o.a] = A == Alpha::Skip ? 255 : static_cast<uint8_t>(a);
        }
    }
}

template <Order O>
UnpackFn UnpackQuadFor(Alpha a) {
    switch (a) {
        case Alpha::Skip:
            return &UnpackQuad<O, Alpha::Skip>;
        case Alpha::Premultiplied:
            return &UnpackQuad<O, Alpha::Premultiplied>;
        case Alpha::Straight:
            return &UnpackQuad<O, Alpha::Straight>;
    }
    return nullptr;
}

UnpackFn UnpackFor(PixelLayout l) {
    switch (l.depth) {
        case Depth::Rgb24:
            return &UnpackRgb24;
        case Depth::Gray8:
            return &UnpackGray8;
        case Depth::Alpha8:
            return &UnpackAlpha8;
        case Depth::Quad:
            break;
    }
    switch (l.order) {
        case Order::RGBA:
            return UnpackQuadFor<Order::RGBA>(l.alpha);
        case Order::ARGB:
            return UnpackQuadFor<Order::ARGB>(l.alpha);
        case Order::BGRA:
            return UnpackQuadFor<Order::BGRA>(l.alpha);
        case Order::ABGR:
            return UnpackQuadFor<Order::ABGR>(l.alpha);
    }
    return nullptr;
}

template <Order O>
PackFn PackQuadFor(Alpha a) {
    switch (a) {
        case Alpha::Skip:
            return &PackQuad<O, Alpha::Skip>;
        case Alpha::Premultiplied:
            return &PackQuad<O, Alpha::Premultiplied>;
        case Alpha::Straight:
            return &PackQuad<O, Alpha::Straight>;
    }
    return nullptr;
}

PackFn PackFor(PixelLayout l) {
    switch (l.order) {
        case Order::RGBA:
            return PackQuadFor<Order::RGBA>(l.alpha);
        case Order::ARGB:
            return PackQuadFor<Order::ARGB>(l.alpha);
        case Order::BGRA:
            return PackQuadFor<Order::BGRA>(l.alpha);
        case Order::ABGR:
            return PackQuadFor<Order::ABGR>(l.alpha);
    }
    return nullptr;
}

// Source over: what the source leaves uncovered shows the destination.
void Over(const uint8_t* src, uint8_t* dst, size_t n) {
    for (size_t i = 0; i < 4 * n; i += 4) {
        const unsigned keep = 255u - src[i + 3];
        for (size_t c = 0; c < 4; ++c)
            dst[i + c] = static_cast<uint8_t>(src[i + c] + Mul(dst[i + c], keep));
    }
}

// ---- Geometry ------------------------------------------------------------

// Rectangle edges snap to the nearest pixel boundary; far-off values are
// clamped so that the arithmetic below cannot overflow.
int64_t Edge(CGFloat v) {
    constexpr double kLimit = double(int64_t{1} << 40);
    const double d = std::floor(static_cast<double>(v) + 0.5);
    if (std::isnan(d)) return 0;
    return static_cast<int64_t>(std::clamp(d, -kLimit, kLimit));
}

// A rectangle in the context's rows: x from left to right, rows from top
// (memory row) to bottom, both ends exclusive; clipped to the context.
struct Span {
    int64_t left, right, top, bottom;  // unclipped
    int64_t x0, x1, y0, y1;            // clipped
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

Span SpanOf(const OpaqueCGContext* ctx, CGRect r) {
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    const auto h = static_cast<int64_t>(ctx->height);
    Span s{};
    s.left = Edge(r.origin.x);
    s.right = Edge(r.origin.x + r.size.width);
    s.top = h - Edge(r.origin.y + r.size.height);
    s.bottom = h - Edge(r.origin.y);
    s.x0 = std::max<int64_t>(s.left, 0);
    s.x1 = std::min<int64_t>(s.right, static_cast<int64_t>(ctx->width));
    s.y0 = std::max<int64_t>(s.top, 0);
    s.y1 = std::min<int64_t>(s.bottom, h);
    return s;
}

bool Whole(const OpaqueCGContext* ctx, const Span& s) {
    return s.x0 == 0 && s.y0 == 0 && s.x1 == static_cast<int64_t>(ctx->width) &&
           s.y1 == static_cast<int64_t>(ctx->height);
}

// Nearest source index for destination index `i` of `dst` stretched from
// `src` entries: the source entry under the destination pixel's centre.
inline int64_t Nearest(int64_t i, int64_t dst, int64_t src) {
    return ((2 * i + 1) * src) / (2 * dst);
}

}  // namespace

void OpaqueCGContext::PayOwed() {
    OpaqueCGImage* image = owed;
    owed = nullptr;
    const OpaqueRowFn row = OpaqueRowFor<false>(image->layout.order, layout.order);
    for (size_t y = 0; y < height; ++y)
        row(image->data + y * image->bytesPerRow, nullptr, width, data + y * bytesPerRow);
    unset = false;
    image->Release();
}

uint8_t* OpaqueCGContext::Writable(bool whole) {
    content = KnownContent{};
    if (owed != nullptr) PayOwed();
    if (unset) {
        // Row padding is never covered by a whole-context write.
        if (!whole || bytesPerRow != 4 * width) {
            if (unsetWord == 0) {
                std::memset(data, 0, bytesPerRow * height);
            } else {
                // One row word by word, doubling; the others are copies of it.
                const size_t rowBytes = 4 * width;
                std::memcpy(data, &unsetWord, 4);
                for (size_t done = 4; done < rowBytes; done *= 2)
                    std::memcpy(data + done, data, std::min(done, rowBytes - done));
                for (size_t y = 1; y < height; ++y)
                    std::memcpy(data + y * bytesPerRow, data, rowBytes);
            }
        }
        unset = false;
    }
    if (own && own.use_count() > 1) {
        const size_t bytes = bytesPerRow * height;
        Buffer copy = AllocatePixels(bytes, false);
        if (!copy) return nullptr;
        std::memcpy(copy.get(), data, bytes);
        own = std::move(copy);
        data = own.get();
    }
    return data;
}

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space,
                                   CGBitmapInfo bitmapInfo) {
    constexpr size_t kMaxBytes = size_t{1} << 40;
    if (width == 0 || height == 0 || bitsPerComponent != 8) return nullptr;
    if (CGColorSpaceGetModel(space) != kCGColorSpaceModelRGB) return nullptr;
    PixelLayout layout;
    if ((bitmapInfo & kCGBitmapByteOrderMask) == kCGBitmapByteOrder32Little ||
        !QuadLayout(bitmapInfo, &layout)) {
        return nullptr;
    }
    if (width > kMaxBytes / 4) return nullptr;
    if (bytesPerRow == 0) bytesPerRow = 4 * width;
    if (bytesPerRow < 4 * width || bytesPerRow > kMaxBytes / height) return nullptr;
    if (os::CreationShouldFail(os::ObjectKind::BitmapContext)) return nullptr;
    Buffer own;
    if (data == nullptr) {
        own = AllocatePixels(bytesPerRow * height, false);
        if (!own) return nullptr;
        data = own.get();
    }
    auto* ctx = new OpaqueCGContext();
    ctx->width = width;
    ctx->height = height;
    ctx->bytesPerRow = bytesPerRow;
    ctx->layout = layout;
    ctx->alphaInfo = static_cast<CGImageAlphaInfo>(bitmapInfo & kCGBitmapAlphaInfoMask);
    ctx->space = CGColorSpaceRetain(space);
    ctx->data = static_cast<uint8_t*>(data);
    ctx->unset = static_cast<bool>(own);
    ctx->own = std::move(own);
    return ctx;
}

CGContextRef NewBitmapContextOwingFill(void* data, size_t width, size_t height, size_t bytesPerRow,
                                       CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                                       uint32_t fill) {
    if (data == nullptr) return nullptr;
    CGContextRef ctx =
        CGBitmapContextCreate(data, width, height, 8, bytesPerRow, space, bitmapInfo);
    if (ctx == nullptr) return nullptr;
    ctx->unset = true;
    ctx->unsetWord = fill;
    return ctx;
}

void WriteOnlyChanges(CGContextRef context, const KnownContent& holds) {
    if (context == nullptr) return;
    context->onlyChanges = true;
    context->content = holds;
}

KnownContent ContentOf(CGContextRef context, bool* handedOut) {
    *handedOut = context != nullptr && context->exposed;
    if (context == nullptr || context->exposed) return KnownContent{};
    return context->content;
}

bool RowsOwed(CGContextRef context, OwedRows* out) {
    if (context == nullptr || context->owed == nullptr) return false;
    const OpaqueCGImage& image = *context->owed;
    const Offsets o = OffsetsOf(image.layout.order);
    out->data = image.data;
    out->bytesPerRow = image.bytesPerRow;
    out->red = static_cast<uint8_t>(o.r);
    out->green = static_cast<uint8_t>(o.g);
    out->blue = static_cast<uint8_t>(o.b);
    return true;
}

void ForgetOwed(CGContextRef context) {
    if (context == nullptr || context->owed == nullptr) return;
    context->owed->Release();
    context->owed = nullptr;
    context->unset = false;
    context->content = KnownContent{};
}

CGContextRef CGContextRetain(CGContextRef context) {
    if (context != nullptr) context->Retain();
    return context;
}

void CGContextRelease(CGContextRef context) {
    if (context != nullptr) context->Release();
}

void* CGBitmapContextGetData(CGContextRef context) {
    if (context == nullptr) return nullptr;
    // From now on the caller may write the pixels behind our back, so no
    // image may share them any more.
    uint8_t* data = context->Writable();
    context->exposed = true;
    return data;
}

size_t CGBitmapContextGetBitsPerPixel(CGContextRef context) {
    return context == nullptr ? 0 : 32;
}

size_t CGBitmapContextGetWidth(CGContextRef context) {
    return context == nullptr ? 0 : context->width;
}

size_t CGBitmapContextGetHeight(CGContextRef context) {
    return context == nullptr ? 0 : context->height;
}

size_t CGBitmapContextGetBytesPerRow(CGContextRef context) {
    return context == nullptr ? 0 : context->bytesPerRow;
}

CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef context) {
    return context == nullptr ? kCGImageAlphaNone : context->alphaInfo;
}

void CGContextClearRect(CGContextRef context, CGRect rect) {
    if (context == nullptr || CGRectIsNull(rect)) return;
    const Span s = SpanOf(context, rect);
    if (s.Empty()) return;
    uint8_t* base = context->Writable(Whole(context, s));
    if (base == nullptr) return;
    const auto n = static_cast<size_t>(s.x1 - s.x0) * 4;
    for (int64_t y = s.y0; y < s.y1; ++y) {
        std::memset(
            base + static_cast<size_t>(y) * context->bytesPerRow + static_cast<size_t>(s.x0) * 4, 0,
            n);
    }
}

void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image) {
    if (context == nullptr || image == nullptr || CGRectIsNull(rect)) return;
    const Span s = SpanOf(context, rect);
    const int64_t dstW = s.right - s.left;
    const int64_t dstH = s.bottom - s.top;
    if (s.Empty() || dstW <= 0 || dstH <= 0) return;

    const auto imgW = static_cast<int64_t>(image->width);
    const auto imgH = static_cast<int64_t>(image->height);
    const auto n = static_cast<size_t>(s.x1 - s.x0);
    const bool unscaledX = dstW == imgW;
    const bool unscaledY = dstH == imgH;
    const PixelLayout& from = image->layout;
    const bool direct = from.depth == Depth::Quad && from.alpha == Alpha::Skip;
    // A screen reading of the context's own size drawn over all of it: the
    // context then holds that reading, and a drawing of what it is known to
    // hold already would write nothing new.
    KnownContent drawn;
    if (image->source && direct && imgW == static_cast<int64_t>(context->width) &&
        imgH == static_cast<int64_t>(context->height) && unscaledX && unscaledY && s.left == 0 &&
        s.top == 0 && context->bytesPerRow == 4 * context->width) {
        drawn = image->source;
        drawn.to = static_cast<uint8_t>(context->layout.order);
    }
    // Over a buffer that nothing has written yet the drawing can wait until
    // someone looks: a capture for a hidden window is never looked at, and
    // one drawn onto a window can be read from the reading as it stands.
    if (drawn && context->unset && context->own == nullptr && !context->onlyChanges &&
        image->heldBytes != 0 && image->heldBytes <= kOwedBytes) {
        if (context->owed != nullptr) context->owed->Release();
        image->Retain();
        context->owed = image;
        context->content = drawn;
        return;
    }
    if (drawn && drawn == context->content) {
        // Every pixel counts as drawn, so an owed fill is settled unwritten.
        if (context->Writable(true) != nullptr) context->content = drawn;
        return;
    }
    // An image without alpha replaces every pixel that it covers.
    uint8_t* base = context->Writable(!from.HasAlpha() && Whole(context, s));
    if (base == nullptr) return;

    std::vector<int32_t> xmap;
    if (!unscaledX || !direct) {
        xmap.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const int64_t dx = s.x0 + static_cast<int64_t>(i) - s.left;
            xmap[i] = static_cast<int32_t>(unscaledX ? dx : Nearest(dx, dstW, imgW));
        }
    }
    auto srcRow = [&](int64_t y) {
        const int64_t dy = y - s.top;
        const int64_t sy = unscaledY ? dy : Nearest(dy, dstH, imgH);
        return image->data + static_cast<size_t>(sy) * image->bytesPerRow;
    };
    auto dstRow = [&](int64_t y) {
        return base + static_cast<size_t>(y) * context->bytesPerRow + static_cast<size_t>(s.x0) * 4;
    };

    if (direct) {
        if (xmap.empty()) {
            const OpaqueRowFn row = OpaqueRowFor<false>(from.order, context->layout.order);
            const size_t skip = static_cast<size_t>(s.x0 - s.left) * 4;
            for (int64_t y = s.y0; y < s.y1; ++y) {
                if (context->onlyChanges) {
                    OpaqueRowWhereChanged(row, srcRow(y) + skip, n, dstRow(y));
                } else {
                    row(srcRow(y) + skip, nullptr, n, dstRow(y));
                }
            }
            context->content = drawn;
        } else {
            const OpaqueRowFn row = OpaqueRowFor<true>(from.order, context->layout.order);
            for (int64_t y = s.y0; y < s.y1; ++y) row(srcRow(y), xmap.data(), n, dstRow(y));
        }
        return;
    }

    const UnpackFn unpack = UnpackFor(from);
    const UnpackFn unpackDst = UnpackFor(context->layout);
    const PackFn pack = PackFor(context->layout);
    const bool blend = from.HasAlpha();
    std::vector<uint8_t> src(4 * n);
    std::vector<uint8_t> dst(blend ? 4 * n : 0);
    for (int64_t y = s.y0; y < s.y1; ++y) {
        unpack(srcRow(y), xmap.data(), n, src.data());
        if (blend) {
            unpackDst(dstRow(y), nullptr, n, dst.data());
            Over(src.data(), dst.data(), n);
            pack(dst.data(), n, dstRow(y));
        } else {
            pack(src.data(), n, dstRow(y));
        }
    }
}

CGImageRef CGBitmapContextCreateImage(CGContextRef context) {
    if (context == nullptr) return nullptr;
    if (context->unset && context->Writable() == nullptr) return nullptr;
    if (context->own && !context->exposed) {
        // Nobody but this context writes its buffer, and it copies before
        // writing while an image shares it: the image can take the pixels as
        // they are.
        if (os::CreationShouldFail(os::ObjectKind::Image)) return nullptr;
        auto* image = new OpaqueCGImage();
        image->width = context->width;
        image->height = context->height;
        image->bytesPerRow = context->bytesPerRow;
        image->layout = context->layout;
        image->alphaInfo = context->alphaInfo;
        image->space = CGColorSpaceRetain(context->space);
        image->pixels = context->own;
        image->data = context->data;
        return image;
    }
    OpaqueCGImage* image = NewImage(context->width, context->height, 4 * context->width,
                                    context->layout, context->alphaInfo, context->space);
    if (image == nullptr) return nullptr;
    for (size_t y = 0; y < context->height; ++y) {
        std::memcpy(image->pixels.get() + y * image->bytesPerRow,
                    context->data + y * context->bytesPerRow, image->bytesPerRow);
    }
    return image;
}

}  // namespace platform::cg
