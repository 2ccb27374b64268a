// Run-time state shared between the hot keys, the menu commands, the control
// panel and the display windows. Everything here lives on the event loop's
// thread; nothing is locked.
#pragma once

#include <cstdint>

#include "fw/runtime/object.h"

namespace fw {
class Window;
}
class NSScreenZUV;

namespace StateModule {

// Fixed mode of display windows 1 to 4 and the points they stare at.
extern bool w1Fixed, w2Fixed, w3Fixed, w4Fixed;
extern int32_t w1FixedX, w1FixedY, w2FixedX, w2FixedY, w3FixedX, w3FixedY, w4FixedX, w4FixedY;
// Set once the control panel has placed the window; geometry is recorded only then.
extern bool w1Placed, w2Placed, w3Placed, w4Placed;
// The four display windows, created once by the control panel.
extern fw::Ref<fw::Window> w1Window, w2Window, w3Window, w4Window;
extern fw::Ref<NSScreenZUV> MainScreen;
extern int32_t ScreenScale;
extern bool PanelOpened;
extern bool PanelMovedOnce;
extern int32_t MagTextLength;

// The per-window globals of display window n (1 to 4), so that code acting on
// "window n" reads one table instead of switching on n.
struct DisplayState {
    bool* fixed;
    int32_t* fixedX;
    int32_t* fixedY;
    bool* placed;
    fw::Ref<fw::Window>* window;
};
const DisplayState& Display(int n);

// Releases the module's object references at the end of the run; each global
// is cleared before its reference is dropped.
void FinalizeMainScreen();
void FinalizeWindows();
// Start values again, for tests that run the program several times in one process.
void ResetForTesting();

}  // namespace StateModule
