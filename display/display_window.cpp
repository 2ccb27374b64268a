#include "display/display_window.h"

#include "fw/runtime/text.h"
#include "fw/system/input.h"
#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "panel/window2.h"
#include "shell/plugin_entrypoints.h"
#include "shell/settings_module.h"
#include "shell/state_module.h"

namespace {

using namespace SettingsModule;

const DisplayWindowSpec kDisplayWindows[4] = {
    {1, "Window1.Window1", "a", false, &MyMag, &w1Top, &w1Left, &w1Height, &w1Width},
    {2, "Window3.Window3", "c", false, &MyMag2, &w2Top, &w2Left, &w2Height, &w2Width},
    {3, "Window4.Window4", "d", true, &MyMag3, &w3Top, &w3Left, &w3Height, &w3Width},
    {4, "Window5.Window5", "f", true, &MyMag4, &w4Top, &w4Left, &w4Height, &w4Width},
};

double D(int32_t v) {
    return fw::RuntimeCvtSInt32ToReal64(v);
}
int32_t I(double v) {
    return fw::RuntimeCvtReal64ToSInt32(v);
}

template <class T>
const fw::ClassInfo& DisplayClassInfo(int number) {
    static const fw::ClassInfo info(DisplayWindowSpecOf(number).className,
                                    &DisplayWindow::ClassInfo(), &fw::CreateInstance<T>);
    static const bool registered = fw::RegisterClass(info);
    (void)registered;
    return info;
}

}  // namespace

DisplayWindow::GraphicsSource DisplayWindow::graphicsForTesting = nullptr;

const DisplayWindowSpec& DisplayWindowSpecOf(int number) {
    if (number < 1 || number > 4)
        throw fw::OutOfBoundsException("display window number out of range");
    return kDisplayWindows[number - 1];
}

const fw::ClassInfo& DisplayWindow::ClassInfo() {
    // Abstract: only the four numbered classes make objects.
    static const fw::ClassInfo info("DisplayWindow", &fw::Window::ClassInfo(), nullptr);
    return info;
}

const fw::ClassInfo& Window1::ClassInfo() {
    return DisplayClassInfo<Window1>(1);
}
const fw::ClassInfo& Window3::ClassInfo() {
    return DisplayClassInfo<Window3>(2);
}
const fw::ClassInfo& Window4::ClassInfo() {
    return DisplayClassInfo<Window4>(3);
}
const fw::ClassInfo& Window5::ClassInfo() {
    return DisplayClassInfo<Window5>(4);
}

const fw::ClassInfo& DisplayWindowClass(int number) {
    switch (number) {
        case 1:
            return Window1::ClassInfo();
        case 2:
            return Window3::ClassInfo();
        case 3:
            return Window4::ClassInfo();
        case 4:
            return Window5::ClassInfo();
    }
    throw fw::OutOfBoundsException("display window number out of range");
}

DisplayWindow::DisplayWindow(int number) : spec_(DisplayWindowSpecOf(number)) {
    HookEvent(fw::WindowEvent::kLayout, this, &DisplayWindow::Layout);
    HookEvent(fw::WindowEvent::kCreateControls, this, &DisplayWindow::CreateControls);
    HookEvent(fw::WindowEvent::kMoved, this, &DisplayWindow::Event_Moved);
    HookEvent(fw::WindowEvent::kResized, this, &DisplayWindow::Event_Resized);
}

void DisplayWindow::Layout() {
    fw::RuntimeMassPropertySetter(*this, {
                                             {"Width", 300},
                                             {"Height", 300},
                                             {"MinWidth", 74},
                                             {"MinHeight", 40},
                                             {"MaxWidth", 32000},
                                             {"MaxHeight", 32000},
                                             {"Frame", 7},
                                             {"Title", spec_.title},
                                             {"CloseButton", false},
                                             {"Resizeable", true},
                                             {"MaximizeButton", false},
                                             {"MinimizeButton", false},
                                             {"FullScreenButton", false},
                                             {"Composite", false},
                                             {"MacProcID", 0},
                                             {"Placement", 0},
                                             {"Visible", true},
                                             {"LiveResize", spec_.liveResize},
                                             {"FullScreen", false},
                                             {"MenuBarVisible", true},
                                             {"HasBackColor", false},
                                             {"BackColor", fw::Color::FromHex(0x00FFFFFF)},
                                         });
}

