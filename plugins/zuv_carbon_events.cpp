// ZuvCarbonEvents: application event listeners and system-wide hot keys, over
// the platform's global hot keys. Presses arrive through the platform's
// callback, which the framework runs on its event loop, so HotKeyPressed is an
// ordinary event of that loop.
#include <algorithm>
#include <vector>

#include "platform/hotkeys.h"
#include "plugins/zuv_glue.h"
#include "plugins/zuv_libraries.h"

namespace {

// Listening objects, in the order they started listening. Not owning: an
// object leaves the list when it dies, which may be in the process's exit,
// after this file's statics: so the list is never destroyed.
std::vector<CarbonApplicationEventsZUV*>& Listeners() {
    static auto* listeners = new std::vector<CarbonApplicationEventsZUV*>;
    return *listeners;
}

void DeliverPress(uint32_t signature, uint32_t id) {
    // Copy first: a handler may start or stop listeners.
    std::vector<fw::Ref<CarbonApplicationEventsZUV>> targets;
    for (CarbonApplicationEventsZUV* l : Listeners()) targets.emplace_back(l);
    for (const auto& t : targets) t->Event_HotKeyPressed(int32_t(signature), int32_t(id));
}

void Listen(CarbonApplicationEventsZUV* self) {
    if (!self || self->listening) return;
    self->listening = true;
    Listeners().push_back(self);
    platform::CurrentHotKeys().SetCallback(&DeliverPress);
}

void AddKey(CarbonHotKeyZUV* self, int32_t keyCode, int32_t modifiers, int32_t signature,
            int32_t id) {
    if (!self) return;
    int32_t err = platform::CurrentHotKeys().Register(uint32_t(keyCode), uint32_t(modifiers),
                                                      uint32_t(signature), uint32_t(id));
    // The first failure stays reported, like a sticky status of the object.
    if (err != 0 && self->lastError == 0) self->lastError = err;
    if (err == 0) self->ids.push_back(id);
}

int32_t LastError(CarbonHotKeyZUV* self) {
    return self ? self->lastError : 0;
}

void Init() {
    fw::RegisterPluginEntrypoint("CarbonApplicationEventsZUV.Listen",
                                 reinterpret_cast<void*>(&Listen));
    fw::RegisterPluginEntrypoint(
        "CarbonHotKeyZUV.AddKey(keycode as integer, keymodifier as integer, hotkeysignature as "
        "integer, hotkeyid as integer)",
        reinterpret_cast<void*>(&AddKey));
    fw::RegisterPluginEntrypoint("CarbonHotKeyZUV.LastError as integer",
                                 reinterpret_cast<void*>(&LastError));
}

}  // namespace

CarbonApplicationEventsZUV::~CarbonApplicationEventsZUV() {
    auto& l = Listeners();
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

const fw::ClassInfo& CarbonApplicationEventsZUV::ClassInfo() {
    return fw::RegisteredClassInfo<CarbonApplicationEventsZUV>("CarbonApplicationEventsZUV",
                                                               nullptr);
}

const fw::ClassInfo* CarbonApplicationEventsZUV::GetClassInfo() const noexcept {
    return &ClassInfo();
}

void CarbonApplicationEventsZUV::Event_HotKeyPressed(int32_t, int32_t) {}

CarbonHotKeyZUV::~CarbonHotKeyZUV() {
    // The chords live as long as the object that registered them.
    if (!ids.empty()) platform::CurrentHotKeys().UnregisterAll();
}

const fw::ClassInfo& CarbonHotKeyZUV::ClassInfo() {
    return fw::RegisteredClassInfo<CarbonHotKeyZUV>("CarbonHotKeyZUV", nullptr);
}

const fw::ClassInfo* CarbonHotKeyZUV::GetClassInfo() const noexcept {
    return &ClassInfo();
}

namespace zuv {
void RegisterZuvCarbonEvents() {
    fw::RegisterBuiltinPlugin("ZuvCarbonEvents.dylib", &Init);
}
}  // namespace zuv
