#include "plugins/zuv_libraries.h"

#include "plugins/zuv_glue.h"

namespace zuv {

void RegisterBuiltinLibraries() {
    static const bool once = [] {
        RegisterAppearancePakCocoa();
        RegisterZuvNSScreen();
        RegisterZuvCarbonEvents();
        RegisterZuvMain();
        return true;
    }();
    (void)once;
}

}  // namespace zuv
