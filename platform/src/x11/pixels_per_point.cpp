#include <atomic>

#include "platform/x11.h"

namespace platform::x11 {
namespace {
std::atomic<int> pixelsPerPoint{1};
}

void SetPixelsPerPoint(int p) {
    pixelsPerPoint.store(p < 1 ? 1 : p, std::memory_order_relaxed);
}
int PixelsPerPoint() {
    return pixelsPerPoint.load(std::memory_order_relaxed);
}

}  // namespace platform::x11
