// Write access to the pixels of a host picture. A builder creates a 32-bit
// picture with REALNewPicture, attaches a PictureWriter, writes every pixel
// through the cursor and lets the writer render, which hands the picture back
// with exactly one reference for the caller.
//
// Pixel writes are inline: one 32-bit store and a cursor step, no host call.
// The conversion loops pick the pixel layout once per picture (WithLayout) and
// then write whole rows through WriteRow, which the compiler can vectorise.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/os/cg.h"
#include "plugin_sdk.h"

namespace zuvshot {

extern bool IsDesktop;
extern bool IsConsole;

// Memory order of a pixel's four bytes, by picture format code.
enum class PixelLayout {
    RGBX,  // codes 1, 3, 5: red, green, blue, fourth byte
    XRGB,  // codes 2, 4, 6: fourth byte, red, green, blue
    BGRX,  // code 8 (host row buffer): blue, green, red, fourth byte
};

// A 32-bit word whose bytes lie in memory in the order b0, b1, b2, b3.
constexpr uint32_t MemoryWord(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) {
    if constexpr (std::endian::native == std::endian::little) {
        return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
    } else {
        return b3 | (b2 << 8) | (b1 << 16) | (b0 << 24);
    }
}

template <PixelLayout L>
constexpr uint32_t PackPixel(uint8_t r, uint8_t g, uint8_t b) {
    if constexpr (L == PixelLayout::RGBX) return MemoryWord(r, g, b, 255);
    if constexpr (L == PixelLayout::XRGB) return MemoryWord(255, r, g, b);
    if constexpr (L == PixelLayout::BGRX) return MemoryWord(b, g, r, 0);
}

// The host row buffer keeps only seven bits of alpha.
template <PixelLayout L>
constexpr uint32_t PackPixelAlpha(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    if constexpr (L == PixelLayout::RGBX) return MemoryWord(r, g, b, a);
    if constexpr (L == PixelLayout::XRGB) return MemoryWord(a, r, g, b);
    if constexpr (L == PixelLayout::BGRX) return MemoryWord(b, g, r, a >> 1);
}

// Sources whose pixels are read as whole 32-bit words.
enum class SourceLayout {
    XRGB,  // bytes: ignored, red, green, blue (CoreGraphics "skip first")
    BGRX,  // bytes: blue, green, red, ignored (front buffers, raw strings)
};

constexpr uint32_t MemoryByte(uint32_t word, int i) {
    if constexpr (std::endian::native == std::endian::little) {
        return (word >> (8 * i)) & 0xFF;
    } else {
        return (word >> (24 - 8 * i)) & 0xFF;
    }
}

// One source word to one opaque picture word. On little-endian machines each
// case is a shift, a byte swap and a mask, which vectorise; elsewhere the
// bytes go through PackPixel.
template <SourceLayout S, PixelLayout L>
constexpr uint32_t ConvertWord(uint32_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        if constexpr (S == SourceLayout::XRGB) {
            if constexpr (L == PixelLayout::XRGB) return w | 0xFFu;
            if constexpr (L == PixelLayout::RGBX) return (w >> 8) | 0xFF000000u;
            if constexpr (L == PixelLayout::BGRX) return __builtin_bswap32(w) & 0x00FFFFFFu;
        } else {
            if constexpr (L == PixelLayout::XRGB) return __builtin_bswap32(w) | 0xFFu;
            if constexpr (L == PixelLayout::RGBX) return (__builtin_bswap32(w) >> 8) | 0xFF000000u;
            if constexpr (L == PixelLayout::BGRX) return w & 0x00FFFFFFu;
        }
    } else {
        if constexpr (S == SourceLayout::XRGB) {
            return PackPixel<L>(static_cast<uint8_t>(MemoryByte(w, 1)),
                                static_cast<uint8_t>(MemoryByte(w, 2)),
                                static_cast<uint8_t>(MemoryByte(w, 3)));
        } else {
            return PackPixel<L>(static_cast<uint8_t>(MemoryByte(w, 2)),
                                static_cast<uint8_t>(MemoryByte(w, 1)),
                                static_cast<uint8_t>(MemoryByte(w, 0)));
        }
    }
}

