#include "platform/x11.h"

namespace platform {

bool UseX11(const char* displayName) {
    auto screen = x11::X11Screen::Open(displayName);
    auto input = x11::X11Input::Open(displayName);
    auto hotKeys = x11::X11HotKeys::Open(displayName);
    if (!screen || !input || !hotKeys) return false;
    SetCurrentScreen(std::move(screen));
    SetCurrentInput(std::move(input));
    SetCurrentHotKeys(std::move(hotKeys));
    // Windows without surfaces are shown through the toolkit as before.
    SetCurrentSurfaces(x11::X11Surfaces::Open(displayName));
    return true;
}

}  // namespace platform
