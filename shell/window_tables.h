// Shared pieces of the program's window classes: a window's controls are a
// table (name, class, layout values, event binding) created in table order,
// and a single-instance window is found open or created on first use.
#pragma once

#include <cstddef>

#include "fw/runtime/classinfo.h"
#include "fw/ui/control.h"
#include "fw/ui/delegate.h"
#include "fw/ui/properties.h"
#include "fw/ui/window.h"

namespace shell {

template <class W>
struct ControlSpec {
    const char* name;
    const fw::ClassInfo& (*cls)();
    fw::PropertyList (*layout)();
    // Binds the control's events to the window's handlers; null when it has none.
    void (*bind)(W* window, const fw::Ref<fw::Control>& control);
};

// Binds `event` of the control to the window's handler method.
template <class W, class C, void (W::*Handler)(fw::Ref<C>)>
void BindEvent(W* window, const fw::Ref<fw::Control>& control, const char* event) {
    fw::RuntimeAddEventHandler(fw::RuntimeCheckCast<C>(control), event,
                               fw::RuntimeCreateDelegate(window, Handler));
}

// Creates every control of the table on the window, in table order: the object,
// its constructor, the window's control list under its name, its layout values
// and its event bindings, each found again by name.
template <class W, size_t N>
void CreateControlsFromTable(W* window, const ControlSpec<W> (&table)[N]) {
    for (const ControlSpec<W>& spec : table) {
        fw::Ref<fw::Object> control = window->New(spec.cls());
        control->Constructor();
        window->AddControl(spec.name, fw::RuntimeCheckCast<fw::Control>(control));
        fw::RuntimeMassPropertySetter(window->ControlByName(spec.name), spec.layout());
        if (spec.bind) spec.bind(window, window->ControlByName(spec.name));
    }
}

// The open window of class W, or a new one created and constructed on the spot.
template <class W>
fw::Ref<W> ImplicitWindowInstance(const char* className) {
    fw::Ref<fw::Window> open = fw::RuntimeGetImplicitWindow(className);
    if (open) return fw::RuntimeCheckCast<W>(open);
    fw::Ref<fw::Object> created = fw::RuntimeNewObject(W::ClassInfo());
    created->Constructor();
    return fw::RuntimeCheckCast<W>(created);
}

}  // namespace shell
