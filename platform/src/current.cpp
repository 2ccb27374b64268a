// The process-wide screen, input, hot keys and surfaces. The screen starts as
// the desktop's, opened at its first use; the others start as simulated or
// empty objects. Callers never see a null reference.
//
// The slots are never destroyed: objects of the program that outlive these
// statics in the process's exit (a hot-key registration held by a global
// gives its chords back when it dies) still find what they use. The server
// ends our connections when the process goes.
#include <atomic>
#include <memory>

#include "platform/hotkeys.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/surface.h"
#include "platform/virtual.h"
#include "platform/x11.h"

namespace platform {

uint64_t NewReading() {
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

namespace {

std::unique_ptr<Screen>& ScreenSlot() {
    static auto* slot = new std::unique_ptr<Screen>(std::make_unique<x11::DesktopScreen>());
    return *slot;
}
std::unique_ptr<Input>& InputSlot() {
    static auto* slot = new std::unique_ptr<Input>(std::make_unique<SimulatedInput>());
    return *slot;
}
std::unique_ptr<HotKeys>& HotKeysSlot() {
    static auto* slot = new std::unique_ptr<HotKeys>(std::make_unique<SimulatedHotKeys>());
    return *slot;
}

class NoSurfaces : public Surfaces {
  public:
    std::unique_ptr<Surface> Create(uint64_t, int32_t, int32_t) override { return nullptr; }
};
std::unique_ptr<Surfaces>& SurfacesSlot() {
    static auto* slot = new std::unique_ptr<Surfaces>(std::make_unique<NoSurfaces>());
    return *slot;
}

}  // namespace

Screen& CurrentScreen() {
    return *ScreenSlot();
}
void SetCurrentScreen(std::unique_ptr<Screen> screen) {
    ScreenSlot() = screen ? std::move(screen) : std::make_unique<x11::DesktopScreen>();
}

Input& CurrentInput() {
    return *InputSlot();
}
void SetCurrentInput(std::unique_ptr<Input> input) {
    InputSlot() = input ? std::move(input) : std::make_unique<SimulatedInput>();
}

HotKeys& CurrentHotKeys() {
    return *HotKeysSlot();
}
void SetCurrentHotKeys(std::unique_ptr<HotKeys> hotKeys) {
    HotKeysSlot() = hotKeys ? std::move(hotKeys) : std::make_unique<SimulatedHotKeys>();
}

Surfaces& CurrentSurfaces() {
    return *SurfacesSlot();
}
void SetCurrentSurfaces(std::unique_ptr<Surfaces> surfaces) {
    SurfacesSlot() = surfaces ? std::move(surfaces) : std::make_unique<NoSurfaces>();
}

bool FindDisplay(uint32_t id, DisplayInfo* out) {
    if (id == 0) return false;
    for (const DisplayInfo& d : CurrentScreen().Displays()) {
        if (d.id == id) {
            if (out) *out = d;
            return true;
        }
    }
    return false;
}

}  // namespace platform
