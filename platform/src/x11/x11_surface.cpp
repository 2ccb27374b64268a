// Window surfaces over MIT-SHM: the pixels live in a segment that the server
// reads on XShmPutImage, so showing them costs one request and no copy in this
// process. The server reads after the request returns; each put asks for a
// completion event, and a surface written again before that event came waits
// for the server first.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/shm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/x11.h"
#include "x11/connection.h"

namespace platform::x11 {
namespace {

class X11Surface;

}  // namespace

// Shared by the maker and every surface it made, which may outlive it.
struct X11Surfaces::Impl {
    std::string displayName;
    bool tried = false;
    std::unique_ptr<Connection> conn;  // opened at the first surface
    int completionType = -1;
    std::vector<X11Surface*> live;

    Connection* Ready();
    // Takes the events that have arrived, without waiting, and counts each
    // completion against the surface whose put it ends.
    void TakeEvents();
};

namespace {

class X11Surface final : public Surface {
  public:
    X11Surface(std::shared_ptr<X11Surfaces::Impl> owner, ::Window window)
        : owner_(std::move(owner)), window_(window) {}
    X11Surface(const X11Surface&) = delete;
    X11Surface& operator=(const X11Surface&) = delete;

    ~X11Surface() override {
        auto& live = owner_->live;
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
        Connection* conn = owner_->conn.get();
        if (conn && !conn->lost()) {
            Display* d = conn->display();
            // Handled after every put of ours, so the server reads no more.
            if (attached_) XShmDetach(d, &info_);
            if (gc_) XFreeGC(d, gc_);
            XFlush(d);
        }
        if (image_) {
            image_->data = nullptr;  // the segment is not the image's to free
            XDestroyImage(image_);
        }
        if (info_.shmaddr) shmdt(info_.shmaddr);
    }

    // False, with whatever was made released by the destructor, when the
    // window or the server will not do.
    bool Make(int32_t width, int32_t height) {
        Connection* conn = owner_->conn.get();
        Display* d = conn->display();
        XWindowAttributes attrs{};
        {
            Connection::ErrorScope scope;
            conn->TakeError();
            if (!XGetWindowAttributes(d, window_, &attrs) || conn->TakeError() != 0) return false;
        }
        const Visual* v = attrs.visual;
        if (!v || v->c_class != TrueColor || v->red_mask != 0xFF0000 || v->green_mask != 0xFF00 ||
            v->blue_mask != 0xFF || (attrs.depth != 24 && attrs.depth != 32))
            return false;
        image_ = XShmCreateImage(d, attrs.visual, unsigned(attrs.depth), ZPixmap, nullptr, &info_,
                                 unsigned(width), unsigned(height));
        if (!image_ || image_->bits_per_pixel != 32 || image_->byte_order != LSBFirst) return false;
        attached_ =
            conn->AttachSegment(size_t(image_->bytes_per_line) * size_t(height), true, &info_);
        if (!attached_) return false;
        image_->data = info_.shmaddr;
        XGCValues values{};
        values.graphics_exposures = False;
        gc_ = XCreateGC(d, window_, GCGraphicsExposures, &values);
        return gc_ != nullptr;
    }

    uint8_t* Bits() override { return reinterpret_cast<uint8_t*>(image_->data); }
    ptrdiff_t Stride() const override { return image_->bytes_per_line; }
    int32_t Width() const override { return image_->width; }
    int32_t Height() const override { return image_->height; }

    void BeginWrite() override {
        if (pending_ == 0) return;
        owner_->TakeEvents();
        if (pending_ == 0) return;
        // Still reading: once the server has handled everything sent so far,
        // the puts are done and their completions are in the queue.
        Connection* conn = owner_->conn.get();
        if (!conn->lost()) {
            XSync(conn->display(), False);
            owner_->TakeEvents();
        }
        pending_ = 0;
    }

    void Show(Rect r) override {
        Connection* conn = owner_->conn.get();
        const int32_t x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
        const int32_t x1 = std::min<int64_t>(int64_t(r.x) + r.width, Width());
        const int32_t y1 = std::min<int64_t>(int64_t(r.y) + r.height, Height());
        if (conn->lost() || x0 >= x1 || y0 >= y1) return;
        Display* d = conn->display();
        if (XShmPutImage(d, window_, gc_, image_, x0, y0, x0, y0, unsigned(x1 - x0),
                         unsigned(y1 - y0), True))
            ++pending_;
        XFlush(d);
    }

    void Completed(ShmSeg seg) {
        if (seg == info_.shmseg && pending_ > 0) --pending_;
    }

  private:
    std::shared_ptr<X11Surfaces::Impl> owner_;
    ::Window window_;
    XImage* image_ = nullptr;
    XShmSegmentInfo info_{};
    bool attached_ = false;
    GC gc_ = nullptr;
    int pending_ = 0;  // puts whose completion has not come yet
};

}  // namespace

Connection* X11Surfaces::Impl::Ready() {
    if (!tried) {
        tried = true;
        conn = Connection::Open(displayName.empty() ? nullptr : displayName.c_str());
        if (conn && XShmQueryExtension(conn->display())) {
            completionType = XShmGetEventBase(conn->display()) + ShmCompletion;
        } else {
            conn.reset();
        }
    }
    return conn && !conn->lost() ? conn.get() : nullptr;
}

void X11Surfaces::Impl::TakeEvents() {
    if (!conn || !conn->EventsWaiting()) return;
    Display* d = conn->display();
    while (!conn->lost() && XEventsQueued(d, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type != completionType) continue;
        const ShmSeg seg = reinterpret_cast<const XShmCompletionEvent&>(event).shmseg;
        for (X11Surface* s : live) s->Completed(seg);
    }
}

std::unique_ptr<X11Surfaces> X11Surfaces::Open(const char* displayName) {
    auto impl = std::make_shared<Impl>();
    if (displayName) impl->displayName = displayName;
    return std::unique_ptr<X11Surfaces>(new X11Surfaces(std::move(impl)));
}

X11Surfaces::X11Surfaces(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Surfaces::~X11Surfaces() = default;

std::unique_ptr<Surface> X11Surfaces::Create(uint64_t window, int32_t width, int32_t height) {
    if (window == 0 || width <= 0 || height <= 0 || !impl_->Ready()) return nullptr;
    auto surface = std::make_unique<X11Surface>(impl_, ::Window(window));
    impl_->live.push_back(surface.get());
    if (!surface->Make(width, height)) return nullptr;
    return surface;
}

}  // namespace platform::x11
