#include "fw/ui/application.h"

#include <cstdio>
#include <typeinfo>

#include "fw/runtime/exceptions.h"
#include "fw/ui/menu.h"
#include "ui/ui_state.h"

#ifndef OSTREL_VERSION_TEXT
#define OSTREL_VERSION_TEXT "0.0.0"
#endif

namespace fw {
namespace {
// Never destroyed: the application object holds menus and handlers of the
// program, which may not be taken apart after the framework's own state when
// the process ends through exit().
Ref<Application>& AppObject() {
    static auto* app = new Ref<Application>;
    return *app;
}
ExceptionHelper g_helper = nullptr;

struct Call {
    const std::function<void()>* fn;
    bool failed = false;
};

void RunCall(void* arg) {
    auto* call = static_cast<Call*>(arg);
    try {
        (*call->fn)();
    } catch (const std::exception& e) {
        RuntimeUnhandledException(e);
    } catch (...) {
        RuntimeUnhandledException(RuntimeException("unknown exception"));
    }
}
}  // namespace

const fw::ClassInfo& Application::ClassInfo() {
    static const fw::ClassInfo info("Application", nullptr, &CreateInstance<Application>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

Application::Application() = default;
Application::~Application() = default;

void Application::SetMenuBar(Ref<fw::MenuBar> bar) {
    menuBar_ = std::move(bar);
    detail::ScheduleMenuRefresh();
}

String Application::LongVersion() const {
    return String(OSTREL_VERSION_TEXT);
}

void Application::AddMenuHandler(const String& itemName, MenuHandler handler) {
    for (auto& [name, h] : menuHandlers_) {
        if (name == itemName) {
            h = std::move(handler);
            return;
        }
    }
    menuHandlers_.emplace_back(itemName, std::move(handler));
}

bool Application::HandleMenuItem(const String& itemName) {
    for (auto& [name, h] : menuHandlers_) {
        if (name == itemName && h) {
            MenuHandler copy = h;
            return copy();
        }
    }
    return false;
}

void RuntimeRegisterAppObject(Ref<Application> app) {
    AppObject() = std::move(app);
    detail::ScheduleMenuRefresh();
}

Ref<Application> getAppObject() {
    return AppObject();
}

void RuntimeSetExceptionHelper(ExceptionHelper helper) {
    g_helper = helper;
}

void RunFrameworkInitialization(void (*callback)()) {
    detail::EnsureToolkit();
    if (callback) callback();
}

void RuntimeUnhandledException(const std::exception& error) {
    const char* name = nullptr;
    if (auto* fwError = dynamic_cast<const RuntimeException*>(&error)) {
        name = fwError->ClassName();
    } else {
        name = typeid(error).name();
    }
    std::fprintf(stderr, "%s: %s\n", name, error.what());
    std::fflush(stderr);
}

void RuntimeDispatch(const std::function<void()>& fn) {
    detail::InputMoment moment;
    Call call{&fn};
    if (g_helper) {
        g_helper(&RunCall, &call);
    } else {
        RunCall(&call);
    }
}

}  // namespace fw
