#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#include "os/cg_internal.h"

namespace platform::cg {

bool QuadLayout(CGBitmapInfo info, PixelLayout* out) {
    const CGBitmapInfo order = info & kCGBitmapByteOrderMask;
    if ((info & ~(kCGBitmapAlphaInfoMask | kCGBitmapByteOrderMask)) != 0) return false;
    bool little = false;
    if (order == kCGBitmapByteOrder32Little) {
        little = true;
    } else if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big) {
        return false;
    }
    PixelLayout l;
    l.depth = Depth::Quad;
    switch (info & kCGBitmapAlphaInfoMask) {
        case kCGImageAlphaPremultipliedLast:
        case kCGImageAlphaLast:
        case kCGImageAlphaNoneSkipLast:
            l.order = little ? Order::ABGR : Order::RGBA;
            break;
        case kCGImageAlphaPremultipliedFirst:
        case kCGImageAlphaFirst:
        case kCGImageAlphaNoneSkipFirst:
            l.order = little ? Order::BGRA : Order::ARGB;
            break;
        default:
            return false;
    }
    switch (info & kCGBitmapAlphaInfoMask) {
        case kCGImageAlphaPremultipliedLast:
        case kCGImageAlphaPremultipliedFirst:
            l.alpha = Alpha::Premultiplied;
            break;
        case kCGImageAlphaLast:
        case kCGImageAlphaFirst:
            l.alpha = Alpha::Straight;
            break;
        default:
            l.alpha = Alpha::Skip;
            break;
    }
    *out = l;
    return true;
}

namespace {

struct PooledBlock {
    size_t capacity;
    uint8_t* data;
};

constexpr size_t kPoolBlocks = 8;
constexpr size_t kPoolBytes = size_t{64} << 20;

// Never destroyed: a buffer may come back from a static destructor at exit,
// and the blocks it keeps stay reachable through it.
struct Pool {
    std::mutex mutex;
    std::vector<PooledBlock> blocks;
    size_t total = 0;
};
Pool& ThePool() {
    static Pool* pool = new Pool();
    return *pool;
}

void ReturnBlock(uint8_t* data, size_t capacity) {
    Pool& pool = ThePool();
    {
        std::lock_guard lock(pool.mutex);
        if (pool.blocks.size() < kPoolBlocks && pool.total + capacity <= kPoolBytes) {
            pool.blocks.push_back({capacity, data});
            pool.total += capacity;
            return;
        }
    }
    std::free(data);
}

// A pooled block of at least `bytes` and not more than twice that.
uint8_t* TakeBlock(size_t bytes, size_t* capacity) {
    Pool& pool = ThePool();
    std::lock_guard lock(pool.mutex);
    for (size_t i = 0; i < pool.blocks.size(); ++i) {
        const PooledBlock b = pool.blocks[i];
        if (b.capacity >= bytes && b.capacity / 2 <= bytes) {
            pool.blocks.erase(pool.blocks.begin() + static_cast<std::ptrdiff_t>(i));
            pool.total -= b.capacity;
            *capacity = b.capacity;
            return b.data;
        }
    }
    return nullptr;
}

}  // namespace

Buffer AllocatePixels(size_t bytes, bool zeroed) {
    if (bytes == 0) bytes = 1;
    size_t capacity = bytes;
    uint8_t* data = TakeBlock(bytes, &capacity);
    if (data != nullptr) {
        if (zeroed) std::memset(data, 0, bytes);
    } else {
        data = static_cast<uint8_t*>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes));
        if (data == nullptr) return nullptr;
    }
    try {
        return Buffer(data, [capacity](uint8_t* q) { ReturnBlock(q, capacity); });
    } catch (const std::bad_alloc&) {
        std::free(data);
        return nullptr;
    }
}

namespace {

// Whole buffers stay below this, so that no size or offset computed from
// them can overflow.
constexpr size_t kMaxBytes = size_t{1} << 40;

bool Product(size_t a, size_t b, size_t* out) {
    if (a != 0 && b > kMaxBytes / a) return false;
    *out = a * b;
    return *out <= kMaxBytes;
}

}  // namespace

