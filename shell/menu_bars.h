// The application menu bar (MenuBar1) and the help window's bar (MenuBar2),
// each built item by item on its first use and kept for the run.
#pragma once

#include "fw/runtime/classinfo.h"
#include "fw/ui/menu.h"

class MenuBar1 final : public fw::MenuBar {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    static fw::Ref<MenuBar1> ImplicitInstance();

    void Constructor() override;
    void Untitled0();
    void Untitled1();
    void Untitled2();
    void Untitled3();
};

class MenuBar2 final : public fw::MenuBar {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    static fw::Ref<MenuBar2> ImplicitInstance();

    void Constructor() override;
    void Untitled0();
    void Untitled1();
};

// The Display Windows items of the application menu bar.
fw::Ref<fw::MenuItem> DisplayWindowsOne();
fw::Ref<fw::MenuItem> DisplayWindowsTwo();
fw::Ref<fw::MenuItem> DisplayWindowsThree();
fw::Ref<fw::MenuItem> DisplayWindowsFour();

namespace MenuBarModule {
// End of the run: MenuBar1's instance, then MenuBar2's.
void FinalizeModule();
// Whether the bar was built this run (for tests).
bool MenuBar1Built();
bool MenuBar2Built();
}  // namespace MenuBarModule
