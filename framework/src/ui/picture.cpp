#include "fw/ui/picture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

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

// A new picture is filled before anything but a whole drawing looks at it, so
// the fill runs at store bandwidth: four aligned 16-byte stores per cache line.
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

// Smaller pictures are made and dropped at every tick, and the allocator
// reuses their memory warm; they are neither put in mappings of their own nor
// compared.
constexpr size_t kShareBytes = size_t{4} << 20;
constexpr size_t kShareCandidates = 4;

size_t PageSize() {
    static const size_t size = size_t(sysconf(_SC_PAGESIZE));
    return size;
}
size_t PageRounded(size_t bytes) {
    return (bytes + PageSize() - 1) / PageSize() * PageSize();
}

// The mapping of a large picture let go last, kept for the next picture of
// its size: pictures made again and again at that size would otherwise pay
// for fresh pages every time. It goes once no picture has wanted it for a
// few seconds (Picture::ReleaseUnusedMemory).
struct Spare {
    uint8_t* pixels = nullptr;
    size_t length = 0;
    std::chrono::steady_clock::time_point since{};
};
Spare g_spare;
constexpr std::chrono::seconds kSpareFor{3};

void DropSpare() {
    if (g_spare.pixels) munmap(g_spare.pixels, g_spare.length);
    g_spare = Spare{};
}

// Unmaps a large picture's pixels, or keeps them as the spare when no page of
// them was ever mapped from elsewhere.
struct Unmap {
    size_t length = 0;
    bool ownPagesOnly = true;
    void operator()(uint8_t* p) const {
        if (!ownPagesOnly) {
            munmap(p, length);
            return;
        }
        DropSpare();
        g_spare = Spare{p, length, std::chrono::steady_clock::now()};
    }
};
struct AlignedDelete {
    void operator()(uint8_t* p) const { ::operator delete[](p, kPixelAlignment); }
};

// Large pictures live in mappings of their own, so that runs of their pages
// can later be mapped from a file that other pictures share.
std::shared_ptr<uint8_t> NewStore(size_t bytes) {
    try {
        if (bytes >= kShareBytes) {
            const size_t length = PageRounded(bytes);
            uint8_t* pixels = nullptr;
            if (g_spare.pixels && g_spare.length == length) {
                pixels = g_spare.pixels;
                g_spare = Spare{};
            } else {
                void* m = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                               -1, 0);
                if (m == MAP_FAILED) return nullptr;
                pixels = static_cast<uint8_t*>(m);
            }
            return std::shared_ptr<uint8_t>(pixels, Unmap{length});
        }
        auto* pixels =
            static_cast<uint8_t*>(::operator new[](bytes, kPixelAlignment, std::nothrow));
        if (!pixels) return nullptr;
        return std::shared_ptr<uint8_t>(pixels, AlignedDelete{});
    } catch (const std::bad_alloc&) {
        return nullptr;  // the deleter has run
    }
}

// A file in memory holding a copy of a large picture's pixels, never written
// again: the pages of every picture that equal it are private mappings of it,
// which the system copies for a picture only when that picture writes them.
struct SharedPages {
    int fd = -1;
    size_t length = 0;
    ~SharedPages() {
        if (fd >= 0) close(fd);
    }
};

// Puts the pages of `pixels` that equal those of `file` (every page when
// `all`) onto the file; true when any page is. The address stays the same.
bool MapEqualPages(const std::shared_ptr<uint8_t>& store, const SharedPages& file,
                   const uint8_t* like, bool all) {
    uint8_t* pixels = store.get();
    if (Unmap* unmap = std::get_deleter<Unmap>(store)) unmap->ownPagesOnly = false;
    const size_t page = PageSize();
    bool mapped = false;
    size_t run = 0;
    auto flush = [&](size_t end) {
        if (end > run) {
            void* m = mmap(pixels + run, end - run, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_FIXED | (all ? MAP_POPULATE : 0), file.fd, off_t(run));
            mapped = mapped || m != MAP_FAILED;
        }
    };
    for (size_t at = 0; at < file.length; at += page) {
        if (all || std::memcmp(pixels + at, like + at, page) == 0) continue;
        flush(at);
        run = at + page;
    }
    flush(file.length);
    return mapped;
}

// The large pictures completed lately, newest last; each leaves on
// destruction.
std::vector<Picture*>& Candidates() {
    static std::vector<Picture*> list;
    return list;
}
void Forget(Picture* p) {
    std::erase(Candidates(), p);
}

}  // namespace

Picture::Picture(int32_t w, int32_t h, bool alpha, std::shared_ptr<uint8_t> store)
    : width_(w), height_(h), hasAlpha_(alpha), store_(std::move(store)), pixels_(store_.get()) {
    g_liveCount.fetch_add(1, std::memory_order_relaxed);
}

Picture::~Picture() {
    Forget(this);
    mask_.Reset();
    g_liveCount.fetch_sub(1, std::memory_order_relaxed);
}

uint8_t* Picture::Pixels() {
    AboutToWrite();
    PayFill();
    // Whoever asks may write through the address at any time from now on: the
    // pixels are not complete again until SharePixelsIfEqual is called, and
    // may then differ from the file they were shared from.
    Forget(this);
    pages_.reset();
    return pixels_;
}