OpaqueCGImage* NewImage(size_t width, size_t height, size_t bytesPerRow, PixelLayout layout,
                        CGImageAlphaInfo info, CGColorSpaceRef space) {
    size_t bytes = 0;
    if (!Product(bytesPerRow, height, &bytes)) return nullptr;
    Buffer pixels = AllocatePixels(bytes, false);
    if (!pixels) return nullptr;
    OpaqueCGImage* image =
        NewImageOver(std::move(pixels), width, height, bytesPerRow, layout, info, space);
    if (image != nullptr) image->heldBytes = bytes;
    return image;
}

OpaqueCGImage* NewImageOver(Buffer pixels, size_t width, size_t height, size_t bytesPerRow,
                            PixelLayout layout, CGImageAlphaInfo info, CGColorSpaceRef space) {
    if (os::CreationShouldFail(os::ObjectKind::Image)) return nullptr;
    auto* image = new OpaqueCGImage();
    image->data = pixels.get();
    image->pixels = std::move(pixels);
    image->width = width;
    image->height = height;
    image->bytesPerRow = bytesPerRow;
    image->layout = layout;
    image->alphaInfo = info;
    image->space = CGColorSpaceRetain(space);
    return image;
}

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         const void* data) {
    if (width == 0 || height == 0 || bitsPerComponent != 8 || data == nullptr) return nullptr;
    const CGBitmapInfo alpha = bitmapInfo & kCGBitmapAlphaInfoMask;
    const CGColorSpaceModel model = CGColorSpaceGetModel(space);
    PixelLayout layout;
    if (alpha == kCGImageAlphaOnly && bitsPerPixel == 8 &&
        (bitmapInfo & ~kCGBitmapAlphaInfoMask) == 0) {
        layout.depth = Depth::Alpha8;
    } else if (model == kCGColorSpaceModelRGB && bitsPerPixel == 32) {
        if (!QuadLayout(bitmapInfo, &layout)) return nullptr;
    } else if (model == kCGColorSpaceModelRGB && bitsPerPixel == 24 && bitmapInfo == 0) {
        layout.depth = Depth::Rgb24;
    } else if (model == kCGColorSpaceModelMonochrome && bitsPerPixel == 8 && bitmapInfo == 0) {
        layout.depth = Depth::Gray8;
    } else {
        return nullptr;
    }
    size_t rowBytes = 0;
    size_t unused = 0;
    if (!Product(width, layout.BytesPerPixel(), &rowBytes) || bytesPerRow < rowBytes ||
        !Product(bytesPerRow, height, &unused)) {
        return nullptr;
    }
    OpaqueCGImage* image =
        NewImage(width, height, rowBytes, layout, static_cast<CGImageAlphaInfo>(alpha), space);
    if (image == nullptr) return nullptr;
    auto* dst = image->pixels.get();
    const auto* src = static_cast<const uint8_t*>(data);
    for (size_t y = 0; y < height; ++y) {
        std::memcpy(dst + y * rowBytes, src + y * bytesPerRow, rowBytes);
    }
    return image;
}

CGImageRef CGImageRetain(CGImageRef image) {
    if (image != nullptr) image->Retain();
    return image;
}

void CGImageRelease(CGImageRef image) {
    if (image != nullptr) image->Release();
}

size_t CGImageGetWidth(CGImageRef image) {
    return image == nullptr ? 0 : image->width;
}

size_t CGImageGetHeight(CGImageRef image) {
    return image == nullptr ? 0 : image->height;
}

CGColorSpaceRef CGImageGetColorSpace(CGImageRef image) {
    return image == nullptr ? nullptr : image->space;
}

CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef image) {
    return image == nullptr ? kCGImageAlphaNone : image->alphaInfo;
}

}  // namespace platform::cg
