// Menus: a menu bar holds menus, a menu holds items; all are MenuItem objects
// found by name. Text marks the mnemonic with "&"; "-" is a separator.
// KeyboardShortcut "Cmd+P" is Ctrl+P on this desktop ("Cmd+Shift+P",
// "Ctrl+P" and "Alt+P" are understood too).
//
// Choosing an item asks the front window's handler of the item's name first,
// then the application's. A QuitMenuItem quits through RB_ApplicationQuit
// when no handler takes it.
#pragma once

#include <cstdint>
#include <vector>

#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/properties.h"

namespace fw {

class MenuItem : public Object, public PropertyTarget {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    ~MenuItem() override;

    const String& Name() const noexcept { return name_; }
    void SetName(const String& v);
    const String& Text() const noexcept { return text_; }
    void SetText(const String& v);
    const String& KeyboardShortcut() const noexcept { return shortcut_; }
    void SetKeyboardShortcut(const String& v);
    bool AutoEnable() const noexcept { return autoEnable_; }
    void SetAutoEnable(bool v);
    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool v);
    bool Checked() const noexcept { return checked_; }
    void SetChecked(bool v);
    bool IsSeparator() const { return text_ == String("-"); }

    // Appends an item (or a menu, on a bar). Raises NilObjectException for nil.
    void Append(Ref<MenuItem> item);
    int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
    Ref<MenuItem> Item(int32_t index) const;
    // The direct child of that name, or nil.
    Ref<MenuItem> Child(const String& name) const;
    // The item of that name among the children and, depth first, their
    // children; nil when none.
    Ref<MenuItem> Lookup(const String& name) const;
    // The menu or bar that holds it (not a reference), or nullptr.
    MenuItem* Parent() const noexcept { return parent_; }

    bool SetProperty(const String& name, const PropertyValue& value) override;

    // Bumped on every change of this item or any item below it, so that the
    // native menus know when to rebuild.
    static uint64_t Revision() noexcept;

  private:
    String name_, text_, shortcut_;
    bool autoEnable_ = true, enabled_ = true, visible_ = true, checked_ = false;
    std::vector<Ref<MenuItem>> items_;
    MenuItem* parent_ = nullptr;
};

class MenuBar : public MenuItem {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
};

// The About item; shown in its menu where the program put it.
class AppleMenuItem : public MenuItem {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
};

// Quits the application (closing every window first) unless a handler takes it.
class QuitMenuItem : public MenuItem {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }
};

// Chooses the item of that name as the user would: the front window's handler,
// then the application's, then the framework's own meaning (Quit). False when
// nothing took it.
bool RuntimeChooseMenuItem(const String& itemName);

}  // namespace fw