void DisplayWindow::CreateControls() {
    CreateControls0();
}

void DisplayWindow::CreateControls0() {
    fw::Ref<fw::Object> timer = New(fw::Timer::ClassInfo());
    timer->Constructor();
    AddControl("Timer1", fw::RuntimeCheckCast<fw::Control>(timer));
    fw::RuntimeMassPropertySetter(fw::RuntimeCheckCast<fw::Timer>(ControlByName("Timer1")),
                                  {{"Period", 100}, {"Mode", 2}});
    fw::RuntimeAddEventHandler(fw::RuntimeCheckCast<fw::Timer>(ControlByName("Timer1")), "Action",
                               fw::RuntimeCreateDelegate(this, &DisplayWindow::Timer1_Action));
}

fw::Ref<fw::Timer> DisplayWindow::Timer1() {
    return fw::RuntimeCheckCast<fw::Timer>(ControlByName("Timer1"));
}

void DisplayWindow::Timer1_Action(fw::Ref<fw::Timer>) {
    if (StateModule::ScreenScale == 2)
        Scale2View();
    else
        StandardView();
}

void DisplayWindow::Event_Moved() {
    const StateModule::DisplayState& st = StateModule::Display(spec_.number);
    if (!*st.placed) return;
    *spec_.top = (*st.window)->Top();
    *spec_.left = (*st.window)->Left();
}

void DisplayWindow::Event_Resized() {
    const StateModule::DisplayState& st = StateModule::Display(spec_.number);
    if (!*st.placed) return;
    *spec_.height = (*st.window)->Height();
    *spec_.width = (*st.window)->Width();
}

void DisplayWindow::UpdateView(bool scale2) {
    const StateModule::DisplayState& st = StateModule::Display(spec_.number);
    const double& mag = *spec_.magnification;

    const int32_t W = Width();
    const int32_t H = Height();
    int32_t left, top;
    if (*st.fixed) {
        // A fixed view has no use for the mouse, and reading it would be a
        // round trip to the X server at every tick.
        left = I(D(*st.fixedX) - D(W) / (2.0 * mag));
        top = I(D(*st.fixedY) - D(H) / (2.0 * mag));
        if (scale2) {
            left = I(D(left) + D(W) / (4.0 * mag));
            top = I(D(top) + D(H) / (4.0 * mag));
        }
    } else {
        const int32_t x0 = I(D(fw::System::MouseX()) - D(W) / (2.0 * mag));
        const int32_t y0 = I(D(fw::System::MouseY()) - D(H) / (2.0 * mag));
        // At rest the view is already right: no capture, no drawing.
        if (lastx == x0 && lasty == y0) return;
        lastx = x0;
        lasty = y0;
        left = x0;
        top = y0;
        if (scale2) {
            left = I(D(x0) + D(W) / (4.0 * mag));
            top = I(D(y0) + D(H) / (4.0 * mag));
        }
    }
    const int32_t width = I(D(W) / mag);
    const int32_t height = I(D(H) / mag);

    fw::Ref<fw::Picture> picture = ScreenshotRectZUV(left, top, width, height);
    if (!picture) return;

    fw::Ref<fw::Graphics> g = graphicsForTesting ? graphicsForTesting(*this) : Graphics();
    g->DrawPicture(picture, 0, 0, W, H, 0, 0, picture->Width(), picture->Height());
    if (Window2::ImplicitInstance()->Checkbox1()->Value()) {
        const int32_t hy = I(D(H) / 2.0);
        g->DrawLine(0, hy, W, hy);
        const int32_t vx = I(D(W) / 2.0);
        g->DrawLine(vx, 0, vx, H);
    }
}
