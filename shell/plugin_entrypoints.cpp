#include "shell/plugin_entrypoints.h"

#include <string>

#include "fw/host/plugins.h"
#include "fw/ui/picture.h"
#include "plugin_sdk.h"
#include "plugins/zuv_glue.h"

const std::string_view kPluginDeclarations[kPluginEntryCount] = {
    "_",
    "ScreenshotZUVGlobalsZUV.ScreenshotDisplayZUV(index as integer) as picture",
    "ScreenshotZUVGlobalsZUV.ScreenshotRectZUV(left as integer, top as integer, width as "
    "integer, height as integer) as picture",
    "MainGlobalsZUV.OSTypeFromStringZUV(str as string) as integer",
    "NSScreenZUV.mainScreen as NSScreenZUV",
    "NSScreenZUV.backingScaleFactor as double",
    "CarbonApplicationEventsZUV.Listen",
    "CarbonHotKeyZUV.AddKey(keycode as integer, keymodifier as integer, hotkeysignature as "
    "integer, hotkeyid as integer)",
    "CarbonHotKeyZUV.LastError as integer",
};

std::vector<void*> PluginEntrypointsTable;

void FillPluginEntrypointsTable() {
    PluginEntrypointsTable.assign(kPluginEntryCount, nullptr);
    for (size_t k = 0; k < kPluginEntryCount; ++k)
        PluginEntrypointsTable[k] =
            fw::RuntimeLookupPluginEntrypoint(fw::String(kPluginDeclarations[k]));
}

std::vector<std::string_view> UnboundPluginDeclarations() {
    std::vector<std::string_view> unbound;
    for (size_t k = 1; k < kPluginEntryCount; ++k)
        if (k >= PluginEntrypointsTable.size() || !PluginEntrypointsTable[k])
            unbound.push_back(kPluginDeclarations[k]);
    return unbound;
}

namespace {

// The entry as a function of the given type; an unbound entry is refused
// before anything is called through it.
template <class Fn>
Fn Entry(PluginEntry k) {
    void* p = k < PluginEntrypointsTable.size() ? PluginEntrypointsTable[k] : nullptr;
    if (!p)
        throw fw::NilObjectException("plug-in entry point not bound: " +
                                     std::string(kPluginDeclarations[k]));
    return reinterpret_cast<Fn>(p);
}

}  // namespace

fw::Ref<fw::Picture> ScreenshotDisplayZUV(int32_t index) {
    auto fn = Entry<ScreenshotDisplayFn>(kEntryScreenshotDisplay);
    fw::Ref<fw::Picture> picture = fw::AdoptPluginPicture(fn(index));
    fw::RaisePendingPluginException();
    return picture;
}

fw::Ref<fw::Picture> ScreenshotRectZUV(int32_t left, int32_t top, int32_t width, int32_t height) {
    auto fn = Entry<ScreenshotRectFn>(kEntryScreenshotRect);
    fw::Ref<fw::Picture> picture = fw::AdoptPluginPicture(fn(left, top, width, height));
    fw::RaisePendingPluginException();
    return picture;
}

int32_t OSTypeFromStringZUV(const fw::String& str) {
    auto fn = Entry<OSTypeFromStringFn>(kEntryOSTypeFromString);
    int32_t result;
    {
        fw::PluginStringArg arg(str);
        result = fn(arg.Get());
    }
    fw::RaisePendingPluginException();
    return result;
}

namespace NSScreenZUVMembers {

fw::Ref<NSScreenZUV> mainScreen() {
    auto fn = Entry<NSScreenMainScreenFn>(kEntryMainScreen);
    return fw::Ref<NSScreenZUV>::Adopt(fn());
}

double backingScaleFactor(const fw::Ref<NSScreenZUV>& self) {
    auto fn = Entry<NSScreenBackingScaleFactorFn>(kEntryBackingScaleFactor);
    return fn(&*self);
}

}  // namespace NSScreenZUVMembers

namespace CarbonApplicationEventsZUVMembers {

void Listen(const fw::Ref<CarbonApplicationEventsZUV>& self) {
    auto fn = Entry<CarbonEventsListenFn>(kEntryListen);
    fn(&*self);
}

}  // namespace CarbonApplicationEventsZUVMembers

namespace CarbonHotKeyZUVMembers {

void AddKey(const fw::Ref<CarbonHotKeyZUV>& self, int32_t keyCode, int32_t modifiers,
            int32_t signature, int32_t id) {
    auto fn = Entry<CarbonHotKeyAddKeyFn>(kEntryAddKey);
    fn(&*self, keyCode, modifiers, signature, id);
}

int32_t LastError(const fw::Ref<CarbonHotKeyZUV>& self) {
    auto fn = Entry<CarbonHotKeyLastErrorFn>(kEntryLastError);
    return fn(&*self);
}

}  // namespace CarbonHotKeyZUVMembers
