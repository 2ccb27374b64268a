#include "conversion.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "captures.h"
#include "host.h"
#include "picture_editor.h"
#include "quickdraw.h"

namespace zuvshot {

namespace cg = platform::cg;
namespace qd = platform::qd;

namespace {

constexpr const char* kPictureConstructor = "Constructor(width as integer, height as integer)";
constexpr const char* kDrawPicture =
    "DrawPicture(Image as Picture, x as Integer, y as Integer, w as Integer, h as Integer, sx "
    "as Integer = 0, sy as Integer = 0, sw as Integer = -10000, sh as Integer = -10000)";

// 4 x w x h as a byte count, or 0 when it does not lie in 1..2^31-1.
size_t ImageBufferSize(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return 0;
    const uint64_t size = 4 * width * height;  // at most 2^2 * 2^31 * 2^31: fits
    return size <= INT32_MAX ? static_cast<size_t>(size) : 0;
}

// A bitmap of the image's size with the image drawn into it, in the layout
// that `alphaInfo` gives the context. It starts zero-filled wherever the
// drawing can leave something of it: an image with an alpha channel (or an
// alpha-only mask) is composited over it. An opaque image drawn over the whole
// bitmap replaces every pixel, so its bitmap is not cleared first.
struct DrawnImage {
    unsigned char* pixels = nullptr;
    cg::CGContextRef context = nullptr;
    size_t width = 0;
    size_t height = 0;

    ~DrawnImage() {
        if (context != nullptr) cg::CGContextRelease(context);
        std::free(pixels);
    }

    bool Draw(cg::CGImageRef image, cg::CGColorSpaceRef space, uint32_t alphaInfo) {
        width = cg::CGImageGetWidth(image);
        height = cg::CGImageGetHeight(image);
        const size_t size = ImageBufferSize(width, height);
        if (size == 0) return false;
        pixels = static_cast<unsigned char*>(IsOpaqueImage(image) ? std::malloc(size)
                                                                  : std::calloc(size, 1));
        if (pixels == nullptr) return false;
        context = cg::CGBitmapContextCreate(pixels, width, height, 8, 4 * width, space, alphaInfo);
        if (context == nullptr) return false;
        cg::CGContextDrawImage(
            context,
            cg::CGRectMake(0, 0, static_cast<cg::CGFloat>(width), static_cast<cg::CGFloat>(height)),
            image);
        return true;
    }

