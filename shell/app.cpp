#include "shell/app.h"

#include "fw/runtime/text.h"
#include "panel/window2.h"
#include "plugins/zuv_glue.h"
#include "shell/plugin_entrypoints.h"
#include "shell/state_module.h"

const fw::ClassInfo& App::ClassInfo() {
    return fw::RegisteredClassInfo<App>("App", &fw::Application::ClassInfo());
}

void App::Event_Open() {
    using namespace StateModule;
    w1Fixed = w2Fixed = w3Fixed = w4Fixed = false;
    MainScreen = NSScreenZUVMembers::mainScreen();
    if (!MainScreen) throw fw::NilObjectException("no main screen");
    ScreenScale = fw::RuntimeCvtReal64ToSInt32(NSScreenZUVMembers::backingScaleFactor(MainScreen));
    Window2::ImplicitInstance()->Show();
}

fw::Ref<App> AppObject() {
    fw::Ref<fw::Application> app = fw::getAppObject();
    if (!app) throw fw::NilObjectException("no application object");
    return fw::RuntimeCheckCast<App>(app);
}
