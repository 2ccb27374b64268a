// Delegates: a control's event, a menu handler or a window event bound to a
// method of a window or of the application object.
//
// A delegate does not own its target: a window owns its controls, so the
// window outlives every event its controls raise, and the application object
// lives for the whole run.
#pragma once

#include <functional>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"

namespace fw {

class Control;

// A handler of a control's event; receives the control that raised it.
using EventHandler = std::function<void(const Ref<Object>& sender)>;
// A menu handler; true when it handled the command.
using MenuHandler = std::function<bool()>;

// Handler methods taking the control as Ref<PushButton>, Ref<Timer> and so on;
// the sender is checked against that class (IllegalCastException otherwise).
template <class T, class C, class A>
EventHandler RuntimeCreateDelegate(T* target, void (C::*method)(Ref<A>)) {
    C* self = target;
    return
        [self, method](const Ref<Object>& sender) { (self->*method)(RuntimeCheckCast<A>(sender)); };
}
template <class T, class C, class A>
EventHandler RuntimeCreateDelegate(T* target, void (C::*method)(const Ref<A>&)) {
    C* self = target;
    return
        [self, method](const Ref<Object>& sender) { (self->*method)(RuntimeCheckCast<A>(sender)); };
}
// Menu handlers: "( ) as Boolean".
template <class T, class C>
MenuHandler RuntimeCreateDelegate(T* target, bool (C::*method)()) {
    C* self = target;
    return [self, method]() { return (self->*method)(); };
}
// Window events and other handlers without arguments.
template <class T, class C>
std::function<void()> RuntimeCreateDelegate(T* target, void (C::*method)()) {
    C* self = target;
    return [self, method]() { (self->*method)(); };
}
template <class T, class M>
auto RuntimeCreateDelegate(const Ref<T>& target, M method) {
    return RuntimeCreateDelegate(target.Get(), method);
}

// Attaches a handler to a named event of the control ("Action", "ValueChanged",
// "Open"). Raises RuntimeException for an event the control does not have and
// NilObjectException for a nil control.
void RuntimeAddEventHandler(const Ref<Control>& control, const String& event, EventHandler handler);

}  // namespace fw
