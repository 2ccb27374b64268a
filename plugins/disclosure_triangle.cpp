#include "plugins/disclosure_triangle.h"

#include <algorithm>

#include "fw/host/plugins.h"
#include "fw/runtime/text.h"
#include "fw/ui/graphics.h"
#include "plugins/zuv_libraries.h"

const fw::ClassInfo& DisclosureTriangle::ClassInfo() {
    return fw::RegisteredClassInfo<DisclosureTriangle>("DisclosureTriangle",
                                                       &fw::CustomControl::ClassInfo());
}

void DisclosureTriangle::SetValue(bool v) {
    if (v == value_) return;
    value_ = v;
    Invalidate();
}

void DisclosureTriangle::SetFacing(int32_t v) {
    facing_ = v;
    Invalidate();
}

bool DisclosureTriangle::SetProperty(const fw::String& name, const fw::PropertyValue& value) {
    if (fw::RuntimeStringCompare(name, "Value") == 0) {
        SetValue(value.AsBoolean());
    } else if (fw::RuntimeStringCompare(name, "Facing") == 0) {
        SetFacing(value.AsInteger());
    } else if (fw::RuntimeStringCompare(name, "AcceptFocus") == 0) {
        SetAcceptFocus(value.AsBoolean());
    } else {
        return fw::CustomControl::SetProperty(name, value);
    }
    return true;
}

bool DisclosureTriangle::HasEvent(const fw::String& event) const {
    return fw::RuntimeStringCompare(event, "Action") == 0 || fw::CustomControl::HasEvent(event);
}

void DisclosureTriangle::Paint(fw::Graphics& g) {
    // A solid triangle of horizontal (pointing down) or vertical (pointing
    // sideways) strokes, centred in the control with a small margin.
    const int32_t size = std::max(4, std::min(Width(), Height()) - 8);
    const int32_t x0 = (Width() - size) / 2, y0 = (Height() - size) / 2;
    g.SetForeColor(fw::Color::RGBA(80, 80, 80));
    for (int32_t i = 0; i <= size / 2; ++i) {
        if (value_) {  // down: rows shrinking towards the bottom tip
            g.DrawLine(x0 + i, y0 + size / 4 + i, x0 + size - i, y0 + size / 4 + i);
        } else if (facing_ == 1) {  // left
            int32_t x = x0 + size * 3 / 4 - i;
            g.DrawLine(x, y0 + i, x, y0 + size - i);
        } else {  // right
            int32_t x = x0 + size / 4 + i;
            g.DrawLine(x, y0 + i, x, y0 + size - i);
        }
    }
}

bool DisclosureTriangle::MouseDown(int32_t, int32_t) {
    if (!Enabled()) return false;
    SetValue(!value_);
    RaiseEvent("Action");
    return true;
}

namespace zuv {
// The library's one class is registered by the program's class initialisers;
// loading the library only makes sure of it.
void RegisterAppearancePakCocoa() {
    fw::RegisterBuiltinPlugin("AppearancePakCocoa.dylib", [] { DisclosureTriangle::ClassInfo(); });
}
}  // namespace zuv
