#include "fw/runtime/loop.h"

namespace fw {
namespace {
void (*g_hook)() = nullptr;
bool g_inYield = false;
}  // namespace

namespace detail {
void SetBackgroundTaskHook(void (*hook)()) {
    g_hook = hook;
}
}  // namespace detail

void RuntimeBackgroundTask() {
    // A handler that runs during the yield may itself loop and yield; letting it
    // pump events again would nest event handling without bound.
    if (!g_hook || g_inYield) return;
    g_inYield = true;
    struct Reset {
        ~Reset() { g_inYield = false; }
    } reset;
    g_hook();
}

}  // namespace fw