inline uint32_t LoadWord(const unsigned char* p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

constexpr PixelLayout LayoutOfFormat(int32_t format) {
    switch (format) {
        case 2:
        case 4:
        case 6:
            return PixelLayout::XRGB;
        case 8:
            return PixelLayout::BGRX;
        default:
            return PixelLayout::RGBX;
    }
}

// Calls fn(std::integral_constant<PixelLayout, L>{}) for the layout of `format`.
template <typename Fn>
inline decltype(auto) WithLayout(int32_t format, Fn&& fn) {
    switch (LayoutOfFormat(format)) {
        case PixelLayout::XRGB:
            return fn(std::integral_constant<PixelLayout, PixelLayout::XRGB>{});
        case PixelLayout::BGRX:
            return fn(std::integral_constant<PixelLayout, PixelLayout::BGRX>{});
        case PixelLayout::RGBX:
            break;
    }
    return fn(std::integral_constant<PixelLayout, PixelLayout::RGBX>{});
}

// A drawing that a builder makes into a desktop host's bitmap context while
// the editor attaches, before the editor asks the context for its pixels: a
// host whose new pictures are still to be filled then skips the fill when the
// drawing replaces every pixel. `drawn` tells whether it ran.
struct ContextDrawing {
    void (*draw)(platform::cg::CGContextRef, void*) = nullptr;
    void* state = nullptr;
    bool drawn = false;

    template <typename Fn>
    static ContextDrawing Of(Fn& fn) {
        return {[](platform::cg::CGContextRef c, void* s) { (*static_cast<Fn*>(s))(c); }, &fn};
    }
};

class PictureEditor {
  public:
    PictureEditor() = default;
    PictureEditor(const PictureEditor&) = delete;
    PictureEditor& operator=(const PictureEditor&) = delete;
    virtual ~PictureEditor() { Release(); }

    // Attaches the editor to `picture`. False leaves it holding nothing.
    // With `drawing`, a desktop attach makes it first; the picture is then
    // complete, and the editor has no row to write.
    bool GetPictureEditor(PluginPicture picture, ContextDrawing* drawing = nullptr);

    void SetPixel(uint8_t red, uint8_t green, uint8_t blue) {
        Store(WithLayout(format,
                         [&](auto l) { return PackPixel<decltype(l)::value>(red, green, blue); }));
    }
    void SetPixelAlpha(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
        Store(WithLayout(format, [&](auto l) {
            return PackPixelAlpha<decltype(l)::value>(alpha, red, green, blue);
        }));
    }
    // Past the last row the cursor wraps to row 0 while y keeps counting.
    void NextRow() {
        ++y;
        cursor = y < height ? RowStart(y) : rowBase;
    }
    void MoveTo(int32_t column, int32_t row) {
        y = row;
        cursor = (row >= 0 && row < height ? RowStart(row) : rowBase) +
                 static_cast<ptrdiff_t>(column) * 4;
    }

    // Writes `count` packed pixels from the cursor on: pixel(i) gives pixel i.
    template <typename PixelAt>
    void WriteRow(int32_t count, PixelAt pixel) {
        unsigned char* out = cursor;
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t word = pixel(i);
            std::memcpy(out + 4 * static_cast<ptrdiff_t>(i), &word, 4);
        }
        cursor = out + 4 * static_cast<ptrdiff_t>(count);
    }

    // The attached picture with one new reference for the caller, or nil;
    // the editor then lets go of everything it holds.
    PluginPicture RenderPictureWriter();

    // On a desktop host, the bitmap context over the attached picture's own
    // pixels: drawing into it writes the picture. Null when nothing is
    // attached or the host keeps its pictures in row buffers.
    platform::cg::CGContextRef BitmapContext() const {
        return picture != nullptr && format != 8
                   ? static_cast<platform::cg::CGContextRef>(description.handle)
                   : nullptr;
    }

    int32_t Width() const { return width; }
    int32_t Height() const { return height; }
    int32_t Format() const { return format; }
    bool HasAlpha() const { return hasAlpha; }
    PluginPicture Picture() const { return picture; }

  protected:
    void Release();

  private:
    void Store(uint32_t word) {
        std::memcpy(cursor, &word, 4);
        cursor += 4;
    }
    unsigned char* RowStart(int32_t row) const {
        return format == 8 ? rowPointers[row] : rowBase + static_cast<ptrdiff_t>(row) * rowBytes;
    }
    bool AttachDesktop(PluginPicture picture, ContextDrawing* drawing);
    bool AttachConsole(PluginPicture picture);

    int32_t rowBytes = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;
    int32_t format = 0;
    unsigned char* cursor = nullptr;
    PluginPictureDescription description{};
    unsigned char* rowBase = nullptr;
    int32_t y = 0;
    PluginPicture picture = nullptr;
    unsigned char** rowPointers = nullptr;
    bool hasAlpha = false;
    bool clearCacheOnRelease = false;
    bool descriptionLocked = false;
};

class PictureWriter final : public PictureEditor {
  public:
    PictureWriter() = default;
    ~PictureWriter() override { Release(); }
};

// The builders' common start: a new width x height picture from the host,
// attached to `writer`, with the creation reference already dropped. False
// for a size outside 1..32767, no picture, or a refused attach.
bool AttachNewPicture(PictureWriter& writer, int64_t width, int64_t height,
                      ContextDrawing* drawing = nullptr);

}  // namespace zuvshot