bool Picture::SharePixelsIfEqual() {
    PayFill();
    const size_t bytes = RowBytes() * size_t(height_);
    if (bytes < kShareBytes || drawnOn_ || mask_) return false;
    std::vector<Picture*>& list = Candidates();
    Forget(this);
    bool shared = false;
    for (auto it = list.rbegin(); it != list.rend() && !shared; ++it) {
        Picture* other = *it;
        if (other->width_ != width_ || other->height_ != height_ || other->hasAlpha_ != hasAlpha_ ||
            other->drawnOn_ || other->mask_) {
            continue;
        }
        if (!other->pages_) {
            // The first like picture moves onto a file of its own pixels.
            auto file = std::make_shared<SharedPages>();
            file->length = PageRounded(bytes);
            file->fd = memfd_create("ostrel4-picture", MFD_CLOEXEC);
            if (file->fd < 0 || ftruncate(file->fd, off_t(file->length)) != 0) continue;
            size_t done = 0;
            while (done < bytes) {
                const ssize_t n =
                    pwrite(file->fd, other->pixels_ + done, bytes - done, off_t(done));
                if (n <= 0) break;
                done += size_t(n);
            }
            if (done < bytes || !MapEqualPages(other->store_, *file, nullptr, true)) continue;
            other->pages_ = std::move(file);
        }
        shared = MapEqualPages(store_, *static_cast<const SharedPages*>(other->pages_.get()),
                               other->pixels_, false);
        if (shared) pages_ = other->pages_;
    }
    if (list.size() >= kShareCandidates) list.erase(list.begin());
    list.push_back(this);
    return shared;
}

Ref<Picture> Picture::NewOwingFill(int32_t width, int32_t height, int32_t depth,
                                   bool hasAlphaChannel) {
    if (width < 1 || width > 32767 || height < 1 || height > 32767 || depth != 32) {
        return Ref<Picture>();
    }
    std::shared_ptr<uint8_t> store = NewStore(size_t(width) * size_t(height) * 4);
    if (!store) return Ref<Picture>();
    Ref<Picture> p(new Picture(width, height, hasAlphaChannel, std::move(store)));
    p->fillOwed_ = true;
    return p;
}

Ref<Picture> Picture::New(int32_t width, int32_t height, int32_t depth, bool hasAlphaChannel) {
    Ref<Picture> p = NewOwingFill(width, height, depth, hasAlphaChannel);
    if (p) p->PayFill();
    return p;
}

uint32_t Picture::FillWord() const {
    // Opaque black; the unused byte is kept at 255 so that Qt, which reads
    // these bytes as RGBX, sees a valid opaque pixel. With alpha: transparent.
    const uint8_t rgbx[4] = {0, 0, 0, hasAlpha_ ? uint8_t(0) : uint8_t(0xFF)};
    uint32_t word;
    std::memcpy(&word, rgbx, 4);
    return word;
}

void Picture::PayFill() const {
    if (!fillOwed_) return;
    fillOwed_ = false;
    if (payFill_) {
        std::function<bool()> pay = std::move(payFill_);
        payFill_ = nullptr;
        if (pay()) return;
    }
    FillWords(reinterpret_cast<uint32_t*>(pixels_), size_t(width_) * size_t(height_), FillWord());
}

uint8_t* Picture::PixelsOwingFill(bool* owed, uint32_t* fill, std::function<bool()> pay) {
    AboutToWrite();
    *owed = fillOwed_ && !payFill_;
    if (!*owed) return Pixels();
    Forget(this);
    pages_.reset();
    *fill = FillWord();
    payFill_ = std::move(pay);
    return pixels_;
}

Ref<Picture> Picture::Mask(bool create) {
    // A new mask is black, fully opaque, so that creating one changes nothing
    // until something is drawn into it.
    if (!mask_ && create) {
        // A mask changes how the picture draws.
        AboutToWrite();
        mask_ = Picture::New(width_, height_, 32, false);
    }
    return mask_;
}

void Picture::BeforeNextWrite(const void* key, std::function<void()> done) {
    for (auto& [k, f] : beforeWrite_) {
        if (k == key) {
            f = std::move(done);
            return;
        }
    }
    beforeWrite_.emplace_back(key, std::move(done));
}

void Picture::RunBeforeWrite() {
    // A callback may draw this picture, or ask for another.
    auto pending = std::move(beforeWrite_);
    beforeWrite_.clear();
    for (auto& [key, f] : pending) f();
}

Ref<Graphics> Picture::GetGraphics() {
    // The graphics write through the pixel address from now on, unseen.
    Pixels();
    drawnOn_ = true;
    return qt::MakePictureGraphics(Ref<Picture>(this));
}

void Picture::ReleaseUnusedMemory() {
    if (g_spare.pixels && std::chrono::steady_clock::now() - g_spare.since >= kSpareFor)
        DropSpare();
}

int64_t Picture::LiveCount() noexcept {
    return g_liveCount.load(std::memory_order_relaxed);
}

}  // namespace fw
