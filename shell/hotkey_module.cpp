#include "shell/hotkey_module.h"

#include <utility>

#include "fw/system/input.h"
#include "fw/ui/dialogs.h"
#include "panel/window2.h"
#include "shell/plugin_entrypoints.h"
#include "shell/state_module.h"

namespace HotKeyModule {

fw::Ref<MyEvents> hotKeyEvents;
fw::Ref<CarbonHotKeyZUV> hotKeys;

const HotKey kHotKeys[20] = {
    {0, 0, kCommandOption},   {1, 8, kCommandOption},   {2, 2, kCommandOption},
    {3, 3, kCommandOption},   {4, 5, kCommandOption},   {5, 4, kCommandOption},
    {6, 1, kCommandOption},   {7, 9, kCommandOption},   {8, 7, kCommandOption},
    {9, 6, kCommandOption},   {10, 0, kCommandControl}, {11, 8, kCommandControl},
    {12, 2, kCommandControl}, {13, 3, kCommandControl}, {14, 5, kCommandControl},
    {15, 4, kCommandControl}, {16, 1, kCommandControl}, {17, 9, kCommandControl},
    {18, 7, kCommandControl}, {19, 6, kCommandControl},
};

void RegisterHotKeys() {
    hotKeyEvents = fw::RuntimeCheckCast<MyEvents>(fw::RuntimeNewObject(MyEvents::ClassInfo()));
    CarbonApplicationEventsZUVMembers::Listen(hotKeyEvents);
    hotKeys =
        fw::RuntimeCheckCast<CarbonHotKeyZUV>(fw::RuntimeNewObject(CarbonHotKeyZUV::ClassInfo()));
    for (const HotKey& key : kHotKeys) {
        const int32_t signature = OSTypeFromStringZUV(kSignatureText);
        CarbonHotKeyZUVMembers::AddKey(hotKeys, key.keyCode, key.modifiers, signature, key.id);
    }
    // One message however many chords failed; those that did register stay.
    if (CarbonHotKeyZUVMembers::LastError(hotKeys) != 0) fw::MsgBox(kRegistrationFailedText);
}

void FinalizeModule() {
    fw::Ref<MyEvents> events = std::exchange(hotKeyEvents, fw::Ref<MyEvents>());
    events.Reset();
    fw::Ref<CarbonHotKeyZUV> keys = std::exchange(hotKeys, fw::Ref<CarbonHotKeyZUV>());
    keys.Reset();
}

}  // namespace HotKeyModule

const fw::ClassInfo& MyEvents::ClassInfo() {
    return fw::RegisteredClassInfo<MyEvents>("HotKeyModule.MyEvents",
                                             &CarbonApplicationEventsZUV::ClassInfo());
}

const fw::ClassInfo* MyEvents::GetClassInfo() const noexcept {
    return &ClassInfo();
}

void MyEvents::Event_HotKeyPressed(int32_t, int32_t id) {
    // Ids 0..3 fix display windows 1..4 on the point under the mouse; ids
    // 10..13 return them to following the mouse and keep the point. A hidden
    // window changes all the same: it shows the state when shown again.
    for (int n = 1; n <= 4; ++n) {
        const StateModule::DisplayState& st = StateModule::Display(n);
        if (id == n - 1) {
            *st.fixed = true;
            *st.fixedX = fw::System::MouseX();
            *st.fixedY = fw::System::MouseY();
            Window2::ImplicitInstance()->Alarm(n)->SetFillColor(FixedLightColor);
        }
    }
    for (int n = 1; n <= 4; ++n) {
        const StateModule::DisplayState& st = StateModule::Display(n);
        if (id == n + 9) {
            *st.fixed = false;
            Window2::ImplicitInstance()->Alarm(n)->SetFillColor(NormalLightColor);
        }
    }
}
