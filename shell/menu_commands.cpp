// The menu commands of the application object.
#include "fw/ui/menu.h"
#include "fw/ui/picture.h"
#include "panel/window2.h"
#include "shell/about_box.h"
#include "shell/app.h"
#include "shell/help.h"
#include "shell/hotkey_module.h"
#include "shell/menu_bars.h"
#include "shell/settings_module.h"
#include "shell/state_module.h"

namespace {

// The Display Windows items, window count 1 to 4.
fw::Ref<fw::MenuItem> (*const kDisplayWindowsItems[4])() = {
    &DisplayWindowsOne, &DisplayWindowsTwo, &DisplayWindowsThree, &DisplayWindowsFour};

// Shows display windows 1 to n and hides the others. A hidden window cannot
// be looked at, so it goes back to Normal mode; its fixed point is kept for
// the next time the user fixes it. Every step is applied again when n is
// already the count, so the command also brings back windows that the
// panel's button or the chords hid.
bool DisplayWindowsCommand(int32_t n) {
    SettingsModule::NumDW = n;
    for (int32_t k = 1; k <= 4; ++k) kDisplayWindowsItems[k - 1]()->SetChecked(k == n);
    Window2::ImplicitInstance()->PushButton1()->SetCaption("Hide");

    for (int32_t k = 1; k <= 4; ++k) {
        fw::Ref<fw::Window> window = *StateModule::Display(k).window;
        if (k <= n) {
            window->Show();
        } else {
            window->Hide();
        }
    }
    for (int32_t k = n + 1; k <= 4; ++k) *StateModule::Display(k).fixed = false;
    for (int32_t k = n + 1; k <= 4; ++k) {
        Window2::ImplicitInstance()->Alarm(k)->SetFillColor(NormalLightColor);
    }
    return true;
}

}  // namespace

bool App::HelpShow_Action() {
    Help::ImplicitInstance()->Show();
    return false;
}

bool App::HelpAbout_Action() {
    AboutBox::ImplicitInstance()->Show();
    return false;
}

bool App::FilePrintHelp_Action() {
    return PrintHelp();
}

bool App::DisplayWindowsFour_Action() {
    return DisplayWindowsCommand(4);
}

bool App::DisplayWindowsOne_Action() {
    return DisplayWindowsCommand(1);
}

bool App::DisplayWindowsThree_Action() {
    return DisplayWindowsCommand(3);
}

bool App::DisplayWindowsTwo_Action() {
    return DisplayWindowsCommand(2);
}
