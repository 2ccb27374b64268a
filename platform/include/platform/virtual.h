// Back-ends without an X server, set up and driven by tests: a screen of
// displays whose pixels the test writes, the mouse and modifier keys as the
// test sets them, and hot keys that the test presses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "platform/hotkeys.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace platform {

// Colours are 0xXXRRGGBB; a display keeps them as BGRX bytes, the layout that a
// read hands out, so the fourth byte of a read is the XX of the colour written.
class VirtualScreen : public Screen {
  public:
    // Adds a display; returns its id, or 0 when the arguments make no display
    // (empty bounds, pixels per point outside 1..8, more pixels than fit in memory).
    // The display marked main becomes the main one; without any, the first added is.
    uint32_t AddDisplay(Rect boundsInPoints, int32_t pixelsPerPoint = 1, int32_t bitsPerSample = 8,
                        int32_t samplesPerPixel = 3, bool isMain = false);
    bool RemoveDisplay(uint32_t id);
    void RemoveAll();

    // Writes pixels in the display's own pixel coordinates; whatever lies outside
    // the display is ignored. False for an unknown display.
    bool Fill(uint32_t id, uint32_t xrgb);
    bool FillRect(uint32_t id, Rect pixels, uint32_t xrgb);
    bool SetPixel(uint32_t id, int32_t x, int32_t y, uint32_t xrgb);
    // `xrgb` holds `r.width` colours a row, `r.height` rows, top row first.
    bool SetPixels(uint32_t id, Rect r, const uint32_t* xrgb);
    // The colour at a pixel, 0 outside the display.
    uint32_t PixelAt(uint32_t id, int32_t x, int32_t y) const;

    // Makes every following read fail (as after a lost connection), or not.
    void SetReadsFail(bool fail) { readsFail_ = fail; }
    uint64_t ReadCount() const { return readCount_; }

    std::vector<DisplayInfo> Displays() override;
    bool Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered = nullptr) override;

  private:
    struct VDisplay {
        DisplayInfo info;
        std::vector<uint8_t> bgrx;
        uint64_t reading = 0;  // renamed at every change of the pixels
    };
    VDisplay* Find(uint32_t id);
    const VDisplay* Find(uint32_t id) const;

    std::vector<VDisplay> displays_;  // the main display first
    uint32_t nextId_ = 1;
    bool readsFail_ = false;
    uint64_t readCount_ = 0;
};

class SimulatedInput : public Input {
  public:
    void SetMousePosition(Point p) { mouse_ = p; }
    void SetModifiers(Modifiers m) { modifiers_ = m; }

    Point MousePosition() override {
        ++readCount_;
        return mouse_;
    }
    Modifiers ModifierState() override {
        ++readCount_;
        return modifiers_;
    }
    InputState State() override {
        ++readCount_;
        return InputState{mouse_, modifiers_};
    }
    // Readings taken so far, each of the three calls counting one, as each
    // costs a real back-end one request.
    uint64_t ReadCount() const { return readCount_; }

  private:
    Point mouse_;
    Modifiers modifiers_;
    uint64_t readCount_ = 0;
};

// Presses are queued and an eventfd is signalled, so an event loop that watches
// FileDescriptor() wakes just as it would for a real key press.
class SimulatedHotKeys : public HotKeys {
  public:
    struct Chord {
        uint32_t keyCode = 0;
        uint32_t modifiers = 0;
        uint32_t signature = 0;
        uint32_t id = 0;
    };

    SimulatedHotKeys();
    ~SimulatedHotKeys() override;
    SimulatedHotKeys(const SimulatedHotKeys&) = delete;
    SimulatedHotKeys& operator=(const SimulatedHotKeys&) = delete;

    // Presses a chord; true when a registered chord matched and was queued.
    bool Press(uint32_t keyCode, uint32_t carbonModifiers);
    // Every following registration fails with `code` (0: they succeed again).
    void FailRegistrations(int32_t code) { failAll_ = code; }
    // Only this chord's registrations fail with `code`.
    void FailChord(uint32_t keyCode, uint32_t carbonModifiers, int32_t code);
    // The chords in force, in the order they were registered.
    const std::vector<Chord>& Registered() const { return registered_; }
    size_t Pending() const { return pending_.size(); }

    int32_t Register(uint32_t keyCode, uint32_t carbonModifiers, uint32_t signature,
                     uint32_t id) override;
    void UnregisterAll() override;
    int32_t LastError() const override { return lastError_; }
    void SetCallback(Callback cb) override { callback_ = std::move(cb); }
    int FileDescriptor() const override { return fd_; }
    void Dispatch() override;

  private:
    struct Failure {
        uint32_t keyCode;
        uint32_t modifiers;
        int32_t code;
    };
    std::vector<Chord> registered_;
    std::vector<Failure> failures_;
    std::deque<std::pair<uint32_t, uint32_t>> pending_;
    Callback callback_;
    int32_t failAll_ = 0;
    int32_t lastError_ = 0;
    int fd_ = -1;
};

}  // namespace platform
