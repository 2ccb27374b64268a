// The one model of the desktop that every layer reads: a list of displays and
// a way to read a rectangle of a display's pixels.
//
// Coordinates are global desktop points: origin at the top-left corner of the
// main display, x to the right, y downwards. A display of two pixels per point
// has pixel bounds twice its point bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct DisplayInfo {
    uint32_t id = 0;  // non-zero, stable for the life of the display
    Rect bounds;      // in points, global desktop coordinates
    int32_t pixelsPerPoint = 1;
    int32_t bitsPerSample = 8;
    int32_t samplesPerPixel = 3;
    bool isMain = false;  // exactly one display is the main display
    int32_t PixelWidth() const { return bounds.width * pixelsPerPoint; }
    int32_t PixelHeight() const { return bounds.height * pixelsPerPoint; }
};

// Pixels of a read: 32 bits a pixel, bytes blue, green, red, unused (the
// layout of a 24-bit X11 ZPixmap on a little-endian machine); rows top first.
// The memory belongs to the screen and stays valid until its next read, or,
// when the screen hands out `keep`, for as long as anyone holds that: the
// screen then reads into other memory meanwhile, so a holder can keep the
// pixels instead of copying them.
struct PixelView {
    const uint8_t* data = nullptr;
    size_t stride = 0;  // bytes from one row to the next
    int32_t width = 0;
    int32_t height = 0;
    std::shared_ptr<const void> keep;
    // How much memory `keep` holds alive, which may be much more than the
    // view shows (0 when not known).
    size_t keptBytes = 0;
    // Names the moment the pixels show, when the screen knows it (else 0):
    // two views of one reading and one rectangle hold the same pixels.
    uint64_t reading = 0;
};

// A name for a new reading, never given before in this process.
uint64_t NewReading();

class Screen {
  public:
    virtual ~Screen() = default;

    // The active displays, the main display first.
    virtual std::vector<DisplayInfo> Displays() = 0;

    // Reads the rectangle `r` given in the display's own pixel coordinates
    // (origin at its top-left pixel). The part of `r` that lies outside the
    // display is clipped away: the view holds only the covered part, and
    // `covered` (when not null) receives that part in display pixels. Returns
    // false, with an empty view, when nothing is covered, the display is
    // unknown or the read failed (a lost X connection, for instance). Whatever
    // `out` held before is let go of first.
    virtual bool Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered = nullptr) = 0;

    // Lets go of memory kept for reads that no read has needed for a while.
    // Cheap enough to call on every turn of the event loop.
    virtual void ReleaseUnused() {}

    // While on (one moment of the event loop: a batch of timer ticks that
    // fall due together, or one event), a read that lies inside the last read
    // of the same display is served from that reading, so that the captures
    // of one batch ask the server once and show the same instant. Reads are
    // live again once it is off; turning it either way forgets the reading.
    virtual void ShareReads(bool on) { (void)on; }
};

// The process-wide screen. A screen set here wins; until one is set, or after
// null is set, it is the desktop the process runs on (x11::DesktopScreen): the
// X display named by DISPLAY, opened at the first call that needs it, and no
// display at all where there is none. Set it before other threads capture.
Screen& CurrentScreen();
void SetCurrentScreen(std::unique_ptr<Screen> screen);

// Looks a display up by id in the current screen's list; false when unknown.
bool FindDisplay(uint32_t id, DisplayInfo* out);

}  // namespace platform
