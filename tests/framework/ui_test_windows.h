// Small window classes shared by the framework's user-interface tests.
#pragma once

#include <string>
#include <vector>

#include "fw/runtime/classinfo.h"
#include "fw/ui/controls.h"
#include "fw/ui/properties.h"
#include "fw/ui/window.h"

namespace uitest {

// Records every window event it sees, in order, into `log`.
class ProbeWindow : public fw::Window {
  public:
    static const fw::ClassInfo& ClassInfo() {
        static const fw::ClassInfo info("Probe.Probe", &fw::Window::ClassInfo(),
                                        &fw::CreateInstance<ProbeWindow>);
        fw::RegisterClass(info);
        return info;
    }
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    ProbeWindow() {
        HookEvent(fw::WindowEvent::kLayout, this, &ProbeWindow::Layout);
        HookEvent(fw::WindowEvent::kCreateControls, this, &ProbeWindow::CreateControls);
        HookEvent(fw::WindowEvent::kAddMenuHandlers, [this] { log.push_back("AddMenuHandlers"); });
        HookEvent(fw::WindowEvent::kOpen, [this] {
            log.push_back("Open");
            foundDuringOpen = fw::RuntimeGetImplicitWindow("Probe.Probe").Get() == this;
        });
        HookEvent(fw::WindowEvent::kClose, [this] { log.push_back("Close"); });
        HookEvent(fw::WindowEvent::kMoved, [this] {
            log.push_back("Moved " + std::to_string(Left()) + "," + std::to_string(Top()));
        });
        HookEvent(fw::WindowEvent::kResized, [this] {
            log.push_back("Resized " + std::to_string(Width()) + "x" + std::to_string(Height()));
        });
    }

    void Layout() {
        log.push_back("Layout");
        fw::RuntimeMassPropertySetter(*this, layout);
    }
    void CreateControls() {
        log.push_back("CreateControls");
        auto label = fw::RuntimeCheckCast<fw::Label>(New(fw::Label::ClassInfo()));
        label->Constructor();
        AddControl("Label1", label);
        fw::RuntimeAddEventHandler(ControlByName("Label1"), "Open",
                                   fw::RuntimeCreateDelegate(this, &ProbeWindow::Label1_Open));
    }
    void Label1_Open(fw::Ref<fw::Label> label) {
        log.push_back("Label1 Open");
        label->SetText("opened");
    }

    fw::PropertyList layout{{"Width", 200}, {"Height", 120}, {"Title", "Probe"}};
    std::vector<std::string> log;
    bool foundDuringOpen = false;
};

// Builds a probe window with the given layout (constructed, so shown when Visible).
inline fw::Ref<ProbeWindow> MakeProbe(fw::PropertyList layout = {{"Width", 200}, {"Height", 120}}) {
    auto w = fw::New<ProbeWindow>();
    w->layout = std::move(layout);
    w->Constructor();
    return w;
}

}  // namespace uitest
