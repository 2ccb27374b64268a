#include "desktop.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

#include "platform/os/cf.h"
#include "platform/virtual.h"

namespace rechost {
namespace {

std::vector<platform::DisplayInfo>& Displays() {
    static std::vector<platform::DisplayInfo> displays;
    return displays;
}

}  // namespace

void UseDesktop(const std::vector<DisplaySpec>& specs) {
    auto screen = std::make_unique<platform::VirtualScreen>();
    for (const auto& s : specs) {
        const uint32_t id = screen->AddDisplay(s.bounds, s.pixelsPerPoint, s.bitsPerSample, 3,
                                               &s == &specs.front());
        if (id != s.id) throw std::logic_error("display ids are handed out in order from 1");
    }
    for (const auto& d : screen->Displays()) {
        std::vector<uint32_t> pixels;
        pixels.reserve(static_cast<size_t>(d.PixelWidth()) * d.PixelHeight());
        for (int32_t y = 0; y < d.PixelHeight(); ++y) {
            for (int32_t x = 0; x < d.PixelWidth(); ++x) {
                const Rgb c = DisplayPixelColour(d.id, x, y);
                pixels.push_back(uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b);
            }
        }
        screen->SetPixels(d.id, {0, 0, d.PixelWidth(), d.PixelHeight()}, pixels.data());
    }
    Displays() = screen->Displays();
    platform::SetCurrentScreen(std::move(screen));
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
