// The framework's colour: red, green, blue and alpha, alpha 0 being opaque.
#pragma once

#include <cstdint>

namespace fw {

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;  // 0 opaque, 255 fully transparent

    static constexpr Color RGBA(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 0) {
        return Color{r, g, b, a};
    }
    // The &hAARRGGBB form of layout values.
    static constexpr Color FromHex(uint32_t v) {
        return Color{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)};
    }
    constexpr uint32_t ToHex() const {
        return uint32_t(alpha) << 24 | uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
    }
    friend constexpr bool operator==(const Color&, const Color&) = default;
};

}  // namespace fw
