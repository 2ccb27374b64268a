// ZuvNSScreen: the main screen and its backing scale factor, from the platform Screen.
#include "platform/screen.h"
#include "plugins/zuv_glue.h"
#include "plugins/zuv_libraries.h"

const fw::ClassInfo& NSScreenZUV::ClassInfo() {
    return fw::RegisteredClassInfo<NSScreenZUV>("NSScreenZUV", nullptr);
}

const fw::ClassInfo* NSScreenZUV::GetClassInfo() const noexcept {
    return &ClassInfo();
}

namespace {

NSScreenZUV* MainScreen() {
    for (const platform::DisplayInfo& d : platform::CurrentScreen().Displays()) {
        if (!d.isMain) continue;
        fw::Ref<NSScreenZUV> screen = fw::New<NSScreenZUV>();
        screen->displayId = d.id;
        return screen.Detach();
    }
    return nullptr;
}

double BackingScaleFactor(NSScreenZUV* self) {
    platform::DisplayInfo d;
    if (!self || !platform::FindDisplay(self->displayId, &d)) return 1.0;
    return double(d.pixelsPerPoint);
}

void Init() {
    fw::RegisterPluginEntrypoint("NSScreenZUV.mainScreen as NSScreenZUV",
                                 reinterpret_cast<void*>(&MainScreen));
    fw::RegisterPluginEntrypoint("NSScreenZUV.backingScaleFactor as double",
                                 reinterpret_cast<void*>(&BackingScaleFactor));
}

}  // namespace

namespace zuv {
void RegisterZuvNSScreen() {
    fw::RegisterBuiltinPlugin("ZuvNSScreen.dylib", &Init);
}
}  // namespace zuv
