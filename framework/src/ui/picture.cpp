#include "fw/ui/picture.h"

#include <atomic>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "fw/ui/graphics.h"
#include "ui/qt_graphics.h"

namespace fw {

namespace {

// Rows start on cache-line boundaries when the width allows it, and the whole
// buffer does always, so the stretcher's loads and the row memcpy stay aligned.
constexpr std::align_val_t kPixelAlignment{64};

std::atomic<int64_t> g_liveCount{0};

// Every new opaque picture is filled before anything is drawn into it, so the
// fill runs at store bandwidth: four aligned 16-byte stores per cache line.
// The buffer starts on a 64-byte boundary (kPixelAlignment).
void FillWords(uint32_t* p, size_t n, uint32_t word) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i v = _mm_set1_epi32(static_cast<int>(word));
    for (; i + 16 <= n; i += 16) {
        auto* q = reinterpret_cast<__m128i*>(p + i);
        _mm_store_si128(q, v);
        _mm_store_si128(q + 1, v);
        _mm_store_si128(q + 2, v);
        _mm_store_si128(q + 3, v);
    }
    for (; i + 4 <= n; i += 4) _mm_store_si128(reinterpret_cast<__m128i*>(p + i), v);
#else
    const uint64_t pair = uint64_t{word} << 32 | word;
    for (; i + 2 <= n; i += 2) std::memcpy(p + i, &pair, sizeof pair);
#endif
    for (; i < n; ++i) p[i] = word;
}

}  // namespace

Picture::Picture(int32_t w, int32_t h, bool alpha, uint8_t* pixels)
    : width_(w), height_(h), hasAlpha_(alpha), pixels_(pixels) {
    g_liveCount.fetch_add(1, std::memory_order_relaxed);
}

Picture::~Picture() {
    mask_.Reset();
    ::operator delete[](pixels_, kPixelAlignment);
    g_liveCount.fetch_sub(1, std::memory_order_relaxed);
}

Ref<Picture> Picture::New(int32_t width, int32_t height, int32_t depth, bool hasAlphaChannel) {
    if (width < 1 || width > 32767 || height < 1 || height > 32767 || depth != 32) {
        return Ref<Picture>();
    }
    const size_t bytes = size_t(width) * size_t(height) * 4;
    auto* pixels = static_cast<uint8_t*>(::operator new[](bytes, kPixelAlignment, std::nothrow));
    if (!pixels) return Ref<Picture>();
    if (hasAlphaChannel) {
        std::memset(pixels, 0, bytes);
    } else {
        // Opaque black; the unused byte is kept at 255 so that Qt, which reads
        // these bytes as RGBX, sees a valid opaque pixel.
        const uint8_t rgbx[4] = {0, 0, 0, 0xFF};
        uint32_t px;
        std::memcpy(&px, rgbx, 4);
        FillWords(reinterpret_cast<uint32_t*>(pixels), size_t(width) * size_t(height), px);
    }
    return Ref<Picture>(new Picture(width, height, hasAlphaChannel, pixels));
}

Ref<Picture> Picture::Mask(bool create) {
    // A new mask is black, fully opaque, so that creating one changes nothing
    // until something is drawn into it.
    if (!mask_ && create) mask_ = Picture::New(width_, height_, 32, false);
    return mask_;
}

Ref<Graphics> Picture::GetGraphics() {
    return qt::MakePictureGraphics(Ref<Picture>(this));
}

int64_t Picture::LiveCount() noexcept {
    return g_liveCount.load(std::memory_order_relaxed);
}

}  // namespace fw
