#include "shell/menu_bars.h"

#include <utility>

#include "shell/app.h"

namespace {

fw::Ref<MenuBar1> gMenuBar1;
fw::Ref<MenuBar2> gMenuBar2;

// One row of a menu: the item's class, name, text and shortcut. A null
// shortcut marks a separator, which gets none at all.
struct ItemSpec {
    const fw::ClassInfo& (*cls)();
    const char* name;
    const char* text;
    const char* shortcut;
};

void AddMenu(fw::MenuBar& bar, const char* name, const char* text) {
    fw::Ref<fw::MenuItem> menu = fw::New<fw::MenuItem>();
    menu->Constructor();
    fw::RuntimeMassPropertySetter(menu, {{"Name", name},
                                         {"AutoEnable", true},
                                         {"Text", text},
                                         {"Visible", true},
                                         {"KeyboardShortcut", ""}});
    bar.Append(menu);
}

void AddItems(fw::MenuBar& bar, const char* menuName, std::initializer_list<ItemSpec> items) {
    for (const ItemSpec& spec : items) {
        fw::Ref<fw::MenuItem> item =
            fw::RuntimeCheckCast<fw::MenuItem>(fw::RuntimeNewObject(spec.cls()));
        item->Constructor();
        fw::PropertyList layout = {
            {"Name", spec.name}, {"AutoEnable", true}, {"Text", spec.text}, {"Visible", true}};
        if (spec.shortcut) layout.push_back({"KeyboardShortcut", spec.shortcut});
        fw::RuntimeMassPropertySetter(item, layout);
        bar.Child(menuName)->Append(item);
    }
}

const fw::ClassInfo& PlainItem() {
    return fw::MenuItem::ClassInfo();
}

fw::Ref<fw::MenuItem> AppMenuItem(const char* name) {
    fw::Ref<App> app = AppObject();
    fw::Ref<fw::MenuBar> bar = app->MenuBar();
    return fw::RuntimeCheckCast<fw::MenuItem>(bar->Lookup(name));
}

template <class T>
void Release(fw::Ref<T>& global) {
    fw::Ref<T> held = std::exchange(global, fw::Ref<T>());
    held.Reset();
}

}  // namespace

const fw::ClassInfo& MenuBar1::ClassInfo() {
    return fw::RegisteredClassInfo<MenuBar1>("MenuBar1.MenuBar1", &fw::MenuBar::ClassInfo());
}

fw::Ref<MenuBar1> MenuBar1::ImplicitInstance() {
    if (!gMenuBar1) {
        fw::Ref<MenuBar1> bar =
            fw::RuntimeCheckCast<MenuBar1>(fw::RuntimeNewObject(MenuBar1::ClassInfo()));
        bar->Constructor();
        gMenuBar1 = bar;
    }
    return gMenuBar1;
}

void MenuBar1::Constructor() {
    Untitled0();
    Untitled1();
    Untitled2();
    Untitled3();
}

void MenuBar1::Untitled0() {
    AddMenu(*this, "File", "File");
    AddItems(*this, "File", {{&PlainItem, "FilePrintHelp", "Print Help", "Cmd+P"}});
}

void MenuBar1::Untitled1() {
    AddMenu(*this, "EditMenu", "&Edit");
    AddItems(*this, "EditMenu",
             {
                 {&PlainItem, "EditUndo", "&Undo", "Cmd+Z"},
                 {&PlainItem, "UntitledMenu0", "-", nullptr},
                 {&PlainItem, "EditCut", "Cu&t", "Cmd+X"},
                 {&PlainItem, "EditCopy", "&Copy", "Cmd+C"},
                 {&PlainItem, "EditPaste", "&Paste", "Cmd+V"},
                 {&PlainItem, "EditClear", "Clear", ""},
                 {&PlainItem, "UntitledMenu3", "", ""},
             });
}

void MenuBar1::Untitled2() {
    AddMenu(*this, "DisplayWindowsMenu", "Display Windows");
    AddItems(*this, "DisplayWindowsMenu",
             {
                 {&PlainItem, "DisplayWindowsOne", "One", ""},
                 {&PlainItem, "DisplayWindowsTwo", "Two", ""},
                 {&PlainItem, "DisplayWindowsThree", "Three", ""},
                 {&PlainItem, "DisplayWindowsFour", "Four", ""},
             });
}

void MenuBar1::Untitled3() {
    AddMenu(*this, "HelpMenu", "Ostrel 4 Help");
    AddItems(*this, "HelpMenu",
             {
                 {&PlainItem, "HelpShow", "Show Help", ""},
                 {&fw::AppleMenuItem::ClassInfo, "HelpAbout", "About...", ""},
             });
}

const fw::ClassInfo& MenuBar2::ClassInfo() {
    return fw::RegisteredClassInfo<MenuBar2>("MenuBar2.MenuBar2", &fw::MenuBar::ClassInfo());
}

fw::Ref<MenuBar2> MenuBar2::ImplicitInstance() {
    if (!gMenuBar2) {
        fw::Ref<MenuBar2> bar =
            fw::RuntimeCheckCast<MenuBar2>(fw::RuntimeNewObject(MenuBar2::ClassInfo()));
        bar->Constructor();
        gMenuBar2 = bar;
    }
    return gMenuBar2;
}

void MenuBar2::Constructor() {
    Untitled0();
    Untitled1();
}

void MenuBar2::Untitled0() {
    AddMenu(*this, "FileMenu", "&File");
    AddItems(*this, "FileMenu",
             {
                 {&PlainItem, "FilePrintHelp", "Print Help", "Cmd+P"},
                 {&fw::QuitMenuItem::ClassInfo, "FileQuit", "&Quit", ""},
             });
}

void MenuBar2::Untitled1() {
    AddMenu(*this, "EditMenu", "&Edit");
    AddItems(*this, "EditMenu",
             {
                 {&PlainItem, "EditUndo", "&Undo", "Cmd+Z"},
                 {&PlainItem, "EditSeparator1", "-", nullptr},
                 {&PlainItem, "EditCut", "Cu&t", "Cmd+X"},
                 {&PlainItem, "EditCopy", "&Copy", "Cmd+C"},
                 {&PlainItem, "EditPaste", "&Paste", "Cmd+V"},
                 {&PlainItem, "EditClear", "&Delete", ""},
                 {&PlainItem, "EditSeparator2", "-", nullptr},
                 {&PlainItem, "EditSelectAll", "Select &All", "Cmd+A"},
             });
}

fw::Ref<fw::MenuItem> DisplayWindowsOne() {
    return AppMenuItem("DisplayWindowsOne");
}
fw::Ref<fw::MenuItem> DisplayWindowsTwo() {
    return AppMenuItem("DisplayWindowsTwo");
}
fw::Ref<fw::MenuItem> DisplayWindowsThree() {
    return AppMenuItem("DisplayWindowsThree");
}
fw::Ref<fw::MenuItem> DisplayWindowsFour() {
    return AppMenuItem("DisplayWindowsFour");
}

namespace MenuBarModule {

void FinalizeModule() {
    Release(gMenuBar1);
    Release(gMenuBar2);
}

bool MenuBar1Built() {
    return bool(gMenuBar1);
}
bool MenuBar2Built() {
    return bool(gMenuBar2);
}

}  // namespace MenuBarModule
