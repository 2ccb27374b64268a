// A deterministic desktop for the capture tests: displays whose pixels follow
// a fixed pattern, installed as the process-wide platform Screen.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/screen.h"
#include "recording_host.h"

namespace rechost {

struct DisplaySpec {
    uint32_t id;
    platform::Rect bounds;  // points
    int32_t pixelsPerPoint = 1;
    int32_t bitsPerSample = 8;
};

// The first display is the main one.
void UseDesktop(const std::vector<DisplaySpec>& displays);
platform::DisplayInfo DisplayOf(uint32_t id);
// The pattern colour of a display's pixel.
Rgb DisplayPixelColour(uint32_t id, int32_t px, int32_t py);
// The colour at a global point of a one-pixel-per-point display; black where
// no display is.
Rgb PointColour(int32_t x, int32_t y);
void HideQuickDrawFunction(const char* name, bool hidden);

}  // namespace rechost
