// Waits for another client's requests to take effect on the X server: asks
// `done` until it holds, up to a hundred times, `step` apart.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds step = std::chrono::milliseconds(20)) {
    for (int i = 0; i < 100; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(step);
    }
    return done();
}

}  // namespace testsupport
