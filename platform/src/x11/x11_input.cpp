#include <X11/XKBlib.h>
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

    // The control panel looks at the modifier keys twenty times a second, and a
    // round trip each time would wake the server and then this process again
    // for the answer. The keyboard extension instead reports every change of
    // the keyboard's state, whichever client has the focus or a grab, so the
    // keys are known from the reports already received. Without the extension
    // each look asks the server.
    int xkbEvent = -1;  // the extension's event type while the reports come
    unsigned int mods = 0;

    void FollowKeyboard() {
        Display* d = conn->display();
        int opcode = 0, eventBase = 0, errorBase = 0;
        int major = XkbMajorVersion, minor = XkbMinorVersion;
        Connection::ErrorScope scope;
        if (!XkbQueryExtension(d, &opcode, &eventBase, &errorBase, &major, &minor)) return;
        if (!XkbSelectEventDetails(d, XkbUseCoreKbd, XkbStateNotify, XkbModifierStateMask,
                                   XkbModifierStateMask))
            return;
        // Asked after the reports are on, so no change falls between the two.
        XkbStateRec state{};
        if (XkbGetState(d, XkbUseCoreKbd, &state) != Success || conn->SyncAndTakeError() != 0)
            return;
        mods = state.mods;
        xkbEvent = eventBase;
    }

    // Every magnifier tick reads the mouse, and the main display's corner costs
    // several round trips to learn; it is kept until the server reports a change
    // of the root window or of the RandR layout, as the screen's own list is.
    bool watching = false;
    bool originKnown = false;
    int64_t originX = 0, originY = 0;

    // Takes every event that has arrived, without waiting: the keyboard's
    // reports, and the layout changes, which are all the others. Most looks
    // find nothing, which one poll says more cheaply than Xlib's reading;
    // right after a reply, Xlib's own queue holds all there is.
    void TakeEvents(bool afterReply = false) {
        if (afterReply ? XQLength(conn->display()) == 0 : !conn->EventsWaiting()) return;
        Display* d = conn->display();
        while (!conn->lost() && XEventsQueued(d, QueuedAfterReading) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (xkbEvent >= 0 && event.type == xkbEvent) {
                const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
                if (xkb.any.xkb_type == XkbStateNotify) mods = xkb.state.mods;
                continue;
            }
            originKnown = false;
        }
    }

    // Called after a pointer query.
    void MainOrigin(int64_t* x, int64_t* y) {
        TakeEvents(true);
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
    impl->FollowKeyboard();
    return std::unique_ptr<X11Input>(new X11Input(std::move(impl)));
}

X11Input::X11Input(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Input::~X11Input() = default;

namespace {

Modifiers ModifiersOfMask(unsigned int mask) {
    Modifiers m;
    m.control = mask & ControlMask;
    m.shift = mask & ShiftMask;
    m.option = mask & Mod1Mask;
    m.command = mask & Mod4Mask;
    return m;
}

}  // namespace

InputState X11Input::State() {
    int x = 0, y = 0;
    unsigned int mask = 0;
    if (!impl_->Query(&x, &y, &mask)) return InputState{};
    // Points count from the main display's corner, as the screen's displays do.
    int64_t ox = 0, oy = 0;
    impl_->MainOrigin(&ox, &oy);
    int p = PixelsPerPoint();
    return InputState{Point{FloorDiv(x - ox, p), FloorDiv(y - oy, p)}, ModifiersOfMask(mask)};
}

Point X11Input::MousePosition() {
    return State().mouse;
}

Modifiers X11Input::ModifierState() {
    if (impl_->xkbEvent >= 0) {
        impl_->TakeEvents();
        if (impl_->conn->lost()) return Modifiers{};
        return ModifiersOfMask(impl_->mods);
    }
    int x, y;
    unsigned int mask = 0;
    if (!impl_->Query(&x, &y, &mask)) return Modifiers{};
    return ModifiersOfMask(mask);
}

}  // namespace platform::x11
