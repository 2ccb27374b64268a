// System-wide hot keys. A chord is a macOS virtual key code (ANSI layout: 0 = A,
// 1 = S, 2 = D, 3 = F, 4 = H, 5 = G, 6 = Z, 7 = X, 8 = C, 9 = V) with a Carbon
// modifier mask (0x0100 Command, 0x0200 Shift, 0x0800 Option, 0x1000 Control).
// Presses are queued and handed to the callback by Dispatch(), which the
// framework calls on its event loop when FileDescriptor() becomes readable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

namespace carbon {
inline constexpr uint32_t kCommand = 0x0100;
inline constexpr uint32_t kShift = 0x0200;
inline constexpr uint32_t kOption = 0x0800;
inline constexpr uint32_t kControl = 0x1000;
}  // namespace carbon

class HotKeys {
public:
    using Callback = std::function<void(uint32_t signature, uint32_t id)>;
    virtual ~HotKeys() = default;

    // Registers a chord; returns 0 on success, a non-zero error code otherwise.
    // The code is also kept as LastError() (the last failure, never cleared).
    virtual int32_t Register(uint32_t keyCode, uint32_t carbonModifiers, uint32_t signature,
                             uint32_t id) = 0;
    virtual void UnregisterAll() = 0;
    virtual int32_t LastError() const = 0;

    virtual void SetCallback(Callback cb) = 0;
    // A descriptor that is readable while presses may be pending, or -1.
    virtual int FileDescriptor() const = 0;
    // Delivers every pending press to the callback, in order.
    virtual void Dispatch() = 0;
};

HotKeys& CurrentHotKeys();
void SetCurrentHotKeys(std::unique_ptr<HotKeys> hotKeys);

}  // namespace platform
