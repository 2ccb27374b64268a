// System-wide chords that switch a display window between following the mouse
// (Normal mode) and staring at a point (Fixed mode).
#pragma once

#include <cstdint>

#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/ui/color.h"
#include "plugins/zuv_glue.h"

// Status light colours of the control panel.
inline constexpr fw::Color FixedLightColor{255, 0, 0, 0};
inline constexpr fw::Color NormalLightColor{255, 255, 255, 0};

// The one listener of the hot keys.
class MyEvents : public CarbonApplicationEventsZUV {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override;

    void Event_HotKeyPressed(int32_t first, int32_t id) override;
};

namespace HotKeyModule {

extern fw::Ref<MyEvents> hotKeyEvents;
extern fw::Ref<CarbonHotKeyZUV> hotKeys;

// Carbon modifier masks of the two chord families.
inline constexpr int32_t kCommandOption = 0x0900;
inline constexpr int32_t kCommandControl = 0x1100;

struct HotKey {
    int32_t id;
    int32_t keyCode;  // macOS virtual key code, ANSI layout
    int32_t modifiers;
};
// Ids 0..3 fix display windows 1..4, ids 10..13 return them to Normal mode;
// the other letters are registered all the same and do nothing.
extern const HotKey kHotKeys[20];

inline constexpr char kSignatureText[] = "ZUVG";
inline constexpr char kRegistrationFailedText[] = "The Hotkey could not be registered!";

// Registers the twenty chords; shows one message when any registration failed.
void RegisterHotKeys();

// End of the run: the listener first, then the chords.
void FinalizeModule();

}  // namespace HotKeyModule
