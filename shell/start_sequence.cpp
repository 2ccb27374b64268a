#include "shell/start_sequence.h"

#include <cstdio>
#include <exception>
#include <string>

#include "display/display_window.h"
#include "fw/host/plugins.h"
#include "fw/runtime/loop.h"
#include "fw/ui/application.h"
#include "panel/window2.h"
#include "plugins/disclosure_triangle.h"
#include "plugins/zuv_glue.h"
#include "shell/app.h"
#include "shell/hotkey_module.h"
#include "shell/menu_bars.h"
#include "shell/plugin_entrypoints.h"
#include "shell/settings_module.h"
#include "shell/state_module.h"

int32_t ExitCode = 0;

namespace {

struct PluginLibrary {
    std::string_view fileName;
    // Libraries of which the program calls nothing are not shipped, so they
    // are not loaded either.
    bool used;
    // The capture library is ours and shipped beside the program; its absence
    // is an installation fault worth naming on its own.
    bool required;
};

constexpr PluginLibrary kLibraries[] = {
    {"AppearancePakCocoa.dylib", true, false},
    {"InternetEncodings.dylib", false, false},
    {"ZuvNSBase.dylib", false, false},
    {"ZuvNSScreen.dylib", true, false},
    {"ZuvCarbonEvents.dylib", true, false},
    {"ZuvCF.dylib", false, false},
    {"ZuvCFDictionaryArray.dylib", false, false},
    {"Zuvshot.dylib", true, true},
    {"ZuvMain.dylib", true, false},
};

fw::Object* ExceptionHelper(void (*routine)(void*), void* argument) {
    routine(argument);
    return nullptr;
}

void FrameworkInitialized() {}

void CreateAppObject() {
    fw::Ref<App> app = fw::RuntimeCheckCast<App>(fw::RuntimeNewObject(App::ClassInfo()));
    app->Constructor();
    app->SetMenuBar(MenuBar1::ImplicitInstance());
    fw::RuntimeRegisterAppObject(app);
}

void RegisterAppMenuHandlers() {
    AppObject()->AddMenuHandler("HelpShow",
                                fw::RuntimeCreateDelegate(AppObject(), &App::HelpShow_Action));
    AppObject()->AddMenuHandler("HelpAbout",
                                fw::RuntimeCreateDelegate(AppObject(), &App::HelpAbout_Action));
    AppObject()->AddMenuHandler("FilePrintHelp",
                                fw::RuntimeCreateDelegate(AppObject(), &App::FilePrintHelp_Action));
    AppObject()->AddMenuHandler(
        "DisplayWindowsFour",
        fw::RuntimeCreateDelegate(AppObject(), &App::DisplayWindowsFour_Action));
    AppObject()->AddMenuHandler(
        "DisplayWindowsOne",
        fw::RuntimeCreateDelegate(AppObject(), &App::DisplayWindowsOne_Action));
    AppObject()->AddMenuHandler(
        "DisplayWindowsThree",
        fw::RuntimeCreateDelegate(AppObject(), &App::DisplayWindowsThree_Action));
    AppObject()->AddMenuHandler(
        "DisplayWindowsTwo",
        fw::RuntimeCreateDelegate(AppObject(), &App::DisplayWindowsTwo_Action));
}

}  // namespace

const std::string_view kPluginLibraries[] = {
    kLibraries[0].fileName, kLibraries[1].fileName, kLibraries[2].fileName,
    kLibraries[3].fileName, kLibraries[4].fileName, kLibraries[5].fileName,
    kLibraries[6].fileName, kLibraries[7].fileName, kLibraries[8].fileName,
};
const size_t kPluginLibraryCount = std::size(kLibraries);

void InitClasses() {
    // The glue classes of the outside libraries are known before the
    // libraries are loaded, as the framework's own classes are.
    zuv::RegisterBuiltinLibraries();
    fw::Window::ClassInfo();
    fw::Application::ClassInfo();
    DisclosureTriangle::ClassInfo();
    NSScreenZUV::ClassInfo();
    CarbonApplicationEventsZUV::ClassInfo();
    CarbonHotKeyZUV::ClassInfo();
    App::ClassInfo();
    MenuBar1::ClassInfo();
    MenuBar2::ClassInfo();
    MyEvents::ClassInfo();
    Window2::ClassInfo();
    for (int n = 1; n <= 4; ++n) DisplayWindowClass(n);
    SettingsModule::InitModule();
}

bool StartSequence() {
    for (const PluginLibrary& lib : kLibraries) {
        if (!lib.used) continue;
        if (!fw::RuntimeLoadPlugin(fw::String(lib.fileName)) && lib.required) {
            std::fprintf(stderr,
                         "ostrel4: cannot load the plug-in library %.*s "
                         "(expected in the program's lib/ostrel4 folder)\n",
                         int(lib.fileName.size()), lib.fileName.data());
            return false;
        }
    }
    FillPluginEntrypointsTable();
    bool bound = true;
    for (std::string_view declaration : UnboundPluginDeclarations()) {
        std::fprintf(stderr, "ostrel4: plug-in entry point not found: \"%.*s\"\n",
                     int(declaration.size()), declaration.data());
        bound = false;
    }
    if (!bound) return false;
    CreateAppObject();
    RegisterAppMenuHandlers();
    return true;
}

void FinalizeModules() {
    HotKeyModule::FinalizeModule();
    MenuBarModule::FinalizeModule();
    StateModule::FinalizeMainScreen();
    StateModule::FinalizeWindows();
    SettingsModule::FinalizeModule();
}

int32_t RunProgram() {
    fw::RuntimeInit();
    InitClasses();
    bool started = false;
    try {
        fw::RuntimeSetExceptionHelper(&ExceptionHelper);
        started = StartSequence();
        if (started) {
            fw::RunFrameworkInitialization(&FrameworkInitialized);
            fw::RuntimeRun();
        }
    } catch (const std::exception& e) {
        fw::RuntimeUnhandledException(e);
    }
    FinalizeModules();
    ExitCode = fw::RuntimeExit();
    if (!started && ExitCode == 0) ExitCode = 1;
    return ExitCode;
}
