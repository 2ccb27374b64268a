#include "shell/about_box.h"

#include "fw/runtime/text.h"
#include "fw/ui/dialogs.h"
#include "fw/ui/menu.h"
#include "fw/ui/picture.h"
#include "shell/app.h"
#include "shell/window_tables.h"

namespace {

using fw::PropertyList;

const fw::Color kBlack = fw::Color::FromHex(0x00000000);
const fw::Color kWhite = fw::Color::FromHex(0x00FFFFFF);

const PropertyList kWindowLayout = {
    {"Width", 250},
    {"Height", 297},
    {"MinWidth", 64},
    {"MinHeight", 64},
    {"MaxWidth", 32000},
    {"MaxHeight", 32000},
    {"Frame", 0},
    {"Title", "About..."},
    {"CloseButton", true},
    {"Resizeable", false},
    {"MaximizeButton", false},
    {"MinimizeButton", false},
    {"FullScreenButton", false},
    {"Composite", false},
    {"LiveResize", false},
    {"FullScreen", false},
    {"MacProcID", 0},
    {"Placement", 0},
    {"Visible", true},
    {"MenuBarVisible", true},
    {"HasBackColor", false},
    {"BackColor", kWhite},
};

// Two roles with a name each, a blank line between them.
constexpr char kCreditsText[] =
    "Programming\r"
    "Tomas Vellander\r"
    "\r"
    "Testing\r"
    "Ines Marrow";

PropertyList Join(std::initializer_list<PropertyList> parts) {
    PropertyList all;
    for (const PropertyList& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// What all six controls share.
PropertyList Common(int32_t left, int32_t top, int32_t width, int32_t height, int32_t tabIndex) {
    return {
        {"Left", left},       {"Top", top},
        {"Width", width},     {"Height", height},
        {"Enabled", true},    {"Visible", true},
        {"TabStop", true},    {"AutoDeactivate", true},
        {"LockLeft", false},  {"LockTop", false},
        {"LockRight", false}, {"LockBottom", false},
        {"TabPanelIndex", 0}, {"TabIndex", tabIndex},
        {"Italic", false},    {"Underline", false},
        {"HelpTag", ""},
    };
}

PropertyList ButtonLayout(int32_t top, const char* caption, int32_t tabIndex) {
    return Join({Common(64, top, 120, 21, tabIndex),
                 {{"Caption", caption},
                  {"TextFont", "System"},
                  {"TextSize", 0},
                  {"Bold", true},
                  {"ButtonStyle", 0},
                  {"Default", false},
                  {"Cancel", false}}});
}

struct LabelSpec {
    int32_t left, top, width, height;
    const char* text;
    const char* font;
    int32_t size;
    bool bold;
    int32_t tabIndex;
    int32_t align;  // 0 left, 1 centre, 2 right
    bool multiline;
};

PropertyList LabelLayout(const LabelSpec& l) {
    return Join({Common(l.left, l.top, l.width, l.height, l.tabIndex),
                 {{"Text", l.text},
                  {"TextFont", l.font},
                  {"TextSize", l.size},
                  {"Bold", l.bold},
                  {"TextAlign", l.align},
                  {"Multiline", l.multiline},
                  {"TextColor", kBlack},
                  {"Selectable", false},
                  {"Transparent", false}}});
}

template <class C, void (AboutBox::*Handler)(fw::Ref<C>)>
void Bind(AboutBox* box, const fw::Ref<fw::Control>& control, const char* event) {
    shell::BindEvent<AboutBox, C, Handler>(box, control, event);
}

using ControlSpec = shell::ControlSpec<AboutBox>;

// The six controls, in creation order. The version label's text is only a
// stand-in: the label replaces it with the real version when it opens.
const ControlSpec kControls[] = {
    {"PushButton1", &fw::PushButton::ClassInfo, [] { return ButtonLayout(180, "Email Author", 0); },
     [](AboutBox* b, const fw::Ref<fw::Control>& c) {
         Bind<fw::PushButton, &AboutBox::PushButton1_Action>(b, c, "Action");
     }},
    {"PushButton2", &fw::PushButton::ClassInfo,
     [] { return ButtonLayout(217, "Visit Web Site", 1); },
     [](AboutBox* b, const fw::Ref<fw::Control>& c) {
         Bind<fw::PushButton, &AboutBox::PushButton2_Action>(b, c, "Action");
     }},
    {"StaticText2", &fw::Label::ClassInfo,
     [] {
         return LabelLayout({72, 86, 104, 87, kCreditsText, "System", 0, false, 2, 1, true});
     },
     nullptr},
    {"StaticText1", &fw::Label::ClassInfo,
     [] {
         return LabelLayout({55, 20, 139, 45, "Ostrel 4", "Arial", 30, true, 3, 1, false});
     },
     nullptr},
    {"StaticText3", &fw::Label::ClassInfo,
     [] {
         return LabelLayout({64, 60, 53, 20, "Version:", "Arial", 12, true, 4, 0, false});
     },
     nullptr},
    {"StaticText4", &fw::Label::ClassInfo,
     [] {
         return LabelLayout({120, 60, 64, 20, "1.0.0 Intel", "Arial", 12, true, 5, 2, false});
     },
     [](AboutBox* b, const fw::Ref<fw::Control>& c) {
         Bind<fw::Label, &AboutBox::StaticText4_Open>(b, c, "Open");
     }},
};

}  // namespace

const fw::ClassInfo& AboutBox::ClassInfo() {
    return fw::RegisteredClassInfo<AboutBox>("AboutBox.AboutBox", &fw::Window::ClassInfo());
}

fw::Ref<AboutBox> AboutBox::ImplicitInstance() {
    return shell::ImplicitWindowInstance<AboutBox>("AboutBox.AboutBox");
}

AboutBox::AboutBox() {
    HookEvent(fw::WindowEvent::kLayout, this, &AboutBox::Layout);
    HookEvent(fw::WindowEvent::kCreateControls, this, &AboutBox::CreateControls);
}

void AboutBox::Layout() {
    fw::RuntimeMassPropertySetter(*this, kWindowLayout);
}

void AboutBox::CreateControls() {
    CreateControls0();
}

void AboutBox::CreateControls0() {
    shell::CreateControlsFromTable(this, kControls);
}

fw::Ref<fw::PushButton> AboutBox::PushButton1() {
    return fw::RuntimeCheckCast<fw::PushButton>(ControlByName("PushButton1"));
}
fw::Ref<fw::PushButton> AboutBox::PushButton2() {
    return fw::RuntimeCheckCast<fw::PushButton>(ControlByName("PushButton2"));
}
fw::Ref<fw::Label> AboutBox::StaticText2() {
    return fw::RuntimeCheckCast<fw::Label>(ControlByName("StaticText2"));
}
fw::Ref<fw::Label> AboutBox::StaticText1() {
    return fw::RuntimeCheckCast<fw::Label>(ControlByName("StaticText1"));
}
fw::Ref<fw::Label> AboutBox::StaticText3() {
    return fw::RuntimeCheckCast<fw::Label>(ControlByName("StaticText3"));
}
fw::Ref<fw::Label> AboutBox::StaticText4() {
    return fw::RuntimeCheckCast<fw::Label>(ControlByName("StaticText4"));
}

void AboutBox::PushButton1_Action(fw::Ref<fw::PushButton> sender) {
    (void)sender;
    // The address alone: the user's mail program starts an empty message.
    fw::ShowURL(fw::RuntimeAddString("mailto:", kAuthorEmailAddress));
}

void AboutBox::PushButton2_Action(fw::Ref<fw::PushButton> sender) {
    (void)sender;
    fw::ShowURL(kWebSiteAddress);
}

void AboutBox::StaticText4_Open(fw::Ref<fw::Label> sender) {
    sender->SetText(AppObject()->LongVersion());
}
