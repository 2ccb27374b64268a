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
// reuses their memory warm; only larger ones get mappings of their own.
constexpr size_t kLargeBytes = size_t{4} << 20;

size_t PageRounded(size_t bytes) {
    static const size_t page = size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

// A large picture's pages live in a file in memory. While one picture alone
// maps it, that picture maps it shared and writes the file itself. Once
// another like picture starts from those pages, every mapping of the file is
// private: the file never changes again, and the system copies a page for a
// picture only when that picture writes it. The whole-display pictures taken
// one after the other at start so keep once what they have in common.
struct PageFile {
    int fd = -1;
    // What the file holds once no picture writes it any more.
    Picture::ContentTag frozen;
    ~PageFile() {
        if (fd >= 0) close(fd);
    }
};

// The mapping of a large picture let go last, kept for the next picture of
// its size: pictures made again and again at that size would otherwise pay
// for fresh pages every time. It goes once no picture has wanted it for a
// few seconds (Picture::ReleaseUnusedMemory).
struct Spare {
    uint8_t* pixels = nullptr;
    size_t length = 0;
    std::shared_ptr<PageFile> file;
    std::chrono::steady_clock::time_point since{};
};
Spare g_spare;
constexpr std::chrono::seconds kSpareFor{3};

void DropSpare() {
    if (g_spare.pixels) munmap(g_spare.pixels, g_spare.length);
    g_spare = Spare{};
}

// The deleter of a large picture's pixels, and what it knows of them.
struct Mapping {
    size_t length = 0;
    std::shared_ptr<PageFile> file;
    bool writer = false;          // maps the file shared: no other picture maps it
    Picture::ContentTag content;  // what the pixels hold, when known
    bool handedOut = false;       // their address went out: never known again
    void operator()(uint8_t* p) {
        if (writer && file.use_count() == 1) {
            DropSpare();
            g_spare = Spare{p, length, std::move(file), std::chrono::steady_clock::now()};
            return;
        }
        munmap(p, length);
    }
};
struct AlignedDelete {
    void operator()(uint8_t* p) const { ::operator delete[](p, kPixelAlignment); }
};

// The large pictures alive, oldest first.
std::vector<std::weak_ptr<uint8_t>> g_large;

// Maps `file` privately over `at` (which it replaces) or, with `at` null,
// anywhere; null when that fails, and `at` is then left as it was.
uint8_t* MapPrivately(const PageFile& file, size_t length, uint8_t* at) {
    void* m = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE, file.fd, 0);
    if (m == MAP_FAILED) return nullptr;
    if (!at) return static_cast<uint8_t*>(m);
    if (mremap(m, length, length, MREMAP_MAYMOVE | MREMAP_FIXED, at) == MAP_FAILED) {
        munmap(m, length);
        return nullptr;
    }
    return at;
}

// A new mapping that starts with the pages of the newest like picture alive,
// which from now on maps them privately too; null when there is none.
std::shared_ptr<uint8_t> ViewOfLike(size_t length) {
    for (auto it = g_large.rbegin(); it != g_large.rend(); ++it) {
        std::shared_ptr<uint8_t> like = it->lock();
        Mapping* m = std::get_deleter<Mapping>(like);
        if (!m || m->length != length) continue;
        if (m->writer) {
            if (!MapPrivately(*m->file, length, like.get())) return nullptr;
            m->writer = false;
            // The writer's pixels were the file's; their address maps the
            // picture's own copies from now on.
            m->file->frozen = m->content;
        }
        uint8_t* pixels = MapPrivately(*m->file, length, nullptr);
        if (!pixels) return nullptr;
        Mapping mapping{length, m->file, false, {}, false};
        mapping.content = m->file->frozen;
        // Writers compare every page before they write it: all pages in one
        // go, unless a drawing of what the pages hold would not even look.
        if (!mapping.content) madvise(pixels, length, MADV_POPULATE_READ);
        return std::shared_ptr<uint8_t>(pixels, std::move(mapping));
    }
    return nullptr;
}

// A mapping of a file of its own, which its picture writes alone.
std::shared_ptr<uint8_t> OwnPages(size_t length) {
    if (g_spare.pixels && g_spare.length == length) {
        Spare spare = std::move(g_spare);
        g_spare = Spare{};
        return std::shared_ptr<uint8_t>(spare.pixels,
                                        Mapping{length, std::move(spare.file), true, {}, false});
    }
    auto file = std::make_shared<PageFile>();
    file->fd = memfd_create("ostrel4-picture", MFD_CLOEXEC);
    if (file->fd < 0 || ftruncate(file->fd, off_t(length)) != 0) return nullptr;
    // The pages in one go: the picture is written whole right away.
    void* m = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, file->fd, 0);
    if (m == MAP_FAILED) return nullptr;
    return std::shared_ptr<uint8_t>(static_cast<uint8_t*>(m),
                                    Mapping{length, std::move(file), true, {}, false});
}