    const unsigned char* Row(int32_t row) const {
        return pixels + static_cast<size_t>(row) * 4 * width;
    }
};

template <PixelLayout L>
void CopyXRGBRowsAs(PictureWriter& writer, const unsigned char* rows, size_t stride, size_t width,
                    size_t height) {
    const int32_t w = static_cast<int32_t>(std::min<int64_t>(writer.Width(), width));
    const int32_t h = static_cast<int32_t>(std::min<int64_t>(writer.Height(), height));
    for (int32_t row = 0; row < h; ++row) {
        const unsigned char* src = rows + static_cast<size_t>(row) * stride;
        writer.WriteRow(w, [src](int32_t i) {
            return ConvertWord<SourceLayout::XRGB, L>(LoadWord(src + 4 * i));
        });
        writer.NextRow();
    }
}

inline uint8_t Unpremultiply(uint32_t c, uint32_t a) {
    return static_cast<uint8_t>(a == 0 ? c : c * 255 / a);
}

template <PixelLayout L>
void CopyPremultipliedRows(PictureWriter& colour, PictureWriter* mask, const DrawnImage& image) {
    int32_t w = std::min<int64_t>(colour.Width(), image.width);
    int32_t h = std::min<int64_t>(colour.Height(), image.height);
    if (mask != nullptr) {
        w = std::min(w, mask->Width());
        h = std::min(h, mask->Height());
    }
    for (int32_t row = 0; row < h; ++row) {
        const unsigned char* src = image.Row(row);
        colour.WriteRow(w, [src](int32_t i) {
            const unsigned char* p = src + 4 * i;
            return PackPixel<L>(Unpremultiply(p[0], p[3]), Unpremultiply(p[1], p[3]),
                                Unpremultiply(p[2], p[3]));
        });
        colour.NextRow();
        if (mask != nullptr) {
            mask->WriteRow(w, [src](int32_t i) {
                const auto m = static_cast<uint8_t>(255 - src[4 * i + 3]);
                return PackPixel<L>(m, m, m);
            });
            mask->NextRow();
        }
    }
}

// The mask picture of the RGBA conversion. Pictures with an alpha channel
// need a Picture instance of the class itself; others a plain new picture.
bool AttachMask(PictureWriter& mask, const PictureWriter& colour) {
    const int32_t w = colour.Width();
    const int32_t h = colour.Height();
    if (!colour.HasAlpha()) return AttachNewPicture(mask, w, h);
    if (rbversion_rbversion < 2011.04 || w < 1 || h < 1) return false;
    PluginObject instance = REALnewInstance("Picture");
    if (instance == nullptr) return false;
    bool attached = false;
    if (auto constructor = FunctionFromAddress<PluginPictureConstructorFn>(
            REALLoadObjectMethod(instance, kPictureConstructor))) {
        constructor(instance, w, h);
        attached = mask.GetPictureEditor(reinterpret_cast<PluginPicture>(instance));
    }
    REALUnlockObject(instance);
    return attached;
}

// Copies the mask picture's rows into the picture's own mask, through its
// Graphics when the host has one, else row buffer to row buffer.
void ApplyMask(PluginPicture picture, PluginPicture maskPicture, int32_t w, int32_t h) {
    PluginPicture target = REALGetPictureMask(picture, true);
    if (target == nullptr) return;
    PluginGraphics graphics = REALGetPictureGraphics(target);
    auto drawPicture = graphics
                           ? FunctionFromAddress<PluginGraphicsDrawPictureFn>(REALLoadObjectMethod(
                                 reinterpret_cast<PluginObject>(graphics), kDrawPicture))
                           : nullptr;
    if (drawPicture != nullptr) {
        drawPicture(graphics, maskPicture, 0, 0, w, h, 0, 0, w, h);
    } else {
        PluginPictureDescription from{};
        PluginPictureDescription to{};
        if (LockPictureDescription(maskPicture, &from, kPictureDescriptionRowBuffer)) {
            if (!LockPictureDescription(target, &to, kPictureDescriptionRowBuffer)) {
                REALUnlockPictureDescription(maskPicture);
                REALPictureClearCache(target);
            } else {
                const auto type = static_cast<int32_t>(kPictureDescriptionRowBuffer);
                if (from.handle != nullptr && to.handle != nullptr && from.type == type &&
                    to.type == type) {
                    const void* a = from.handle;
                    const void* b = to.handle;
                    const int32_t width = RowBufferReadInt(a, kRowBufferWidthOffset);
                    const int32_t height = RowBufferReadInt(a, kRowBufferHeightOffset);
                    unsigned char** src = RowBufferReadRows(a);
                    unsigned char** dst = RowBufferReadRows(b);
                    if (RowBufferReadInt(a, kRowBufferZeroWordOffset) == 0 &&
                        RowBufferReadInt(b, kRowBufferZeroWordOffset) == 0 &&
                        width == RowBufferReadInt(b, kRowBufferWidthOffset) &&
                        height == RowBufferReadInt(b, kRowBufferHeightOffset) && src && dst &&
                        height >= 1 && width >= 0) {
                        for (int32_t row = 0; row < height; ++row) {
                            std::memcpy(dst[row], src[row], 4 * static_cast<size_t>(width));
                        }
                    }
                }
                REALUnlockPictureDescription(target);
                REALUnlockPictureDescription(maskPicture);
                REALPictureClearCache(target);
            }
        }
    }
    if (graphics != nullptr) REALUnlockObject(graphics);
    REALUnlockObject(target);
}

PluginPicture ConvertWithSpace(cg::CGImageRef image, cg::CGColorSpaceRef space) {
    const uint32_t alphaInfo = static_cast<uint32_t>(cg::CGImageGetAlphaInfo(image));
    if ((alphaInfo >= 1 && alphaInfo <= 4) || alphaInfo > 7) {
        return ManipulateImagePixelDataRGBA(image, space);
    }
    return ManipulateImagePixelDataRGB(image, space);
}

}  // namespace

void CopyXRGBRows(PictureWriter& writer, const unsigned char* rows, size_t stride, size_t width,
                  size_t height) {
    WithLayout(writer.Format(), [&](auto l) {
        CopyXRGBRowsAs<decltype(l)::value>(writer, rows, stride, width, height);
    });
}

bool IsOpaqueImage(cg::CGImageRef image) {
    switch (cg::CGImageGetAlphaInfo(image)) {
        case cg::kCGImageAlphaNone:
        case cg::kCGImageAlphaNoneSkipLast:
        case cg::kCGImageAlphaNoneSkipFirst:
            return true;
        default:
            return false;
    }
}

PluginPicture ManipulateImagePixelDataRGB(cg::CGImageRef image, cg::CGColorSpaceRef space) {
    const size_t w = cg::CGImageGetWidth(image);
    const size_t h = cg::CGImageGetHeight(image);
    if (ImageBufferSize(w, h) == 0) return nullptr;
    // An opaque image replaces every pixel that it covers, so where the host
    // keeps the picture in a bitmap context the image is drawn straight into
    // it, top-left corner on top-left corner: no bitmap between, no second pass.
    auto draw = [&](cg::CGContextRef picture) {
        const auto top =
            static_cast<double>(cg::CGBitmapContextGetHeight(picture)) - static_cast<double>(h);
        cg::CGContextDrawImage(
            picture,
            cg::CGRectMake(0, top, static_cast<cg::CGFloat>(w), static_cast<cg::CGFloat>(h)),
            image);
    };
    ContextDrawing drawing = ContextDrawing::Of(draw);
    PictureWriter writer;
    if (!AttachNewPicture(writer, static_cast<int64_t>(w), static_cast<int64_t>(h),
                          IsOpaqueImage(image) ? &drawing : nullptr)) {
        return nullptr;
    }
    if (drawing.drawn) return writer.RenderPictureWriter();
    DrawnImage drawn;
    if (!drawn.Draw(image, space, 6)) return nullptr;
    CopyXRGBRows(writer, drawn.pixels, 4 * drawn.width, drawn.width, drawn.height);
    return writer.RenderPictureWriter();
}

PluginPicture ManipulateImagePixelDataRGBA(cg::CGImageRef image, cg::CGColorSpaceRef space) {
    DrawnImage drawn;
    if (!drawn.Draw(image, space, 1)) return nullptr;
    PictureWriter colour;
    if (!AttachNewPicture(colour, static_cast<int64_t>(drawn.width),
                          static_cast<int64_t>(drawn.height))) {
        return nullptr;
    }
    const int32_t w = colour.Width();
    const int32_t h = colour.Height();
    PictureWriter mask;
    // Without a mask picture the colours are still worth having: the picture
    // then simply keeps the mask the host gave it.
    const bool haveMask = AttachMask(mask, colour);
    WithLayout(colour.Format(), [&](auto l) {
        CopyPremultipliedRows<decltype(l)::value>(colour, haveMask ? &mask : nullptr, drawn);
    });
    PluginPicture maskPicture = haveMask ? mask.RenderPictureWriter() : nullptr;
    PluginPicture picture = colour.RenderPictureWriter();
    if (picture != nullptr && maskPicture != nullptr) ApplyMask(picture, maskPicture, w, h);
    if (maskPicture != nullptr) REALUnlockObject(maskPicture);
    return picture;
}

PluginPicture GetCGImagePicture(cg::CGImageRef image) {
    if (image == nullptr) return nullptr;
    cg::CGColorSpaceRef own = cg::CGImageGetColorSpace(image);
    if (own != nullptr && static_cast<int32_t>(cg::CGColorSpaceGetModel(own)) == 1) {
        if (PluginPicture picture = ConvertWithSpace(image, own)) return picture;
    }
    cg::CGColorSpaceRef generic = cg::CGColorSpaceCreateWithName(cg::kCGColorSpaceGenericRGB);
    if (generic == nullptr) return nullptr;
    PluginPicture picture = ConvertWithSpace(image, generic);
    cg::CGColorSpaceRelease(generic);
    return picture;
}

namespace {

template <PixelLayout L, int Depth>
void CopyWorldRows(PictureWriter& writer, const unsigned char* base, ptrdiff_t rowDistance,
                   int32_t w, int32_t h) {
    for (int32_t row = 0; row < h; ++row) {
        const unsigned char* src = base + row * rowDistance;
        if constexpr (Depth == 32) {
            writer.WriteRow(w, [src](int32_t i) {
                const unsigned char* p = src + 4 * i;
                return PackPixelAlpha<L>(p[0], p[1], p[2], p[3]);
            });
        } else if constexpr (Depth == 24) {
            writer.WriteRow(w, [src](int32_t i) {
                const unsigned char* p = src + 3 * i;
                return PackPixel<L>(p[0], p[1], p[2]);
            });
        } else {
            writer.WriteRow(w, [src](int32_t i) { return PackPixel<L>(src[i], src[i], src[i]); });
        }
        writer.NextRow();
    }
}

}  // namespace

PluginPicture REALBuildPictureFromGWorld(qd::GWorldPtr world) {
    if (world == nullptr) return nullptr;
    QuickDraw& q = QD();
    auto dispose = [&] {
        if (auto fn = q.DisposeGWorld()) fn(world);
    };
    qd::Rect bounds{};
    if (auto fn = q.GetPortBounds()) fn(reinterpret_cast<qd::CGrafPtr>(world), &bounds);
    const int32_t width = int32_t{bounds.right} - bounds.left;
    const int32_t height = int32_t{bounds.bottom} - bounds.top;
    if (width <= 0 || height <= 0) return dispose(), nullptr;
    auto getPixMap = q.GetGWorldPixMap();
    qd::PixMapHandle pixmap = getPixMap ? getPixMap(world) : nullptr;
    if (pixmap == nullptr) return dispose(), nullptr;
    auto getDepth = q.GetPixDepth();
    const int32_t depth = getDepth ? getDepth(pixmap) : 0;
    if (depth != 32 && depth != 24 && depth != 8) return dispose(), nullptr;
    auto lockPixels = q.LockPixels();
    if (lockPixels == nullptr || !lockPixels(pixmap)) return dispose(), nullptr;
    auto unlock = [&] {
        if (auto fn = q.UnlockPixels()) fn(pixmap);
    };
    auto getBase = q.GetPixBaseAddr();
    auto* base = reinterpret_cast<const unsigned char*>(getBase ? getBase(pixmap) : nullptr);
    if (base == nullptr) return unlock(), dispose(), nullptr;
    auto getRowBytes = q.GetPixRowBytes();
    const ptrdiff_t rowDistance = getRowBytes ? static_cast<ptrdiff_t>(getRowBytes(pixmap)) : 0;

    PictureWriter writer;
    if (!AttachNewPicture(writer, width, height)) return unlock(), dispose(), nullptr;
    // A host may hand out a larger picture than asked for; only the world's
    // pixels are read.
    const int32_t w = std::min(writer.Width(), width);
    const int32_t h = std::min(writer.Height(), height);
    WithLayout(writer.Format(), [&](auto l) {
        constexpr PixelLayout L = decltype(l)::value;
        if (depth == 32) {
            CopyWorldRows<L, 32>(writer, base, rowDistance, w, h);
        } else if (depth == 24) {
            CopyWorldRows<L, 24>(writer, base, rowDistance, w, h);
        } else {
            CopyWorldRows<L, 8>(writer, base, rowDistance, w, h);
        }
    });
    PluginPicture picture = writer.RenderPictureWriter();
    unlock();
    dispose();
    return picture;
}

}  // namespace zuvshot

