// The X11 back-ends of the screen, the input, the global hot keys and the
// window surfaces.
//
// Each object has a connection of its own. X protocol errors on these
// connections are recorded instead of ending the process; when the server goes
// away, reads fail and the hot keys stop, but the process lives on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/hotkeys.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/surface.h"

namespace platform {

// Opens the X11 screen, input, hot keys and surfaces on `displayName` (the
// DISPLAY environment variable when null) and makes them current. False, with
// nothing changed, when the display cannot be opened.
bool UseX11(const char* displayName = nullptr);

namespace x11 {

// Called the first time one of this library's X connections is found gone
// (the server died, the session ended), with the connection's display name;
// none by default, so that the process lives on. It may run inside Xlib's
// handlers, on whichever thread made the call that failed: a program that
// cannot go on without its display ends there, with async-signal-safe calls.
using ConnectionLostHandler = void (*)(const char* displayName);
void SetConnectionLostHandler(ConnectionLostHandler handler);

// The number of device pixels in one point of the desktop, as the toolkit
// above scales it (1 unless someone says otherwise; values below 1 count as 1).
void SetPixelsPerPoint(int pixelsPerPoint);
int PixelsPerPoint();

// Error codes of the hot keys.
inline constexpr int32_t kErrorChordTaken = -9878;  // another client holds the chord
inline constexpr int32_t kErrorBadChord = -50;      // key code or modifiers not supported
inline constexpr int32_t kErrorConnection = -1;     // the connection is gone or refused

enum class PixelPath {
    Automatic,    // shared memory when the server offers it, plain requests otherwise
    PlainRequest  // always plain image requests (what a remote display gets)
};

class X11Screen : public Screen {
  public:
    static std::unique_ptr<X11Screen> Open(const char* displayName = nullptr,
                                           PixelPath path = PixelPath::Automatic);
    ~X11Screen() override;

    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    std::vector<DisplayInfo> Displays() override;
    bool Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered = nullptr) override;
    // Shared segments that no read has needed for a few seconds go, here and
    // at every read; a segment counts as needed by reads that fill at least
    // half of it.
    void ReleaseUnused() override;
    // Serves only readings whose memory it can hand out (shared memory of the
    // server's own pixel layout); others are read afresh.
    void ShareReads(bool on) override;
    // Another way to tell the time, for tests; the steady clock by default.
    void SetClock(Clock now);

    bool UsesSharedMemory() const;
    // Shared segments created so far; steady reads of one size create none.
    uint64_t SegmentsCreated() const;
    // The bytes of the shared segments kept now.
    size_t SegmentBytes() const;
    bool ConnectionLost() const;

    struct Impl;

  private:
    explicit X11Screen(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class X11Input : public Input {
  public:
    static std::unique_ptr<X11Input> Open(const char* displayName = nullptr);
    ~X11Input() override;

    Point MousePosition() override;
    Modifiers ModifierState() override;
    // One request for both.
    InputState State() override;

    struct Impl;

  private:
    explicit X11Input(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class X11HotKeys : public HotKeys {
  public:
    static std::unique_ptr<X11HotKeys> Open(const char* displayName = nullptr);
    ~X11HotKeys() override;

    int32_t Register(uint32_t keyCode, uint32_t carbonModifiers, uint32_t signature,
                     uint32_t id) override;
    void UnregisterAll() override;
    int32_t LastError() const override;
    void SetCallback(Callback cb) override;
    // The connection's socket; -1 once the connection is lost, so that a watcher
    // stops waking on its end-of-file.
    int FileDescriptor() const override;
    void Dispatch() override;

    struct Impl;

  private:
    explicit X11HotKeys(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The screen of a process that chose none: the desktop it runs on, which is
// the X display named by DISPLAY. Nothing is opened before the first call that
// asks for the displays or their pixels, so loading a library that captures
// costs no connection, and a process that never captures makes none. While the
// display cannot be opened (DISPLAY unset, no server there) the screen has no
// display, and the open is tried again only after a pause that doubles with
// every failure, since reaching a remote server that is gone can take a network
// timeout each time. Only the screen is opened: input and hot keys stay with
// whoever chose them.
//
// A lock keeps two threads from using the connection at once, but the pixels
// of a read that its reader may not keep are overwritten by the next read,
// from whichever thread; captures are meant to come from one thread at a time.
class DesktopScreen : public Screen {
  public:
    using Opener = std::function<std::unique_ptr<Screen>()>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds kFirstRetry{1000};
    static constexpr std::chrono::milliseconds kLongestRetry{64000};

    // The X display named by DISPLAY, on the steady clock.
    DesktopScreen();
    // Another way to open and tell the time, for tests.
    DesktopScreen(Opener open, Clock now);
    ~DesktopScreen() override;

    std::vector<DisplayInfo> Displays() override;
    bool Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered = nullptr) override;
    // Opens nothing: a screen not opened yet keeps nothing.
    void ReleaseUnused() override;
    void ShareReads(bool on) override;

  private:
    Screen* Opened();  // with mutex_ held; null while there is no display

    Opener open_;
    Clock now_;
    std::mutex mutex_;
    std::unique_ptr<Screen> screen_;
    bool tried_ = false;
    std::chrono::steady_clock::time_point nextTry_{};
    std::chrono::milliseconds pause_ = kFirstRetry;
};

// Surfaces in memory shared with the server (MIT-SHM), shown with XShmPutImage
// on a connection of their own; they need a 24- or 32-bit true-colour window
// in the byte order of this machine.
class X11Surfaces : public Surfaces {
  public:
    // Connects at the first Create, so a program that never asks pays nothing;
    // from then on Create gives null if the display could not be opened or
    // offers no shared memory.
    static std::unique_ptr<X11Surfaces> Open(const char* displayName = nullptr);
    ~X11Surfaces() override;

    std::unique_ptr<Surface> Create(uint64_t window, int32_t width, int32_t height) override;

    struct Impl;

  private:
    explicit X11Surfaces(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

}  // namespace x11
}  // namespace platform
