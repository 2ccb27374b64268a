#include "x11/connection.h"

#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/x11.h"

namespace platform::x11 {
namespace {

// Never destroyed: a connection that a static owns (the desktop's screen) is
// closed at exit, after statics made later than it are gone.
std::mutex& RegistryMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::vector<Connection*>& Registry() {
    static auto* list = new std::vector<Connection*>;
    return *list;
}

XErrorHandler previousError = nullptr;
XIOErrorHandler previousIOError = nullptr;
std::atomic<ConnectionLostHandler> lostHandler{nullptr};

Connection* Lookup(Display* d) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    for (Connection* c : Registry())
        if (c->display() == d) return c;
    return nullptr;
}

int OnError(Display* d, XErrorEvent* e) {
    if (Connection* c = Lookup(d)) {
        c->RecordError(e->error_code ? e->error_code : 255);
        return 0;
    }
    return previousError ? previousError(d, e) : 0;
}

int OnIOError(Display* d) {
    if (Connection* c = Lookup(d)) {
        c->MarkLost();
        return 0;  // the per-connection exit handler runs next and keeps us alive
    }
    return previousIOError ? previousIOError(d) : 0;
}

void OnExit(Display*, void* data) {
    static_cast<Connection*>(data)->MarkLost();
}

void InstallHandlersOnce() {
    static std::once_flag once;
    // Inside an ErrorScope ours are already in front, and what they hand on
    // to is known: never chain them to themselves.
    std::call_once(once, [] {
        if (XErrorHandler was = XSetErrorHandler(OnError); was != OnError) previousError = was;
        if (XIOErrorHandler was = XSetIOErrorHandler(OnIOError); was != OnIOError)
            previousIOError = was;
    });
}

}  // namespace

void SetConnectionLostHandler(ConnectionLostHandler handler) {
    lostHandler.store(handler);
}

// A toolkit in the same process may install its own handler after ours (and
// one that ignores every error would hide a refused grab), so each request
// whose outcome matters puts ours back in front for its duration.
// The same goes for the I/O handler: a toolkit's may end the process when any
// connection breaks, ours only marks our connection lost.
Connection::ErrorScope::ErrorScope() {
    XErrorHandler current = XSetErrorHandler(OnError);
    if (current != OnError) {
        saved_ = current;
        chained_ = previousError;
        previousError = current;
    }
    XIOErrorHandler currentIO = XSetIOErrorHandler(OnIOError);
    if (currentIO != OnIOError) {
        savedIO_ = currentIO;
        chainedIO_ = previousIOError;
        previousIOError = currentIO;
    }
}

Connection::ErrorScope::~ErrorScope() {
    if (savedIO_) {
        XSetIOErrorHandler(savedIO_);
        previousIOError = chainedIO_;
    }
    if (saved_) {
        XSetErrorHandler(saved_);
        previousError = chained_;
    }
}

std::unique_ptr<Connection> Connection::Open(const char* displayName, Handlers handlers) {
    if (handlers == Handlers::ProcessWide) InstallHandlersOnce();
    Display* d = XOpenDisplay(displayName);
    if (!d) return nullptr;
    std::unique_ptr<Connection> c(new Connection(d));
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry().push_back(c.get());
    }
    XSetIOErrorExitHandler(d, OnExit, c.get());
    return c;
}

Connection::Connection(Display* d) : display_(d), root_(DefaultRootWindow(d)) {}

Connection::~Connection() {
    // Also after a loss: Xlib then skips the round trips and only frees, and the
    // loss handlers, should they run once more, still find this connection.
    {
        ErrorScope scope;
        XCloseDisplay(display_);
    }
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& list = Registry();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Connection::MarkLost() {
    if (lost_.exchange(true, std::memory_order_relaxed)) return;
    if (ConnectionLostHandler handler = lostHandler.load()) handler(DisplayString(display_));
}

void Connection::RecordError(int code) {
    int none = 0;
    firstError_.compare_exchange_strong(none, code);
}

int Connection::TakeError() {
    return firstError_.exchange(0);
}

int Connection::SyncAndTakeError() {
    ErrorScope scope;
    if (!lost()) XSync(display_, False);
    if (lost()) return BadImplementation;
    return TakeError();
}

bool Connection::WatchLayoutChanges() {
    ErrorScope scope;
    TakeError();
    XSelectInput(display_, root_, StructureNotifyMask);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(display_, &eventBase, &errorBase) &&
        XRRQueryVersion(display_, &major, &minor)) {
        int mask = RRScreenChangeNotifyMask;
        if (major > 1 || minor >= 2) mask |= RRCrtcChangeNotifyMask | RROutputChangeNotifyMask;
        XRRSelectInput(display_, root_, mask);
    }
    return SyncAndTakeError() == 0;
}

bool Connection::TakeLayoutEvents(int otherType, bool* other) {
    // Asked at every capture: a look at the queue and the socket, which costs
    // less than having Xlib try to read when nothing came.
    if (!EventsWaiting()) return false;
    bool any = false;
    while (!lost() && XEventsQueued(display_, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (otherType >= 0 && event.type == otherType) {
            if (other) *other = true;
        } else {
            any = true;
        }
    }
    return any;
}

bool Connection::AttachSegment(size_t bytes, bool serverReadsOnly, XShmSegmentInfo* info) {
    *info = XShmSegmentInfo{};
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return false;
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    info->shmid = id;
    info->shmaddr = static_cast<char*>(addr);
    info->readOnly = serverReadsOnly ? True : False;
    bool attached = false;
    {
        ErrorScope scope;
        TakeError();
        attached = XShmAttach(display_, info) && SyncAndTakeError() == 0;
    }
    shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(addr);
        *info = XShmSegmentInfo{};
        return false;
    }
    // Every page is written at the first use: all of them in one go, for the
    // server and for us, rather than one fault at a time on either side.
    madvise(addr, bytes, MADV_POPULATE_WRITE);
    return true;
}

bool Connection::EventsWaiting() const {
    if (lost()) return false;
    if (XQLength(display_) > 0) return true;
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    return poll(&fd, 1, 0) != 0;
}

}  // namespace platform::x11
