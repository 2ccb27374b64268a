// A root window whose every device pixel has a colour of its own, so that a
// screenshot pixel tells exactly which root pixel a magnifier shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// The colour (0xRRGGBB) of root pixel (x, y), for x and y below 4096.
inline uint32_t Coded(int x, int y) {
    return uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | uint32_t((x >> 8) | (y >> 8) << 4);
}

// Sets the root window's background to the coded pattern; false when the
// display cannot be opened.
bool PaintCodedRoot(const std::string& display);

// The root window's pixels as 0xRRGGBB words; empty when it cannot be read.
struct CodedRoot {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
};
CodedRoot GrabRoot(const std::string& display);

}  // namespace e2e
