#include <algorithm>
#include <utility>

#include "platform/x11.h"

namespace platform::x11 {

DesktopScreen::DesktopScreen()
    : DesktopScreen([]() -> std::unique_ptr<Screen> { return X11Screen::Open(nullptr); },
                    [] { return std::chrono::steady_clock::now(); }) {}

DesktopScreen::DesktopScreen(Opener open, Clock now)
    : open_(std::move(open)), now_(std::move(now)) {}

DesktopScreen::~DesktopScreen() = default;

Screen* DesktopScreen::Opened() {
    if (screen_ || !open_) return screen_.get();
    const auto now = now_();
    if (tried_ && now < nextTry_) return nullptr;
    screen_ = open_();
    if (!screen_) {
        if (tried_) pause_ = std::min(pause_ * 2, kLongestRetry);
        tried_ = true;
        nextTry_ = now + pause_;
    }
    return screen_.get();
}

std::vector<DisplayInfo> DesktopScreen::Displays() {
    std::lock_guard lock(mutex_);
    Screen* s = Opened();
    return s ? s->Displays() : std::vector<DisplayInfo>{};
}

bool DesktopScreen::Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered) {
    std::lock_guard lock(mutex_);
    if (Screen* s = Opened()) return s->Read(displayId, r, out, covered);
    if (out) *out = PixelView{};
    if (covered) *covered = Rect{};
    return false;
}

void DesktopScreen::ReleaseUnused() {
    std::lock_guard lock(mutex_);
    if (screen_) screen_->ReleaseUnused();
}

void DesktopScreen::ShareReads(bool on) {
    // Not a reason to open the display: a screen opened later starts live.
    std::lock_guard lock(mutex_);
    if (screen_) screen_->ShareReads(on);
}

}  // namespace platform::x11
