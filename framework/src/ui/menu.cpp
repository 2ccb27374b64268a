#include "fw/ui/menu.h"

#include <QKeySequence>
#include <QString>
#include <optional>

#include "fw/runtime/exceptions.h"
#include "fw/runtime/loop.h"
#include "fw/ui/application.h"
#include "fw/ui/window.h"
#include "ui/peers.h"
#include "ui/ui_state.h"

namespace fw {
namespace {
uint64_t g_revision = 1;
void Changed() {
    ++g_revision;
    detail::ScheduleMenuRefresh();
}

template <class T>
const fw::ClassInfo& MenuClass(const char* name, const fw::ClassInfo* base) {
    static const fw::ClassInfo info(name, base, &CreateInstance<T>);
    static const bool registered = RegisterClass(info);
    (void)registered;
    return info;
}

Ref<MenuItem> FindIn(const Ref<MenuItem>& root, const String& name) {
    if (!root) return Ref<MenuItem>();
    if (root->Name() == name) return root;
    return root->Lookup(name);
}
}  // namespace

namespace detail {
QKeySequence ShortcutSequence(const std::string& text) {
    if (text.empty()) return QKeySequence();
    // "Cmd" is the Command key of the layout tables; here Control plays its part,
    // and "Option" is Alt.
    QString s = QString::fromUtf8(text.c_str());
    s.replace("Cmd", "Ctrl", Qt::CaseInsensitive);
    s.replace("Command", "Ctrl", Qt::CaseInsensitive);
    s.replace("Option", "Alt", Qt::CaseInsensitive);
    s.replace("Opt", "Alt", Qt::CaseInsensitive);
    return QKeySequence::fromString(s, QKeySequence::PortableText);
}
}  // namespace detail

const fw::ClassInfo& MenuItem::ClassInfo() {
    return MenuClass<MenuItem>("MenuItem", nullptr);
}
const fw::ClassInfo& MenuBar::ClassInfo() {
    return MenuClass<MenuBar>("MenuBar", &MenuItem::ClassInfo());
}
const fw::ClassInfo& AppleMenuItem::ClassInfo() {
    return MenuClass<AppleMenuItem>("AppleMenuItem", &MenuItem::ClassInfo());
}
const fw::ClassInfo& QuitMenuItem::ClassInfo() {
    return MenuClass<QuitMenuItem>("QuitMenuItem", &MenuItem::ClassInfo());
}

MenuItem::~MenuItem() {
    for (auto& item : items_) {
        if (item->parent_ == this) item->parent_ = nullptr;
    }
}

uint64_t MenuItem::Revision() noexcept {
    return g_revision;
}

void MenuItem::SetName(const String& v) {
    name_ = v;
    Changed();
}
void MenuItem::SetText(const String& v) {
    text_ = v;
    Changed();
}
void MenuItem::SetKeyboardShortcut(const String& v) {
    shortcut_ = v;
    Changed();
}
void MenuItem::SetAutoEnable(bool v) {
    autoEnable_ = v;
    Changed();
}
void MenuItem::SetEnabled(bool v) {
    enabled_ = v;
    Changed();
}
void MenuItem::SetVisible(bool v) {
    visible_ = v;
    Changed();
}
void MenuItem::SetChecked(bool v) {
    if (checked_ == v) return;
    checked_ = v;
    Changed();
}

void MenuItem::Append(Ref<MenuItem> item) {
    if (!item) RaiseNilObject();
    item->parent_ = this;
    items_.push_back(std::move(item));
    Changed();
}

Ref<MenuItem> MenuItem::Item(int32_t index) const {
    if (index < 0 || index >= Count()) {
        throw OutOfBoundsException("Menu item index out of bounds: " + std::to_string(index));
    }
    return items_[size_t(index)];
}

Ref<MenuItem> MenuItem::Child(const String& name) const {
    for (const auto& item : items_) {
        if (item->name_ == name) return item;
    }
    return Ref<MenuItem>();
}

Ref<MenuItem> MenuItem::Lookup(const String& name) const {
    for (const auto& item : items_) {
        if (item->name_ == name) return item;
        if (Ref<MenuItem> found = item->Lookup(name)) return found;
    }
    return Ref<MenuItem>();
}

bool MenuItem::SetProperty(const String& name, const PropertyValue& v) {
    const std::string& n = name.Bytes();
    if (n == "Name")
        SetName(v.AsString());
    else if (n == "Text")
        SetText(v.AsString());
    else if (n == "KeyboardShortcut")
        SetKeyboardShortcut(v.AsString());
    else if (n == "AutoEnable")
        SetAutoEnable(v.AsBoolean());
    else if (n == "Enabled")
        SetEnabled(v.AsBoolean());
    else if (n == "Visible")
        SetVisible(v.AsBoolean());
    else if (n == "Checked")
        SetChecked(v.AsBoolean());
    else
        return false;
    return true;
}

namespace detail {
namespace {
bool g_aboutRunning = false;
Window* g_aboutOrigin = nullptr;
}  // namespace

AboutCommandScope::AboutCommandScope(Window* origin)
    : wasRunning_(g_aboutRunning), previous_(g_aboutOrigin) {
    g_aboutRunning = true;
    g_aboutOrigin = origin;
}
AboutCommandScope::~AboutCommandScope() {
    g_aboutRunning = wasRunning_;
    g_aboutOrigin = previous_;
}
bool AboutCommandRunning() {
    return g_aboutRunning;
}
Window* AboutCommandOrigin() {
    return g_aboutOrigin;
}

bool ChooseMenuItemFrom(Window* origin, const String& itemName) {
    Ref<Window> front(origin);
    Ref<Application> app = getAppObject();
    Ref<MenuItem> item;
    if (front) item = FindIn(front->MenuBar(), itemName);
    if (!item && app) item = FindIn(app->MenuBar(), itemName);
    // The About item opens the application's about box, which belongs to the
    // window the item was chosen from.
    std::optional<AboutCommandScope> about;
    if (item && dynamic_cast<AppleMenuItem*>(item.Get())) about.emplace(front.Get());
    if (front && front->HandleMenuItem(itemName)) return true;
    if (app && app->HandleMenuItem(itemName)) return true;
    if (item && dynamic_cast<QuitMenuItem*>(item.Get())) {
        RB_ApplicationQuit(0);
        return true;
    }
    return false;
}
}  // namespace detail

bool RuntimeChooseMenuItem(const String& itemName) {
    return detail::ChooseMenuItemFrom(RuntimeFrontWindow().Get(), itemName);
}

}  // namespace fw
