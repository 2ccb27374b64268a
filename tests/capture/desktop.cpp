#include "desktop.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/os/cf.h"

namespace rechost {
namespace {

class PatternScreen final : public platform::Screen {
public:
    explicit PatternScreen(std::vector<platform::DisplayInfo> displays)
        : displays_(std::move(displays)) {}

    std::vector<platform::DisplayInfo> Displays() override { return displays_; }

    bool Read(uint32_t displayId, platform::Rect r, platform::PixelView* out,
              platform::Rect* covered) override {
        *out = {};
        auto it = std::find_if(displays_.begin(), displays_.end(),
                               [&](const auto& d) { return d.id == displayId; });
        if (it == displays_.end()) return false;
        const int64_t x0 = std::max<int64_t>(r.x, 0);
        const int64_t y0 = std::max<int64_t>(r.y, 0);
        const int64_t x1 = std::min<int64_t>(int64_t{r.x} + r.width, it->PixelWidth());
        const int64_t y1 = std::min<int64_t>(int64_t{r.y} + r.height, it->PixelHeight());
        if (x1 <= x0 || y1 <= y0) return false;
        const auto w = static_cast<int32_t>(x1 - x0);
        const auto h = static_cast<int32_t>(y1 - y0);
        buffer_.resize(static_cast<size_t>(w) * h * 4);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const Rgb c = DisplayPixelColour(displayId, static_cast<int32_t>(x0) + x,
                                                 static_cast<int32_t>(y0) + y);
                uint8_t* p = buffer_.data() + (static_cast<size_t>(y) * w + x) * 4;
                p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = 0;
            }
        }
        *out = {buffer_.data(), static_cast<size_t>(w) * 4, w, h};
        if (covered) *covered = {static_cast<int32_t>(x0), static_cast<int32_t>(y0), w, h};
        return true;
    }

private:
    std::vector<platform::DisplayInfo> displays_;
    std::vector<uint8_t> buffer_;
};

std::vector<platform::DisplayInfo>& Displays() {
    static std::vector<platform::DisplayInfo> displays;
    return displays;
}

}  // namespace

void UseDesktop(const std::vector<DisplaySpec>& specs) {
    std::vector<platform::DisplayInfo> displays;
    for (const auto& s : specs) {
        platform::DisplayInfo d;
        d.id = s.id;
        d.bounds = s.bounds;
        d.pixelsPerPoint = s.pixelsPerPoint;
        d.bitsPerSample = s.bitsPerSample;
        d.samplesPerPixel = 3;
        d.isMain = displays.empty();
        displays.push_back(d);
    }
    Displays() = displays;
    platform::SetCurrentScreen(std::make_unique<PatternScreen>(displays));
}

platform::DisplayInfo DisplayOf(uint32_t id) {
    for (const auto& d : Displays()) {
        if (d.id == id) return d;
    }
    return {};
}

Rgb DisplayPixelColour(uint32_t id, int32_t px, int32_t py) {
    return {static_cast<uint8_t>(px * 7 + id * 50), static_cast<uint8_t>(py * 3 + id * 20),
            static_cast<uint8_t>(px + py + id * 90)};
}

Rgb PointColour(int32_t x, int32_t y) {
    for (const auto& d : Displays()) {
        const auto& b = d.bounds;
        if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) {
            return DisplayPixelColour(d.id, x - b.x, y - b.y);
        }
    }
    return {0, 0, 0};
}

void HideQuickDrawFunction(const char* name, bool hidden) {
    platform::cf::testing::HideFunction(name, hidden);
}

}  // namespace rechost
