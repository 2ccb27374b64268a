// The control panel: the first window shown and the only one whose closing
// ends the program. It starts the display windows, sets their magnification,
// crosshairs and visibility, shows their status lights and shrinks itself to
// a strip on demand.
#pragma once

#include <cstdint>

#include "fw/runtime/classinfo.h"
#include "fw/ui/controls.h"
#include "fw/ui/menu.h"
#include "fw/ui/window.h"
#include "plugins/disclosure_triangle.h"

class Window2 final : public fw::Window {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // The one panel, created on first use.
    static fw::Ref<Window2> ImplicitInstance();

    Window2();

    void Layout();
    void CreateControls();
    void CreateControls0();

    fw::Ref<fw::PushButton> PushButton1();
    fw::Ref<DisclosureTriangle> DisclosureTriangle1();
    fw::Ref<fw::Label> StaticText1();
    fw::Ref<fw::CheckBox> Checkbox1();
    fw::Ref<fw::RoundRectangle> Alarm1();
    fw::Ref<fw::Timer> Timer1();
    fw::Ref<fw::RoundRectangle> Alarm2();
    fw::Ref<fw::RoundRectangle> Alarm3();
    fw::Ref<fw::RoundRectangle> Alarm4();
    fw::Ref<fw::Slider> Slider1();
    fw::Ref<fw::Label> Label1();
    fw::Ref<fw::Slider> Slider2();
    fw::Ref<fw::Slider> Slider3();
    fw::Ref<fw::Slider> Slider4();
    fw::Ref<fw::Label> Label2();
    fw::Ref<fw::Label> Label3();
    fw::Ref<fw::Label> Label4();

    // The status light, slider and label of display window n (1 to 4).
    fw::Ref<fw::RoundRectangle> Alarm(int n);
    fw::Ref<fw::Slider> Slider(int n);
    fw::Ref<fw::Label> Label(int n);

    void PushButton1_Action(fw::Ref<fw::PushButton> sender);
    void DisclosureTriangle1_Action(fw::Ref<DisclosureTriangle> sender);
    void Checkbox1_Action(fw::Ref<fw::CheckBox> sender);
    void Timer1_Action(fw::Ref<fw::Timer> sender);
    void Slider1_ValueChanged(fw::Ref<fw::Slider> sender);
    void Label1_Open(fw::Ref<fw::Label> sender);
    void Slider2_ValueChanged(fw::Ref<fw::Slider> sender);
    void Slider3_ValueChanged(fw::Ref<fw::Slider> sender);
    void Slider4_ValueChanged(fw::Ref<fw::Slider> sender);
    void Label2_Open(fw::Ref<fw::Label> sender);
    void Label3_Open(fw::Ref<fw::Label> sender);
    void Label4_Open(fw::Ref<fw::Label> sender);

    void Event_Close();
    void Event_Open();
    void Event_Moved();

    // Heights of the panel, expanded and shrunk to the strip of the triangle
    // and the status lights.
    static constexpr int32_t kExpandedHeight = 232;
    static constexpr int32_t kShrunkHeight = 22;

  private:
    template <class T>
    fw::Ref<T> Find(const char* name) {
        return fw::RuntimeCheckCast<T>(ControlByName(name));
    }
    void SliderValueChanged(int n);
    void LabelOpen(int n);
};
