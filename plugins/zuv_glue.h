// The classes of the outside plug-in libraries that the program uses, as the
// program sees them, and the shape of every member that the program binds by
// its declaration string. The members themselves live in the plug-in
// libraries and are reached only through the program's entry table; the
// declarations below are the contract between the two sides.
#pragma once

#include <cstdint>
#include <vector>

#include "fw/host/plugins.h"
#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/runtime/string.h"

// ---- ZuvNSScreen ----

// A screen of the desktop; the program only ever asks for the main one.
class NSScreenZUV : public fw::Object {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override;

    uint32_t displayId = 0;  // the platform display it stands for
};

// "NSScreenZUV.mainScreen as NSScreenZUV": the main screen with one reference
// for the caller, or nullptr.
using NSScreenMainScreenFn = NSScreenZUV* (*)();
// "NSScreenZUV.backingScaleFactor as double": pixels per point.
using NSScreenBackingScaleFactorFn = double (*)(NSScreenZUV* self);

// ---- ZuvCarbonEvents ----

// Listener for application-wide events. Subclasses handle HotKeyPressed by
// overriding its hook.
class CarbonApplicationEventsZUV : public fw::Object {
  public:
    ~CarbonApplicationEventsZUV() override;
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override;

    // Event HotKeyPressed: raised on the event loop once per press of a
    // registered chord; `id` is the id the chord was registered with.
    virtual void Event_HotKeyPressed(int32_t first, int32_t id);

    bool listening = false;
};

// "CarbonApplicationEventsZUV.Listen"
using CarbonEventsListenFn = void (*)(CarbonApplicationEventsZUV* self);

// Holds system-wide chords for as long as it lives.
class CarbonHotKeyZUV : public fw::Object {
  public:
    ~CarbonHotKeyZUV() override;
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override;

    int32_t lastError = 0;
    std::vector<int32_t> ids;  // the chords this object registered
};

// "CarbonHotKeyZUV.AddKey(keycode as integer, keymodifier as integer,
//  hotkeysignature as integer, hotkeyid as integer)"
using CarbonHotKeyAddKeyFn = void (*)(CarbonHotKeyZUV* self, int32_t keyCode, int32_t modifiers,
                                      int32_t signature, int32_t id);
// "CarbonHotKeyZUV.LastError as integer": 0 while every registration succeeded.
using CarbonHotKeyLastErrorFn = int32_t (*)(CarbonHotKeyZUV* self);

// ---- ZuvMain ----

// "MainGlobalsZUV.OSTypeFromStringZUV(str as string) as integer"
using OSTypeFromStringFn = int32_t (*)(PluginString str);

// ---- loading ----

namespace zuv {
// Registers the stand-in libraries with the framework under their file names,
// so that the start sequence's RuntimeLoadPlugin finds them. Idempotent.
void RegisterBuiltinLibraries();
}  // namespace zuv
