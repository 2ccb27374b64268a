// The program's bindings to plug-in functions and plug-in class members. Each
// is looked up once, at start, by its exact declaration string into
// PluginEntrypointsTable; every later call goes through the routine below,
// which reads its entry. An entry that is not bound is never called: its
// routine raises NilObjectException naming the declaration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"

namespace fw {
class Picture;
}
class NSScreenZUV;
class CarbonApplicationEventsZUV;
class CarbonHotKeyZUV;

// Indexes of the entry table, in the order of kPluginDeclarations.
enum PluginEntry : size_t {
    kEntryPlaceholder = 0,
    kEntryScreenshotDisplay,
    kEntryScreenshotRect,
    kEntryOSTypeFromString,
    kEntryMainScreen,
    kEntryBackingScaleFactor,
    kEntryListen,
    kEntryAddKey,
    kEntryLastError,
    kPluginEntryCount
};

// The declaration string of each entry; entry 0 is the placeholder "_".
extern const std::string_view kPluginDeclarations[kPluginEntryCount];

extern std::vector<void*> PluginEntrypointsTable;

// Fills the table: entry k is the lookup of declaration k.
void FillPluginEntrypointsTable();
// The declarations past the placeholder whose entries are not bound.
std::vector<std::string_view> UnboundPluginDeclarations();

fw::Ref<fw::Picture> ScreenshotDisplayZUV(int32_t index);
fw::Ref<fw::Picture> ScreenshotRectZUV(int32_t left, int32_t top, int32_t width, int32_t height);
int32_t OSTypeFromStringZUV(const fw::String& str);

namespace NSScreenZUVMembers {
fw::Ref<NSScreenZUV> mainScreen();
double backingScaleFactor(const fw::Ref<NSScreenZUV>& self);
}  // namespace NSScreenZUVMembers

namespace CarbonApplicationEventsZUVMembers {
void Listen(const fw::Ref<CarbonApplicationEventsZUV>& self);
}

namespace CarbonHotKeyZUVMembers {
void AddKey(const fw::Ref<CarbonHotKeyZUV>& self, int32_t keyCode, int32_t modifiers,
            int32_t signature, int32_t id);
int32_t LastError(const fw::Ref<CarbonHotKeyZUV>& self);
}  // namespace CarbonHotKeyZUVMembers
