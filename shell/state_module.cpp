#include "shell/state_module.h"

#include <utility>

#include "fw/ui/window.h"
#include "plugins/zuv_glue.h"

namespace StateModule {

bool w1Fixed = false, w2Fixed = false, w3Fixed = false, w4Fixed = false;
int32_t w1FixedX = 0, w1FixedY = 0, w2FixedX = 0, w2FixedY = 0, w3FixedX = 0, w3FixedY = 0,
        w4FixedX = 0, w4FixedY = 0;
bool w1Placed = false, w2Placed = false, w3Placed = false, w4Placed = false;
fw::Ref<fw::Window> w1Window, w2Window, w3Window, w4Window;
fw::Ref<NSScreenZUV> MainScreen;
int32_t ScreenScale = 0;
bool PanelOpened = false;
bool PanelMovedOnce = false;
int32_t MagTextLength = 0;

namespace {

const DisplayState kDisplays[4] = {
    {&w1Fixed, &w1FixedX, &w1FixedY, &w1Placed, &w1Window},
    {&w2Fixed, &w2FixedX, &w2FixedY, &w2Placed, &w2Window},
    {&w3Fixed, &w3FixedX, &w3FixedY, &w3Placed, &w3Window},
    {&w4Fixed, &w4FixedX, &w4FixedY, &w4Placed, &w4Window},
};

// Clears the global first, then drops the reference it held, so that nothing
// reached from a destructor can see a half-released global.
template <class T>
void Release(fw::Ref<T>& global) {
    fw::Ref<T> held = std::exchange(global, fw::Ref<T>());
    held.Reset();
}

}  // namespace

const DisplayState& Display(int n) {
    if (n < 1 || n > 4) throw fw::OutOfBoundsException("display window number out of range");
    return kDisplays[n - 1];
}

void FinalizeMainScreen() {
    Release(MainScreen);
}

void FinalizeWindows() {
    for (const DisplayState& d : kDisplays) Release(*d.window);
}

void ResetForTesting() {
    FinalizeMainScreen();
    FinalizeWindows();
    for (const DisplayState& d : kDisplays) {
        *d.fixed = false;
        *d.fixedX = *d.fixedY = 0;
        *d.placed = false;
    }
    ScreenScale = 0;
    PanelOpened = PanelMovedOnce = false;
    MagTextLength = 0;
}

}  // namespace StateModule
