// The help window: a read-only text that explains the program, with a menu
// bar of its own from which the text can be printed.
#pragma once

#include "fw/runtime/classinfo.h"
#include "fw/ui/controls.h"
#include "fw/ui/menu.h"
#include "fw/ui/window.h"

class Help final : public fw::Window {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    // The open help window, or a new one, which shows itself at once.
    static fw::Ref<Help> ImplicitInstance();

    Help();

    void Layout();
    void CreateControls();
    void CreateControls0();

    fw::Ref<fw::TextArea> TextArea1();

    // The items of the window's menu bar.
    fw::Ref<fw::MenuItem> EditMenu();
    fw::Ref<fw::MenuItem> EditSelectAll();
    fw::Ref<fw::MenuItem> EditSeparator2();
    fw::Ref<fw::MenuItem> EditClear();
    fw::Ref<fw::MenuItem> EditPaste();
    fw::Ref<fw::MenuItem> EditCopy();
    fw::Ref<fw::MenuItem> EditCut();
    fw::Ref<fw::MenuItem> EditSeparator1();
    fw::Ref<fw::MenuItem> EditUndo();
    fw::Ref<fw::MenuItem> FileMenu();
    fw::Ref<fw::QuitMenuItem> FileQuit();
    fw::Ref<fw::MenuItem> FilePrintHelp();

    void AddMenuHandlers();
    bool FilePrintHelp_Action();

  private:
    template <class T>
    fw::Ref<T> MenuItemNamed(const char* name);
};

// Prints the help text on the printer the user picks, with "page N" and the
// time the command was chosen at the foot of every page, and closes the help
// window, also when the dialog is cancelled. Always true: the command is
// handled either way.
bool PrintHelp();
