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

    // Every magnifier tick reads the mouse, and the main display's corner costs
    // several round trips to learn; it is kept until the server reports a change
    // of the root window or of the RandR layout, as the screen's own list is.
    bool watching = false;
    bool originKnown = false;
    int64_t originX = 0, originY = 0;

    void MainOrigin(int64_t* x, int64_t* y) {
        if (conn->TakeLayoutEvents()) originKnown = false;
        if (!originKnown || !watching) {
            std::vector<Monitor> monitors = QueryMonitors(conn->display(), conn->root());
            originX = monitors.empty() ? 0 : monitors.front().x;
            originY = monitors.empty() ? 0 : monitors.front().y;
            originKnown = true;
        }
        *x = originX;
        *y = originY;
    }
};

std::unique_ptr<X11Input> X11Input::Open(const char* displayName) {
    auto conn = Connection::Open(displayName);
    if (!conn) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->conn = std::move(conn);
    impl->watching = impl->conn->WatchLayoutChanges();
    return std::unique_ptr<X11Input>(new X11Input(std::move(impl)));
}

X11Input::X11Input(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Input::~X11Input() = default;

Point X11Input::MousePosition() {
    int x = 0, y = 0;
    unsigned int mask = 0;
    if (!impl_->Query(&x, &y, &mask)) return Point{};
    // Points count from the main display's corner, as the screen's displays do.
    int64_t ox = 0, oy = 0;
    impl_->MainOrigin(&ox, &oy);
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
