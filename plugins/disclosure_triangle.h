// The disclosure triangle of the AppearancePakCocoa library: a small triangle
// that points down while its section is expanded and right while it is shrunk.
// Events: Action (a click; the click turns the triangle first).
#pragma once

#include <cstdint>

#include "fw/ui/control.h"

class DisclosureTriangle : public fw::CustomControl {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // True: expanded, pointing down. Setting it by code raises no Action.
    bool Value() const noexcept { return value_; }
    void SetValue(bool v);
    // 0 points right when shrunk, 1 points left.
    int32_t Facing() const noexcept { return facing_; }
    void SetFacing(int32_t v);
    bool AcceptFocus() const noexcept { return acceptFocus_; }
    void SetAcceptFocus(bool v) { acceptFocus_ = v; }

    bool SetProperty(const fw::String& name, const fw::PropertyValue& value) override;
    bool HasEvent(const fw::String& event) const override;

  protected:
    void Paint(fw::Graphics& g) override;
    bool MouseDown(int32_t x, int32_t y) override;

  private:
    bool value_ = false;
    int32_t facing_ = 0;
    bool acceptFocus_ = true;
};
