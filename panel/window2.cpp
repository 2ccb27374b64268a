#include "panel/window2.h"

#include <limits>
#include <utility>

#include "display/display_window.h"
#include "fw/runtime/loop.h"
#include "fw/runtime/text.h"
#include "fw/system/keyboard.h"
#include "fw/ui/menu.h"
#include "fw/ui/picture.h"
#include "shell/hotkey_module.h"
#include "shell/menu_bars.h"
#include "shell/plugin_entrypoints.h"
#include "shell/settings_module.h"
#include "shell/state_module.h"
#include "shell/window_tables.h"

namespace {

using fw::PropertyList;
using namespace SettingsModule;
using StateModule::PanelOpened;

const fw::Color kBlack = fw::Color::FromHex(0x00000000);
const fw::Color kWhite = fw::Color::FromHex(0x00FFFFFF);

// Values every control but the timer takes.
PropertyList Common(bool lockTopLeft) {
    return {
        {"Visible", true},        {"Enabled", true},
        {"AutoDeactivate", true}, {"TabStop", true},
        {"HelpTag", ""},          {"InitialParent", ""},
        {"TabPanelIndex", 0},     {"Index", std::numeric_limits<int32_t>::min()},
        {"LockTop", lockTopLeft}, {"LockLeft", lockTopLeft},
        {"LockBottom", false},    {"LockRight", false},
    };
}

// Values of the controls that show text.
PropertyList Text() {
    return {{"TextFont", "System"},
            {"TextSize", 0},
            {"TextUnit", 0},
            {"Italic", false},
            {"Underline", false}};
}

PropertyList Data() {
    return {{"DataField", ""}, {"DataSource", ""}};
}

PropertyList Join(std::initializer_list<PropertyList> parts) {
    PropertyList all;
    for (const PropertyList& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

PropertyList Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {{"Left", left}, {"Top", top}, {"Width", width}, {"Height", height}};
}

PropertyList PushButtonLayout() {
    return Join({Bounds(27, 29, 60, 20),
                 {{"Caption", "Hide"},
                  {"Bold", true},
                  {"Default", false},
                  {"Cancel", false},
                  {"ButtonStyle", 0},
                  {"TabIndex", 0}},
                 Text(),
                 Common(false)});
}

PropertyList TriangleLayout() {
    return Join({Bounds(7, 1, 18, 18),
                 {{"Value", true}, {"Facing", 0}, {"AcceptFocus", false}, {"TabIndex", 1}},
                 Common(false)});
}

PropertyList LabelLayout(int32_t left, int32_t top, int32_t width, const char* text, bool bold,
                         int32_t align, bool lockTopLeft, int32_t tabIndex) {
    return Join({Bounds(left, top, width, 20),
                 {{"Text", text},
                  {"Bold", bold},
                  {"TextAlign", align},
                  {"TextColor", kBlack},
                  {"Multiline", false},
                  {"Selectable", false},
                  {"Transparent", false},
                  {"TabIndex", tabIndex}},
                 Text(),
                 Data(),
                 Common(lockTopLeft)});
}

PropertyList CheckBoxLayout() {
    return Join({Bounds(34, 204, 91, 20),
                 {{"Caption", "Crosshairs"},
                  {"Value", false},
                  {"State", 0},
                  {"Bold", false},
                  {"TabIndex", 4}},
                 Text(),
                 Data(),
                 Common(false)});
}

PropertyList AlarmLayout(int32_t left, int32_t tabIndex) {
    return Join({Bounds(left, 7, 10, 10),
                 {{"FillColor", kWhite},
                  {"BorderColor", kBlack},
                  {"BorderWidth", 1},
                  {"OvalWidth", 16},
                  {"OvalHeight", 16},
                  {"TabIndex", tabIndex}},
                 Common(false)});
}

PropertyList TimerLayout() {
    return {{"Period", 50}, {"Mode", 2}};
}

PropertyList SliderLayout(int32_t top, int32_t tabIndex) {
    return Join({Bounds(12, top, 135, 23),
                 {{"Minimum", 10},
                  {"Maximum", 60},
                  {"Value", 20},
                  {"LineStep", 1},
                  {"PageStep", 1},
                  {"LiveScroll", true},
                  {"TickStyle", 0},
                  {"TabIndex", tabIndex}},
                 Common(true)});
}

PropertyList MagLabelLayout(int32_t top, int32_t tabIndex) {
    return LabelLayout(102, top, 40, "4.8", true, 1, true, tabIndex);
}

// Binds a control's event to the panel's handler once the control is added.

template <class C, void (Window2::*Handler)(fw::Ref<C>)>
void Bind(Window2* panel, const fw::Ref<fw::Control>& control, const char* event) {
    shell::BindEvent<Window2, C, Handler>(panel, control, event);
}

using ControlSpec = shell::ControlSpec<Window2>;

#define PANEL_BIND(Class, Event, Handler) \
    [](Window2* p, const fw::Ref<fw::Control>& c) { Bind<Class, &Window2::Handler>(p, c, Event); }

// The seventeen controls, in creation order.
const ControlSpec kControls[] = {
    {"PushButton1", &fw::PushButton::ClassInfo, &PushButtonLayout,
     PANEL_BIND(fw::PushButton, "Action", PushButton1_Action)},
    {"DisclosureTriangle1", &DisclosureTriangle::ClassInfo, &TriangleLayout,
     PANEL_BIND(DisclosureTriangle, "Action", DisclosureTriangle1_Action)},
    {"StaticText1", &fw::Label::ClassInfo,
     [] { return LabelLayout(25, 1, 55, "Shrink", false, 0, false, 2); }, nullptr},
    {"Checkbox1", &fw::CheckBox::ClassInfo, &CheckBoxLayout,
     PANEL_BIND(fw::CheckBox, "Action", Checkbox1_Action)},
    {"Alarm1", &fw::RoundRectangle::ClassInfo, [] { return AlarmLayout(79, 5); }, nullptr},
    {"Timer1", &fw::Timer::ClassInfo, &TimerLayout, PANEL_BIND(fw::Timer, "Action", Timer1_Action)},
    {"Alarm2", &fw::RoundRectangle::ClassInfo, [] { return AlarmLayout(99, 7); }, nullptr},
    {"Alarm3", &fw::RoundRectangle::ClassInfo, [] { return AlarmLayout(119, 8); }, nullptr},
    {"Alarm4", &fw::RoundRectangle::ClassInfo, [] { return AlarmLayout(139, 9); }, nullptr},
    {"Slider1", &fw::Slider::ClassInfo, [] { return SliderLayout(55, 10); },
     PANEL_BIND(fw::Slider, "ValueChanged", Slider1_ValueChanged)},
    {"Label1", &fw::Label::ClassInfo, [] { return MagLabelLayout(35, 11); },
     PANEL_BIND(fw::Label, "Open", Label1_Open)},
    {"Slider2", &fw::Slider::ClassInfo, [] { return SliderLayout(95, 12); },
     PANEL_BIND(fw::Slider, "ValueChanged", Slider2_ValueChanged)},
    {"Slider3", &fw::Slider::ClassInfo, [] { return SliderLayout(135, 13); },
     PANEL_BIND(fw::Slider, "ValueChanged", Slider3_ValueChanged)},
    {"Slider4", &fw::Slider::ClassInfo, [] { return SliderLayout(175, 14); },
     PANEL_BIND(fw::Slider, "ValueChanged", Slider4_ValueChanged)},
    {"Label2", &fw::Label::ClassInfo, [] { return MagLabelLayout(75, 15); },
     PANEL_BIND(fw::Label, "Open", Label2_Open)},
    {"Label3", &fw::Label::ClassInfo, [] { return MagLabelLayout(115, 16); },
     PANEL_BIND(fw::Label, "Open", Label3_Open)},
    {"Label4", &fw::Label::ClassInfo, [] { return MagLabelLayout(155, 17); },
     PANEL_BIND(fw::Label, "Open", Label4_Open)},
};

#undef PANEL_BIND

// Display window n's magnification global.
double& Magnification(int n) {
    static double* const mags[4] = {&MyMag, &MyMag2, &MyMag3, &MyMag4};
    return *mags[n - 1];
}

size_t Index(int n) {
    if (n < 1 || n > 4) throw fw::OutOfBoundsException("display window number out of range");
    return size_t(n - 1);
}

bool IsTrue(const fw::String& text) {
    return fw::RuntimeStringCompare(text, "True") == 0;
}

}  // namespace

const fw::ClassInfo& Window2::ClassInfo() {
    return fw::RegisteredClassInfo<Window2>("Window2.Window2", &fw::Window::ClassInfo());
}

fw::Ref<Window2> Window2::ImplicitInstance() {
    return shell::ImplicitWindowInstance<Window2>("Window2.Window2");
}

Window2::Window2() {
    HookEvent(fw::WindowEvent::kLayout, this, &Window2::Layout);
    HookEvent(fw::WindowEvent::kCreateControls, this, &Window2::CreateControls);
    HookEvent(fw::WindowEvent::kOpen, this, &Window2::Event_Open);
    HookEvent(fw::WindowEvent::kMoved, this, &Window2::Event_Moved);
    HookEvent(fw::WindowEvent::kClose, this, &Window2::Event_Close);
}

void Window2::Layout() {
    fw::RuntimeMassPropertySetter(*this, {
                                             {"Width", 160},
                                             {"Height", kExpandedHeight},
                                             {"MinWidth", 64},
                                             {"MinHeight", 64},
                                             {"MaxWidth", 32000},
                                             {"MaxHeight", 32000},
                                             {"Frame", 0},
                                             {"Title", "  Ostrel 4"},
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
                                         });
}

void Window2::CreateControls() {
    CreateControls0();
}

void Window2::CreateControls0() {
    shell::CreateControlsFromTable(this, kControls);
}

fw::Ref<fw::PushButton> Window2::PushButton1() {
    return Find<fw::PushButton>("PushButton1");
}
fw::Ref<DisclosureTriangle> Window2::DisclosureTriangle1() {
    return Find<DisclosureTriangle>("DisclosureTriangle1");
}
fw::Ref<fw::Label> Window2::StaticText1() {
    return Find<fw::Label>("StaticText1");
}
fw::Ref<fw::CheckBox> Window2::Checkbox1() {
    return Find<fw::CheckBox>("Checkbox1");
}
fw::Ref<fw::RoundRectangle> Window2::Alarm1() {
    return Find<fw::RoundRectangle>("Alarm1");
}
fw::Ref<fw::Timer> Window2::Timer1() {
    return Find<fw::Timer>("Timer1");
}
fw::Ref<fw::RoundRectangle> Window2::Alarm2() {
    return Find<fw::RoundRectangle>("Alarm2");
}
fw::Ref<fw::RoundRectangle> Window2::Alarm3() {
    return Find<fw::RoundRectangle>("Alarm3");
}
fw::Ref<fw::RoundRectangle> Window2::Alarm4() {
    return Find<fw::RoundRectangle>("Alarm4");
}
fw::Ref<fw::Slider> Window2::Slider1() {
    return Find<fw::Slider>("Slider1");
}
fw::Ref<fw::Label> Window2::Label1() {
    return Find<fw::Label>("Label1");
}
fw::Ref<fw::Slider> Window2::Slider2() {
    return Find<fw::Slider>("Slider2");
}
fw::Ref<fw::Slider> Window2::Slider3() {
    return Find<fw::Slider>("Slider3");
}
fw::Ref<fw::Slider> Window2::Slider4() {
    return Find<fw::Slider>("Slider4");
}
fw::Ref<fw::Label> Window2::Label2() {
    return Find<fw::Label>("Label2");
}
fw::Ref<fw::Label> Window2::Label3() {
    return Find<fw::Label>("Label3");
}
fw::Ref<fw::Label> Window2::Label4() {
    return Find<fw::Label>("Label4");
}

fw::Ref<fw::RoundRectangle> Window2::Alarm(int n) {
    static fw::Ref<fw::RoundRectangle> (Window2::*const accessors[4])() = {
        &Window2::Alarm1, &Window2::Alarm2, &Window2::Alarm3, &Window2::Alarm4};
    return (this->*accessors[Index(n)])();
}

fw::Ref<fw::Slider> Window2::Slider(int n) {
    static fw::Ref<fw::Slider> (Window2::*const accessors[4])() = {
        &Window2::Slider1, &Window2::Slider2, &Window2::Slider3, &Window2::Slider4};
    return (this->*accessors[Index(n)])();
}

fw::Ref<fw::Label> Window2::Label(int n) {
    static fw::Ref<fw::Label> (Window2::*const accessors[4])() = {
        &Window2::Label1, &Window2::Label2, &Window2::Label3, &Window2::Label4};
    return (this->*accessors[Index(n)])();
}

// ---- start ----

void Window2::Event_Open() {
    LoadSettings();

    ImplicitInstance()->SetTop(Window2Top);
    ImplicitInstance()->SetLeft(Window2Left);

    if (IsTrue(ShrinkWindow)) {
        DisclosureTriangle1()->SetValue(false);
        StaticText1()->SetText("Expand");
        ImplicitInstance()->SetHeight(kShrunkHeight);
    } else {
        StaticText1()->SetText("Shrink");
        ImplicitInstance()->SetHeight(kExpandedHeight);
    }

    ImplicitInstance()->Show();

    // Any number outside 1..3 counts as all four windows.
    const int checked = (NumDW >= 1 && NumDW <= 3) ? NumDW : 4;
    fw::Ref<fw::MenuItem> (*const items[4])() = {&DisplayWindowsOne, &DisplayWindowsTwo,
                                                 &DisplayWindowsThree, &DisplayWindowsFour};
    for (int k = 1; k <= 4; ++k) items[k - 1]()->SetChecked(k == checked);

    for (int n = 1; n <= 4; ++n) {
        const DisplayWindowSpec& spec = DisplayWindowSpecOf(n);
        const StateModule::DisplayState& st = StateModule::Display(n);
        fw::Ref<fw::Object> created = New(DisplayWindowClass(n));
        created->Constructor();
        *st.window = fw::RuntimeCheckCast<fw::Window>(created);
        fw::Ref<fw::Window> w = *st.window;
        w->SetTitle(spec.title);
        w->SetTop(*spec.top);
        w->SetLeft(*spec.left);
        w->SetHeight(*spec.height);
        w->SetWidth(*spec.width);
        w->SetBackdrop(ScreenshotDisplayZUV(0));
        w->Show();
        if (n >= 2 && NumDW < n) w->Hide();
        *st.placed = true;
    }

    for (int n = 1; n <= 4; ++n) {
        double& mag = Magnification(n);
        Slider(n)->SetValue(fw::RuntimeCvtReal64ToSInt32(mag * 10.0));
        mag = fw::RuntimeCvtSInt32ToReal64(Slider(n)->Value()) / 10.0;
        Label(n)->SetText(fw::StringFormat(mag, "0.0"));
        Label(n)->Refresh(true);
    }

    Checkbox1()->SetValue(IsTrue(Crosshairs));

    PanelOpened = true;

    HotKeyModule::RegisterHotKeys();
}

// ---- handlers ----

void Window2::PushButton1_Action(fw::Ref<fw::PushButton>) {
    if (fw::RuntimeStringCompare(PushButton1()->Caption(), "Hide") == 0) {
        PushButton1()->SetCaption("Show");
        StateModule::w1Window->Hide();
        for (int n = 2; n <= 4; ++n)
            if (fw::Ref<fw::Window> w = *StateModule::Display(n).window) w->Hide();
    } else {
        PushButton1()->SetCaption("Hide");
        StateModule::w1Window->Show();
        for (int n = 2; n <= 4; ++n)
            if (fw::Ref<fw::Window> w = *StateModule::Display(n).window; w && NumDW > n - 1)
                w->Show();
    }
}

void Window2::DisclosureTriangle1_Action(fw::Ref<DisclosureTriangle>) {
    if (!PanelOpened) return;
    if (ImplicitInstance()->Height() != kShrunkHeight) {
        StaticText1()->SetText("Expand");
        ImplicitInstance()->SetHeight(kShrunkHeight);
        ShrinkWindow = "True";
    } else {
        StaticText1()->SetText("Shrink");
        ImplicitInstance()->SetHeight(kExpandedHeight);
        ShrinkWindow = "False";
    }
}

void Window2::Checkbox1_Action(fw::Ref<fw::CheckBox>) {
    if (!PanelOpened) return;
    Crosshairs = Checkbox1()->Value() ? "True" : "False";
}

void Window2::Timer1_Action(fw::Ref<fw::Timer>) {
    // Control-Shift shows, Option-Shift hides; both are looked at in every
    // tick, and each acts only when the caption says it would change something.
    if (fw::getKeyboardObject()->AsyncControlKey() && fw::getKeyboardObject()->AsyncShiftKey()) {
        if (fw::RuntimeStringCompare(PushButton1()->Caption(), "Show") == 0) PushButton1()->Push();
    }
    if (fw::getKeyboardObject()->AsyncAltKey() && fw::getKeyboardObject()->AsyncShiftKey()) {
        if (fw::RuntimeStringCompare(PushButton1()->Caption(), "Hide") == 0) PushButton1()->Push();
    }
}

void Window2::SliderValueChanged(int n) {
    if (!PanelOpened) return;
    Magnification(n) = fw::RuntimeCvtSInt32ToReal64(Slider(n)->Value()) / 10.0;
    Label(n)->SetText(fw::StringFormat(Magnification(n), "0.0"));
    Label(n)->Refresh(true);
}

void Window2::LabelOpen(int n) {
    const fw::String text = fw::StringStrDouble(Magnification(n));
    StateModule::MagTextLength = fw::StringDBCSLen(text);
    // A one-digit whole number gains its decimal so that every label reads "d.d".
    if (StateModule::MagTextLength == 1)
        Label(n)->SetText(fw::RuntimeAddString(text, ".0"));
    else
        Label(n)->SetText(text);
}

void Window2::Slider1_ValueChanged(fw::Ref<fw::Slider>) {
    SliderValueChanged(1);
}
void Window2::Slider2_ValueChanged(fw::Ref<fw::Slider>) {
    SliderValueChanged(2);
}
void Window2::Slider3_ValueChanged(fw::Ref<fw::Slider>) {
    SliderValueChanged(3);
}
void Window2::Slider4_ValueChanged(fw::Ref<fw::Slider>) {
    SliderValueChanged(4);
}
void Window2::Label1_Open(fw::Ref<fw::Label>) {
    LabelOpen(1);
}
void Window2::Label2_Open(fw::Ref<fw::Label>) {
    LabelOpen(2);
}
void Window2::Label3_Open(fw::Ref<fw::Label>) {
    LabelOpen(3);
}
void Window2::Label4_Open(fw::Ref<fw::Label>) {
    LabelOpen(4);
}

void Window2::Event_Moved() {
    // The first move is the window being put in place at start, not the user.
    if (StateModule::PanelMovedOnce) {
        Window2Top = ImplicitInstance()->Top();
        Window2Left = ImplicitInstance()->Left();
    } else {
        StateModule::PanelMovedOnce = true;
    }
}

void Window2::Event_Close() {
    SaveSettings();
    fw::RB_ApplicationQuit(0);
}
