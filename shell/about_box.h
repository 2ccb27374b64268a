// The about box: the product name, the version, the credits and two buttons
// that write to the author and visit the web site.
#pragma once

#include "fw/runtime/classinfo.h"
#include "fw/ui/controls.h"
#include "fw/ui/window.h"

class AboutBox final : public fw::Window {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // The open about box, or a new one, which shows itself at once.
    static fw::Ref<AboutBox> ImplicitInstance();

    AboutBox();

    void Layout();
    void CreateControls();
    void CreateControls0();

    fw::Ref<fw::PushButton> PushButton1();
    fw::Ref<fw::PushButton> PushButton2();
    fw::Ref<fw::Label> StaticText2();
    fw::Ref<fw::Label> StaticText1();
    fw::Ref<fw::Label> StaticText3();
    fw::Ref<fw::Label> StaticText4();

    void PushButton1_Action(fw::Ref<fw::PushButton> sender);
    void PushButton2_Action(fw::Ref<fw::PushButton> sender);
    void StaticText4_Open(fw::Ref<fw::Label> sender);
};

// Where the two buttons lead: placeholders on a reserved domain until the
// project has addresses of its own.
inline constexpr char kAuthorEmailAddress[] = "ostrel4@example.org";
inline constexpr char kWebSiteAddress[] = "https://example.org/ostrel4/";
