// The application object: created by the start sequence, held by the
// framework for the whole run.
#pragma once

#include "fw/runtime/classinfo.h"
#include "fw/ui/application.h"

class App final : public fw::Application {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // Clears the Fixed flags, takes the main screen's scale and shows the panel.
    void Event_Open() override;

    // The menu commands; each tells the framework whether it handled the item.
    bool HelpShow_Action();
    bool HelpAbout_Action();
    bool FilePrintHelp_Action();
    bool DisplayWindowsFour_Action();
    bool DisplayWindowsOne_Action();
    bool DisplayWindowsThree_Action();
    bool DisplayWindowsTwo_Action();

    void Constructor() override {}
};

// The application object that the framework holds, checked to be an App.
fw::Ref<App> AppObject();