// `startAlike`: the picture's first pixels do not matter (its fill is owed
// and mostly drawn over), so it may start with a like picture's pages.
std::shared_ptr<uint8_t> NewStore(size_t bytes, bool startAlike) {
    try {
        if (bytes >= kLargeBytes) {
            const size_t length = PageRounded(bytes);
            std::erase_if(g_large, [](const std::weak_ptr<uint8_t>& w) { return w.expired(); });
            std::shared_ptr<uint8_t> store = startAlike ? ViewOfLike(length) : nullptr;
            if (!store) store = OwnPages(length);
            if (store) g_large.push_back(store);
            return store;
        }
        auto* pixels =
            static_cast<uint8_t*>(::operator new[](bytes, kPixelAlignment, std::nothrow));
        if (!pixels) return nullptr;
        return std::shared_ptr<uint8_t>(pixels, AlignedDelete{});
    } catch (const std::bad_alloc&) {
        return nullptr;  // the deleter has run
    }
}

}  // namespace

Picture::Picture(int32_t w, int32_t h, bool alpha, std::shared_ptr<uint8_t> store)
    : width_(w), height_(h), hasAlpha_(alpha), store_(std::move(store)), pixels_(store_.get()) {
    g_liveCount.fetch_add(1, std::memory_order_relaxed);
}

Picture::~Picture() {
    mask_.Reset();
    g_liveCount.fetch_sub(1, std::memory_order_relaxed);
}

uint8_t* Picture::Pixels() {
    AboutToWrite();
    PayFill();
    Forget(true);
    return pixels_;
}

void Picture::Forget(bool handedOut) const {
    Mapping* m = std::get_deleter<Mapping>(store_);
    if (!m) return;
    m->content = ContentTag{};
    m->handedOut = m->handedOut || handedOut;
}

Picture::ContentTag Picture::KnownContent() const {
    const Mapping* m = std::get_deleter<Mapping>(store_);
    return m ? m->content : ContentTag{};
}

void Picture::NoteContent(const ContentTag& tag, bool handedOut) {
    Mapping* m = std::get_deleter<Mapping>(store_);
    if (!m) return;
    m->handedOut = m->handedOut || handedOut;
    m->content = m->handedOut || fillOwed_ ? ContentTag{} : tag;
}

bool Picture::PagesSharedUntilWritten() const {
    const Mapping* m = std::get_deleter<Mapping>(store_);
    return m && !m->writer;
}

Ref<Picture> Picture::NewOwingFill(int32_t width, int32_t height, int32_t depth,
                                   bool hasAlphaChannel) {
    return Make(width, height, depth, hasAlphaChannel, true);
}

Ref<Picture> Picture::New(int32_t width, int32_t height, int32_t depth, bool hasAlphaChannel) {
    // Written whole at once, so nothing is gained by starting alike.
    Ref<Picture> p = Make(width, height, depth, hasAlphaChannel, false);
    if (p) p->PayFill();
    return p;
}

Ref<Picture> Picture::Make(int32_t width, int32_t height, int32_t depth, bool hasAlphaChannel,
                           bool startAlike) {
    if (width < 1 || width > 32767 || height < 1 || height > 32767 || depth != 32) {
        return Ref<Picture>();
    }
    std::shared_ptr<uint8_t> store = NewStore(size_t(width) * size_t(height) * 4, startAlike);
    if (!store) return Ref<Picture>();
    Ref<Picture> p(new Picture(width, height, hasAlphaChannel, std::move(store)));
    p->fillOwed_ = true;
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
        std::shared_ptr<FillTaker> taker = std::move(payFill_);
        payFill_ = nullptr;
        if (taker->Pay()) return;
    }
    Forget(false);
    FillWords(reinterpret_cast<uint32_t*>(pixels_), size_t(width_) * size_t(height_), FillWord());
}

uint8_t* Picture::PixelsOwingFill(bool* owed, uint32_t* fill, std::shared_ptr<FillTaker> taker) {
    AboutToWrite();
    Forget(false);
    *owed = fillOwed_ && !payFill_;
    if (!*owed) {
        PayFill();
        return pixels_;
    }
    *fill = FillWord();
    payFill_ = std::move(taker);
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
