// The live state of the modifier keys, read at the moment of each call (the
// physical keys, also while another application is in front), not key events.
#pragma once

#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"

namespace fw {

class Keyboard : public Object {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    bool AsyncControlKey() const;
    bool AsyncShiftKey() const;
    // Alt.
    bool AsyncAltKey() const;
    bool AsyncOptionKey() const { return AsyncAltKey(); }
    // Super.
    bool AsyncCommandKey() const;
};

// The keyboard object, fetched anew for each read.
Ref<Keyboard> getKeyboardObject();

}  // namespace fw
