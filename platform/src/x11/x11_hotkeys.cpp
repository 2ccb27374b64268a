#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <deque>
#include <set>

#include "platform/x11.h"
#include "x11/connection.h"

namespace platform::x11 {
namespace {

// Letters at the ANSI key positions that the virtual key codes 0..9 name.
constexpr KeySym kLetters[] = {XK_a, XK_s, XK_d, XK_f, XK_h, XK_g, XK_z, XK_x, XK_c, XK_v};

constexpr unsigned int kChordMods = ControlMask | ShiftMask | Mod1Mask | Mod4Mask;

bool ToXModifiers(uint32_t carbon, unsigned int* x) {
    constexpr uint32_t known =
        carbon::kCommand | carbon::kShift | carbon::kOption | carbon::kControl;
    if (carbon & ~known) return false;
    *x = 0;
    if (carbon & carbon::kCommand) *x |= Mod4Mask;
    if (carbon & carbon::kOption) *x |= Mod1Mask;
    if (carbon & carbon::kControl) *x |= ControlMask;
    if (carbon & carbon::kShift) *x |= ShiftMask;
    return true;
}

unsigned int NumLockMask(Display* d) {
    KeyCode numLock = XKeysymToKeycode(d, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(d);
    unsigned int mask = 0;
    if (map && numLock != 0) {
        for (int mod = 0; mod < 8; ++mod)
            for (int k = 0; k < map->max_keypermod; ++k)
                if (map->modifiermap[mod * map->max_keypermod + k] == numLock) mask = 1u << mod;
    }
    if (map) XFreeModifiermap(map);
    return mask;
}

}  // namespace

struct X11HotKeys::Impl {
    struct Grab {
        uint32_t keyCode, carbonModifiers, signature, id;
        KeyCode xkey;
        unsigned int xmods;
    };

    std::unique_ptr<Connection> conn;
    std::vector<Grab> grabs;
    int32_t lastError = 0;
    Callback callback;
    unsigned int numLock = 0;
    std::set<unsigned int> down;  // keys pressed and not yet released
    std::deque<std::pair<uint32_t, uint32_t>> pending;

    // A chord must also fire with Caps Lock or Num Lock on, and those are
    // modifiers to the server: each chord is grabbed in all four lock states.
    std::vector<unsigned int> Variants(unsigned int mods) const {
        std::vector<unsigned int> v{mods, mods | LockMask};
        if (numLock) {
            v.push_back(mods | numLock);
            v.push_back(mods | numLock | LockMask);
        }
        return v;
    }

    void Ungrab(KeyCode key, unsigned int mods) {
        for (unsigned int m : Variants(mods)) XUngrabKey(conn->display(), key, m, conn->root());
    }

    int32_t Fail(int32_t code) {
        lastError = code;
        return code;
    }

    void Handle(XEvent& ev) {
        Display* d = conn->display();
        if (ev.type == KeyRelease) {
            // Without detectable auto-repeat the server fakes a release and a
            // press with the same time for each repeat; both are dropped.
            if (XEventsQueued(d, QueuedAfterReading)) {
                XEvent next;
                XPeekEvent(d, &next);
                if (next.type == KeyPress && next.xkey.keycode == ev.xkey.keycode &&
                    next.xkey.time == ev.xkey.time) {
                    XNextEvent(d, &next);
                    return;
                }
            }
            down.erase(ev.xkey.keycode);
            return;
        }
        if (ev.type != KeyPress) return;
        // With detectable auto-repeat a held key sends presses only.
        if (!down.insert(ev.xkey.keycode).second) return;
        unsigned int mods = ev.xkey.state & kChordMods;
        for (const Grab& g : grabs) {
            if (g.xkey == ev.xkey.keycode && g.xmods == mods) {
                pending.emplace_back(g.signature, g.id);
                return;
            }
        }
    }
};

std::unique_ptr<X11HotKeys> X11HotKeys::Open(const char* displayName) {
    auto conn = Connection::Open(displayName);
    if (!conn) return nullptr;
    auto impl = std::make_unique<Impl>();
    Display* d = conn->display();
    Bool supported = False;
    XkbSetDetectableAutoRepeat(d, True, &supported);
    impl->numLock = NumLockMask(d);
    impl->conn = std::move(conn);
    impl->conn->SyncAndTakeError();
    return std::unique_ptr<X11HotKeys>(new X11HotKeys(std::move(impl)));
}

X11HotKeys::X11HotKeys(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11HotKeys::~X11HotKeys() {
    UnregisterAll();
}

int32_t X11HotKeys::Register(uint32_t keyCode, uint32_t carbonModifiers, uint32_t signature,
                             uint32_t id) {
    Impl& s = *impl_;
    unsigned int mods = 0;
    if (keyCode >= std::size(kLetters) || !ToXModifiers(carbonModifiers, &mods))
        return s.Fail(kErrorBadChord);
    if (s.conn->lost()) return s.Fail(kErrorConnection);
    bool ours = std::any_of(s.grabs.begin(), s.grabs.end(), [&](const Impl::Grab& g) {
        return g.keyCode == keyCode && g.carbonModifiers == carbonModifiers;
    });
    if (ours) return s.Fail(kErrorChordTaken);
    Display* d = s.conn->display();
    KeyCode key = XKeysymToKeycode(d, kLetters[keyCode]);
    if (key == 0) return s.Fail(kErrorBadChord);

    s.conn->TakeError();
    for (unsigned int m : s.Variants(mods))
        XGrabKey(d, key, m, s.conn->root(), True, GrabModeAsync, GrabModeAsync);
    int error = s.conn->SyncAndTakeError();
    if (error != 0) {
        // Some lock variants may have been granted; a chord is all or nothing.
        if (!s.conn->lost()) {
            s.Ungrab(key, mods);
            s.conn->SyncAndTakeError();
        }
        return s.Fail(error == BadAccess && !s.conn->lost() ? kErrorChordTaken : kErrorConnection);
    }
    s.grabs.push_back(Impl::Grab{keyCode, carbonModifiers, signature, id, key, mods});
    return 0;
}

void X11HotKeys::UnregisterAll() {
    Impl& s = *impl_;
    if (!s.conn->lost()) {
        for (const Impl::Grab& g : s.grabs) s.Ungrab(g.xkey, g.xmods);
        s.conn->SyncAndTakeError();
    }
    s.grabs.clear();
}

int32_t X11HotKeys::LastError() const {
    return impl_->lastError;
}
void X11HotKeys::SetCallback(Callback cb) {
    impl_->callback = std::move(cb);
}

int X11HotKeys::FileDescriptor() const {
    return impl_->conn->lost() ? -1 : ConnectionNumber(impl_->conn->display());
}

void X11HotKeys::Dispatch() {
    Impl& s = *impl_;
    Display* d = s.conn->display();
    while (!s.conn->lost() && XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        s.Handle(ev);
    }
    s.conn->TakeError();
    // A callback may register or dispatch again; it sees a fresh queue.
    std::deque<std::pair<uint32_t, uint32_t>> batch;
    batch.swap(s.pending);
    for (const auto& [signature, id] : batch)
        if (s.callback) s.callback(signature, id);
}

}  // namespace platform::x11
