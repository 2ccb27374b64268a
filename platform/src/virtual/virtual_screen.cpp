#include <algorithm>
#include <cstring>

#include "clip.h"
#include "platform/virtual.h"

namespace platform {
namespace {

// A display larger than this is refused rather than allocated: tests never need
// it, and a mistyped size should not take the machine's memory.
constexpr int64_t kMaxPixels = int64_t(1) << 26;

void Put(uint8_t* p, uint32_t xrgb) {
    p[0] = uint8_t(xrgb);
    p[1] = uint8_t(xrgb >> 8);
    p[2] = uint8_t(xrgb >> 16);
    p[3] = uint8_t(xrgb >> 24);
}

}  // namespace

uint32_t VirtualScreen::AddDisplay(Rect b, int32_t pixelsPerPoint, int32_t bitsPerSample,
                                   int32_t samplesPerPixel, bool isMain) {
    if (b.width <= 0 || b.height <= 0 || pixelsPerPoint < 1 || pixelsPerPoint > 8) return 0;
    int64_t pw = int64_t(b.width) * pixelsPerPoint;
    int64_t ph = int64_t(b.height) * pixelsPerPoint;
    if (pw > INT32_MAX || ph > INT32_MAX || pw * ph > kMaxPixels) return 0;

    VDisplay d;
    d.info.id = nextId_++;
    d.info.bounds = b;
    d.info.pixelsPerPoint = pixelsPerPoint;
    d.info.bitsPerSample = bitsPerSample;
    d.info.samplesPerPixel = samplesPerPixel;
    d.bgrx.assign(size_t(pw * ph * 4), 0);
    d.reading = NewReading();
    if (displays_.empty()) isMain = true;
    d.info.isMain = isMain;
    uint32_t id = d.info.id;
    if (isMain) {
        for (VDisplay& other : displays_) other.info.isMain = false;
        displays_.insert(displays_.begin(), std::move(d));
    } else {
        displays_.push_back(std::move(d));
    }
    return id;
}

bool VirtualScreen::RemoveDisplay(uint32_t id) {
    auto it = std::find_if(displays_.begin(), displays_.end(),
                           [id](const VDisplay& d) { return d.info.id == id; });
    if (it == displays_.end()) return false;
    bool wasMain = it->info.isMain;
    displays_.erase(it);
    if (wasMain && !displays_.empty()) displays_.front().info.isMain = true;
    return true;
}

void VirtualScreen::RemoveAll() {
    displays_.clear();
}

VirtualScreen::VDisplay* VirtualScreen::Find(uint32_t id) {
    for (VDisplay& d : displays_)
        if (d.info.id == id) return &d;
    return nullptr;
}

const VirtualScreen::VDisplay* VirtualScreen::Find(uint32_t id) const {
    for (const VDisplay& d : displays_)
        if (d.info.id == id) return &d;
    return nullptr;
}

bool VirtualScreen::Fill(uint32_t id, uint32_t xrgb) {
    VDisplay* d = Find(id);
    if (!d) return false;
    for (size_t i = 0; i < d->bgrx.size(); i += 4) Put(&d->bgrx[i], xrgb);
    d->reading = NewReading();
    return true;
}

bool VirtualScreen::FillRect(uint32_t id, Rect r, uint32_t xrgb) {
    VDisplay* d = Find(id);
    if (!d) return false;
    Rect c;
    if (!ClipToArea(r, d->info.PixelWidth(), d->info.PixelHeight(), &c)) return true;
    size_t stride = size_t(d->info.PixelWidth()) * 4;
    for (int32_t y = c.y; y < c.y + c.height; ++y)
        for (int32_t x = c.x; x < c.x + c.width; ++x)
            Put(&d->bgrx[size_t(y) * stride + size_t(x) * 4], xrgb);
    d->reading = NewReading();
    return true;
}

bool VirtualScreen::SetPixel(uint32_t id, int32_t x, int32_t y, uint32_t xrgb) {
    return FillRect(id, Rect{x, y, 1, 1}, xrgb);
}

bool VirtualScreen::SetPixels(uint32_t id, Rect r, const uint32_t* xrgb) {
    VDisplay* d = Find(id);
    if (!d) return false;
    Rect c;
    if (!xrgb || !ClipToArea(r, d->info.PixelWidth(), d->info.PixelHeight(), &c)) return true;
    size_t stride = size_t(d->info.PixelWidth()) * 4;
    for (int32_t y = c.y; y < c.y + c.height; ++y) {
        const uint32_t* src = xrgb + size_t(y - r.y) * size_t(r.width) + size_t(c.x - r.x);
        uint8_t* dst = &d->bgrx[size_t(y) * stride + size_t(c.x) * 4];
        for (int32_t i = 0; i < c.width; ++i) Put(dst + size_t(i) * 4, src[i]);
    }
    d->reading = NewReading();
    return true;
}

uint32_t VirtualScreen::PixelAt(uint32_t id, int32_t x, int32_t y) const {
    const VDisplay* d = Find(id);
    if (!d || x < 0 || y < 0 || x >= d->info.PixelWidth() || y >= d->info.PixelHeight()) return 0;
    const uint8_t* p = &d->bgrx[(size_t(y) * size_t(d->info.PixelWidth()) + size_t(x)) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::vector<DisplayInfo> VirtualScreen::Displays() {
    std::vector<DisplayInfo> list;
    list.reserve(displays_.size());
    for (const VDisplay& d : displays_) list.push_back(d.info);
    return list;
}

bool VirtualScreen::Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered) {
    ++readCount_;
    PixelView view;
    Rect c;
    const VDisplay* d = readsFail_ ? nullptr : Find(displayId);
    bool ok = d && ClipToArea(r, d->info.PixelWidth(), d->info.PixelHeight(), &c);
    if (ok) {
        view.stride = size_t(d->info.PixelWidth()) * 4;
        view.data = d->bgrx.data() + size_t(c.y) * view.stride + size_t(c.x) * 4;
        view.width = c.width;
        view.height = c.height;
        view.reading = d->reading;
    } else {
        c = Rect{};
    }
    if (out) *out = view;
    if (covered) *covered = c;
    return ok;
}

}  // namespace platform