using namespace zuvshot;

extern "C" PluginPicture ScreenshotFromStringZUV(int32_t Width, int32_t Height, int32_t RowBytes,
                                                 PluginString data) {
    if (Width <= 0 || Height <= 0 || int64_t{RowBytes} < 4 * int64_t{Width}) return nullptr;
    const StringContents contents = REALGetStringContents(data);
    PluginPicture picture = nullptr;
    if (contents.bytes != nullptr && contents.length >= int64_t{RowBytes} * Height &&
        Width <= 32767 && Height <= 32767) {
        PictureWriter writer;
        if (AttachNewPicture(writer, Width, Height)) {
            const unsigned char* bytes = contents.bytes;
            const int32_t w = std::min(writer.Width(), Width);
            const int32_t h = std::min(writer.Height(), Height);
            WithLayout(writer.Format(), [&](auto l) {
                constexpr PixelLayout L = decltype(l)::value;
                for (int32_t r = 0; r < h; ++r) {
                    const unsigned char* src =
                        bytes + static_cast<ptrdiff_t>(Height - 1 - r) * RowBytes;
                    writer.WriteRow(w, [src](int32_t i) {
                        return ConvertWord<SourceLayout::BGRX, L>(LoadWord(src + 4 * i));
                    });
                    writer.NextRow();
                }
            });
            picture = writer.RenderPictureWriter();
        }
    }
    if (contents.locked) REALUnlockString(data);
    return picture;
}
