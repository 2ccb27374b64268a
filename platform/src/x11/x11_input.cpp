#include <X11/Xlib.h>

#include "platform/x11.h"
#include "x11/connection.h"
#include "x11/monitors.h"

namespace platform::x11 {

struct X11Input::Impl {
    std::unique_ptr<Connection> conn;

    // The pointer in root pixels and the modifier mask, straight from the
    // server, so the state is live whichever client has the focus.
    bool Query(int* x, int* y, unsigned int* mask) {
        if (conn->lost()) return false;
        Window rootReturn, child;
        int wx, wy;
        bool ok =
            XQueryPointer(conn->display(), conn->root(), &rootReturn, &child, x, y, &wx, &wy, mask);
        conn->TakeError();
        return ok && !conn->lost();
    }
};

std::unique_ptr<X11Input> X11Input::Open(const char* displayName) {
    auto conn = Connection::Open(displayName);
    if (!conn) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->conn = std::move(conn);
    return std::unique_ptr<X11Input>(new X11Input(std::move(impl)));
}

X11Input::X11Input(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Input::~X11Input() = default;

Point X11Input::MousePosition() {
    int x = 0, y = 0;
    unsigned int mask = 0;
    if (!impl_->Query(&x, &y, &mask)) return Point{};
    // Points count from the main display's corner, as the screen's displays do.
    std::vector<Monitor> monitors = QueryMonitors(impl_->conn->display(), impl_->conn->root());
    int64_t ox = monitors.empty() ? 0 : monitors.front().x;
    int64_t oy = monitors.empty() ? 0 : monitors.front().y;
    int p = PixelsPerPoint();
    return Point{FloorDiv(x - ox, p), FloorDiv(y - oy, p)};
}

Modifiers X11Input::ModifierState() {
    int x, y;
    unsigned int mask = 0;
    if (!impl_->Query(&x, &y, &mask)) return Modifiers{};
    Modifiers m;
    m.control = mask & ControlMask;
    m.shift = mask & ShiftMask;
    m.option = mask & Mod1Mask;
    m.command = mask & Mod4Mask;
    return m;
}

}  // namespace platform::x11
