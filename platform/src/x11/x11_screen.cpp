#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xrandr.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <map>
#include <optional>

#include "clip.h"
#include "platform/x11.h"
#include "x11/connection.h"
#include "x11/monitors.h"

namespace platform::x11 {
namespace {

struct Channel {
    int shift = 0;
    unsigned long max = 0;
    static Channel Of(unsigned long mask) {
        Channel c;
        if (mask == 0) return c;
        c.shift = std::countr_zero(mask);
        c.max = mask >> c.shift;
        return c;
    }
    uint32_t Expand(unsigned long pixel) const {
        if (max == 0) return 0;
        unsigned long v = (pixel >> shift) & max;
        return uint32_t((v * 255 + max / 2) / max);
    }
};

// A shared memory segment that the server writes reads into. The screen
// keeps a few; one that a reader still holds (through the view's `keep`) is
// not written again until it is let go.
struct Segment {
    XShmSegmentInfo info{};
    size_t bytes = 0;
    bool attached = false;
    XImage* header = nullptr;  // over the segment, for the last read's size
    // The last read that needed about this much memory; one that a much
    // smaller read merely borrowed does not count.
    std::chrono::steady_clock::time_point lastNeeded{};

    Segment() = default;
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;
    ~Segment() {
        DropHeader();
        // The server has let go by now: detached by the screen, or gone with
        // its connection.
        if (info.shmaddr) shmdt(info.shmaddr);
    }
    void DropHeader() {
        if (!header) return;
        header->data = nullptr;  // the segment is not the header's to free
        XDestroyImage(header);
        header = nullptr;
    }
};

}  // namespace

struct X11Screen::Impl {
    // Reads held by their readers beyond this many go through plain requests.
    // A picture that nobody has looked at yet holds its read (a window keeps
    // its last one), so a few windows reading apart hold a few each.
    static constexpr size_t kMaxSegments = 10;
    // A segment that no read has needed for this long goes: the whole-display
    // reads at start would otherwise keep megabytes (mapped by the server
    // too) for the rest of the run.
    static constexpr std::chrono::seconds kUnneededFor{3};

    X11Screen::Clock now = [] { return std::chrono::steady_clock::now(); };

    std::unique_ptr<Connection> conn;
    Visual* visual = nullptr;
    int depth = 0;
    bool shmUsable = false;

    std::vector<std::shared_ptr<Segment>> segments;
    uint64_t segmentsCreated = 0;

    XImage* plainImage = nullptr;  // kept until the next read: the view points into it
    std::vector<uint8_t> converted;

    // The last reading; its view holds its segment. While reads are shared,
    // a read inside it is served from it within the moment that read it.
    bool sharing = false;
    struct Reading {
        uint32_t displayId = 0;
        Rect covered;
        PixelView view;
        Segment* segment = nullptr;  // the one the view holds: never null
    };
    std::optional<Reading> last;
    bool lastThisMoment = false;

    // The server's damage reports for the whole screen. While none has come
    // since the last reading, the screen still shows what was read, and a read
    // inside it is served from it in any moment: a magnifier staring at a
    // still screen asks the server nothing. Without the extension every moment
    // reads afresh.
    Damage damage = 0;
    int damageNotify = -1;
    bool damaged = true;

    void WatchDamage() {
        Display* d = conn->display();
        int eventBase = 0, errorBase = 0;
        if (!XDamageQueryExtension(d, &eventBase, &errorBase)) return;
        int major = 1, minor = 1;
        if (!XDamageQueryVersion(d, &major, &minor)) return;
        Connection::ErrorScope scope;
        conn->TakeError();
        const Damage made = XDamageCreate(d, conn->root(), XDamageReportNonEmpty);
        if (conn->SyncAndTakeError() != 0 || conn->lost()) return;
        damage = made;
        damageNotify = eventBase + XDamageNotify;
    }

    // Whether the last reading still shows the screen, and serves a read of
    // `c`: one that needs its segment, so that small reads keep no large
    // segment alive (the start's whole-display one, or one they borrowed).
    bool Undamaged(const Rect& c) const {
        if (!damage || damaged || stale || conn->lost() || !last) return false;
        return 2 * uint64_t(c.width) * uint64_t(c.height) * 4 >= last->view.keptBytes;
    }

    // Before a reading: from here on, any change of the screen is reported again.
    void Repair() {
        if (!damage || !damaged || conn->lost()) return;
        XDamageSubtract(conn->display(), damage, None, None);
        damaged = false;
    }

    // Takes the events that have come: a layout change makes the list stale,
    // a damage report the last reading.
    void TakeEvents() {
        bool damageCame = false;
        if (conn->TakeLayoutEvents(damageNotify, &damageCame)) stale = true;
        if (damageCame) damaged = true;
    }

    // The part `c` of the last reading, when it lies inside it.
    bool FromLast(uint32_t displayId, const Rect& c, PixelView* out) const {
        if (!last || last->displayId != displayId) return false;
        const Rect& l = last->covered;
        if (c.x < l.x || c.y < l.y || c.x + c.width > l.x + l.width ||
            c.y + c.height > l.y + l.height)
            return false;
        out->data = last->view.data + size_t(c.y - l.y) * last->view.stride + size_t(c.x - l.x) * 4;
        out->stride = last->view.stride;
        out->width = c.width;
        out->height = c.height;
        out->keep = last->view.keep;
        out->keptBytes = last->view.keptBytes;
        out->reading = last->view.reading;
        return true;
    }

    struct Entry {
        Monitor monitor;
        DisplayInfo info;
    };
    std::vector<Entry> entries;
    std::map<Atom, uint32_t> idByName;
    uint32_t nextId = 1;

    // The monitor list costs two round trips, and every capture asks for it
    // several times, so it is kept until the server says something changed.
    // The root's ConfigureNotify comes with every RandR monitor change (also
    // those that only add or remove a monitor), the RandR notifications with
    // modes, CRTCs and outputs. Without that watch every call asks again.
    bool watching = false;
    bool stale = true;
    int listedPixelsPerPoint = 0;
    // While reads are shared the list is looked at once: the captures of one
    // batch show one instant, and each of them asks for the list several
    // times, each look a poll of the connection.
    bool lookedWhileSharing = false;

    ~Impl() {
        if (damage && !conn->lost()) XDamageDestroy(conn->display(), damage);
        DropPlainImage();
        // Segments still held by readers outlive the connection; the server
        // lets go of them here, their memory when the last holder does.
        for (const std::shared_ptr<Segment>& s : segments) Detach(*s);
    }

    void DropPlainImage() {
        if (plainImage) XDestroyImage(plainImage);
        plainImage = nullptr;
    }
    void Detach(Segment& s) {
        if (s.attached && !conn->lost()) XShmDetach(conn->display(), &s.info);
        s.attached = false;
    }

    std::shared_ptr<Segment> NewSegment(size_t bytes) {
        auto s = std::make_shared<Segment>();
        s->attached = conn->AttachSegment(bytes, false, &s->info);
        if (!s->attached) {
            // A server that cannot attach our memory (another machine, say)
            // never will: plain requests from now on.
            if (!conn->lost()) shmUsable = false;
            return nullptr;
        }
        s->bytes = bytes;
        ++segmentsCreated;
        return s;
    }

    // A segment of at least `bytes` that no reader holds; null when all are
    // held or shared memory fails, and the read then takes a plain request.
    static bool IsFree(const std::shared_ptr<Segment>& s) { return s.use_count() == 1; }

    // Lets go of the free segments that no read has needed for a while.
    bool Unneeded(const std::shared_ptr<Segment>& s,
                  std::chrono::steady_clock::time_point t) const {
        return IsFree(s) && t - s->lastNeeded >= kUnneededFor;
    }
    // The last reading goes too once no read has needed its segment for as
    // long: it would keep that segment alive.
    bool LastUnneeded(std::chrono::steady_clock::time_point t) const {
        return last && !lastThisMoment && t - last->segment->lastNeeded >= kUnneededFor;
    }
    bool AnyUnneeded(std::chrono::steady_clock::time_point t) const {
        return LastUnneeded(t) ||
               std::any_of(segments.begin(), segments.end(),
                           [&](const std::shared_ptr<Segment>& s) { return Unneeded(s, t); });
    }
    void DropUnneeded(std::chrono::steady_clock::time_point t) {
        if (LastUnneeded(t)) last.reset();
        std::erase_if(segments, [&](const std::shared_ptr<Segment>& s) {
            if (!Unneeded(s, t)) return false;
            Detach(*s);
            return true;
        });
    }

    // The smallest free segment that holds `bytes`, else a new one.
    std::shared_ptr<Segment> FreeSegment(size_t bytes) {
        std::shared_ptr<Segment> best;
        for (const std::shared_ptr<Segment>& s : segments)
            if (IsFree(s) && s->bytes >= bytes && (!best || s->bytes < best->bytes)) best = s;
        if (best) return best;
        // A free one too small makes room for a larger one.
        auto small = std::find_if(segments.begin(), segments.end(), IsFree);
        if (small != segments.end()) {
            Detach(**small);
            segments.erase(small);
        } else if (segments.size() >= kMaxSegments) {
            return nullptr;
        }
        std::shared_ptr<Segment> s = NewSegment(bytes);
        if (!s) return nullptr;
        segments.push_back(s);
        return s;
    }

    // A read of `bytes` needs the segment when it fills at least half of it.
    void Needed(Segment& s, size_t bytes) {
        if (2 * bytes >= s.bytes) s.lastNeeded = now();
    }

    // Null when shared memory cannot serve this read; the caller falls back.
    XImage* ShmImage(int w, int h, std::shared_ptr<Segment>* used) {
        // Steady reads of one size find their header ready.
        for (const std::shared_ptr<Segment>& s : segments) {
            if (s.use_count() == 1 && s->header && s->header->width == w &&
                s->header->height == h) {
                Needed(*s, size_t(s->header->bytes_per_line) * size_t(h));
                *used = s;
                return s->header;
            }
        }
        XImage* img = XShmCreateImage(conn->display(), visual, unsigned(depth), ZPixmap, nullptr,
                                      nullptr, unsigned(w), unsigned(h));
        if (!img) return nullptr;
        std::shared_ptr<Segment> s = FreeSegment(size_t(img->bytes_per_line) * size_t(h));
        if (!s) {
            XDestroyImage(img);
            return nullptr;
        }
        Needed(*s, size_t(img->bytes_per_line) * size_t(h));
        s->DropHeader();
        img->data = s->info.shmaddr;
        img->obdata = reinterpret_cast<char*>(&s->info);
        s->header = img;
        *used = std::move(s);
        return img;
    }

    // The image of the read, and in `used` the segment that holds its pixels
    // (null for a plain request).
    XImage* Fetch(const Monitor& m, const Rect& c, std::shared_ptr<Segment>* used) {
        Display* d = conn->display();
        int x = m.x + c.x, y = m.y + c.y;
        Connection::ErrorScope scope;
        conn->TakeError();
        used->reset();
        if (shmUsable) {
            if (XImage* img = ShmImage(c.width, c.height, used)) {
                if (XShmGetImage(d, conn->root(), img, x, y, AllPlanes) && !conn->lost() &&
                    conn->TakeError() == 0)
                    return img;
                used->reset();
                return nullptr;
            }
            if (conn->lost()) return nullptr;
        }
        DropPlainImage();
        plainImage = XGetImage(d, conn->root(), x, y, unsigned(c.width), unsigned(c.height),
                               AllPlanes, ZPixmap);
        if (conn->lost() || conn->TakeError() != 0) DropPlainImage();
        return plainImage;
    }

    void ToView(XImage* img, std::shared_ptr<Segment> segment, PixelView* out) {
        out->width = img->width;
        out->height = img->height;
        if (img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xff0000 &&
            img->green_mask == 0xff00 && img->blue_mask == 0xff) {
            out->data = reinterpret_cast<const uint8_t*>(img->data);
            out->stride = size_t(img->bytes_per_line);
            out->keptBytes = segment ? segment->bytes : 0;
            out->keep = std::move(segment);
            return;
        }
        // Other depths are rare enough that a per-pixel conversion will do.
        Channel r = Channel::Of(img->red_mask), g = Channel::Of(img->green_mask),
                b = Channel::Of(img->blue_mask);
        bool trueColor = r.max && g.max && b.max;
        size_t stride = size_t(img->width) * 4;
        converted.resize(stride * size_t(img->height));
        for (int y = 0; y < img->height; ++y) {
            uint8_t* row = converted.data() + size_t(y) * stride;
            for (int x = 0; x < img->width; ++x) {
                unsigned long p = XGetPixel(img, x, y);
                uint8_t* q = row + size_t(x) * 4;
                if (trueColor) {
                    q[0] = uint8_t(b.Expand(p));
                    q[1] = uint8_t(g.Expand(p));
                    q[2] = uint8_t(r.Expand(p));
                } else {
                    q[0] = q[1] = q[2] = uint8_t(p);
                }
                q[3] = 0;
            }
        }
        out->data = converted.data();
        out->stride = stride;
    }

    void Watch() { watching = conn->WatchLayoutChanges(); }

    // The list holds the layout that the server last reported.
    bool ListCurrent() const {
        return watching && !stale && listedPixelsPerPoint == PixelsPerPoint();
    }

    // Within a moment the list looked at once stands, and nothing is asked.
    bool SeenThisMoment() const {
        return sharing && lookedWhileSharing && ListCurrent() && !conn->lost();
    }
    void RefreshIfChanged() {
        if (SeenThisMoment()) return;
        TakeEvents();
        if (conn->lost()) {
            entries.clear();
            return;
        }
        if (!ListCurrent()) Refresh();
        lookedWhileSharing = sharing;
    }

    void Refresh() {
        entries.clear();
        stale = true;
        if (conn->lost()) return;
        // The queries below answer every event already here; those that come
        // in while they run stay queued and make the next call ask again.
        TakeEvents();
        std::vector<Monitor> monitors = QueryMonitors(conn->display(), conn->root());
        if (monitors.empty() || conn->lost()) return;  // asked again next time
        stale = false;
        int p = PixelsPerPoint();
        listedPixelsPerPoint = p;
        const Monitor& main = monitors.front();
        int bits = 8, samples = 3;
        if (visual->c_class == TrueColor || visual->c_class == DirectColor) {
            bits = std::min({std::popcount(visual->red_mask), std::popcount(visual->green_mask),
                             std::popcount(visual->blue_mask)});
        } else {
            bits = depth;
            samples = 1;
        }
        for (const Monitor& m : monitors) {
            if (m.width < p || m.height < p) continue;
            auto [it, added] = idByName.try_emplace(m.name, nextId);
            if (added) ++nextId;
            DisplayInfo info;
            info.id = it->second;
            info.bounds = Rect{FloorDiv(int64_t(m.x) - main.x, p),
                               FloorDiv(int64_t(m.y) - main.y, p), m.width / p, m.height / p};
            info.pixelsPerPoint = p;
            info.bitsPerSample = bits;
            info.samplesPerPixel = samples;
            info.isMain = entries.empty();
            entries.push_back(Entry{m, info});
        }
    }

    const Entry* Find(uint32_t id) {
        for (const Entry& e : entries)
            if (e.info.id == id) return &e;
        return nullptr;
    }
};

// The screen is also what a library loaded into another program reads, so it
// keeps the process's error handlers untouched between its calls: each call
// that may talk to the server holds an ErrorScope.
std::unique_ptr<X11Screen> X11Screen::Open(const char* displayName, PixelPath path) {
    Connection::ErrorScope scope;
    auto conn = Connection::Open(displayName, Connection::Handlers::Scoped);
    if (!conn) return nullptr;
    auto impl = std::make_unique<Impl>();
    Display* d = conn->display();
    impl->visual = DefaultVisual(d, DefaultScreen(d));
    impl->depth = DefaultDepth(d, DefaultScreen(d));
    impl->shmUsable = path == PixelPath::Automatic && XShmQueryExtension(d);
    impl->conn = std::move(conn);
    impl->Watch();
    impl->WatchDamage();
    return std::unique_ptr<X11Screen>(new X11Screen(std::move(impl)));
}

X11Screen::X11Screen(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Screen::~X11Screen() {
    Connection::ErrorScope scope;
    impl_.reset();
}

std::vector<DisplayInfo> X11Screen::Displays() {
    if (!impl_->SeenThisMoment()) {
        Connection::ErrorScope scope;
        impl_->RefreshIfChanged();
    }
    std::vector<DisplayInfo> list;
    for (const Impl::Entry& e : impl_->entries) list.push_back(e.info);
    return list;
}

bool X11Screen::Read(uint32_t displayId, Rect r, PixelView* out, Rect* covered) {
    // A view read into again lets go of its old pixels first, so that a
    // reader's one view costs one segment.
    if (out) out->keep.reset();
    Connection::ErrorScope scope;
    impl_->DropUnneeded(impl_->now());
    PixelView view;
    Rect c;
    bool ok = false;
    // The monitor list is refreshed by Displays(); a read asks the server only
    // when it names a display that list does not know, so steady reads cost one
    // image request and nothing more.
    const Impl::Entry* e = impl_->Find(displayId);
    if (!e && displayId != 0 && !impl_->conn->lost()) {
        impl_->Refresh();
        e = impl_->Find(displayId);
    }
    if (e && ClipToArea(r, e->info.PixelWidth(), e->info.PixelHeight(), &c)) {
        // Within a moment the events were taken at its first look.
        if (!impl_->SeenThisMoment()) impl_->TakeEvents();
        if (((impl_->sharing && impl_->lastThisMoment) || impl_->Undamaged(c)) &&
            impl_->FromLast(displayId, c, &view)) {
            impl_->Needed(*impl_->last->segment, size_t(c.width) * size_t(c.height) * 4);
            ok = true;
        } else {
            impl_->Repair();
            // The reading this one replaces lets go of its segment, which the
            // new one may take if no reader holds it.
            impl_->last.reset();
            impl_->lastThisMoment = false;
            std::shared_ptr<Segment> segment;
            if (XImage* img = impl_->Fetch(e->monitor, c, &segment)) {
                Segment* held = segment.get();
                impl_->ToView(img, std::move(segment), &view);
                view.reading = NewReading();
                ok = true;
                // Only memory that outlives the next read can serve later ones.
                if (impl_->sharing || impl_->damage) {
                    if (view.keep) {
                        impl_->last = Impl::Reading{displayId, c, view, held};
                        impl_->lastThisMoment = impl_->sharing;
                    }
                }
            } else {
                impl_->damaged = true;  // nothing read: the next read asks again
            }
        }
    }
    if (!ok) {
        view = PixelView{};
        c = Rect{};
    }
    if (out) *out = view;
    if (covered) *covered = c;
    return ok;
}

void X11Screen::ReleaseUnused() {
    // Asked after every batch of ticks, which mostly finds nothing to let go:
    // the error handlers are put in place only when a segment goes.
    const auto t = impl_->now();
    if (!impl_->AnyUnneeded(t)) return;
    Connection::ErrorScope scope;
    impl_->DropUnneeded(t);
}

void X11Screen::ShareReads(bool on) {
    impl_->sharing = on;
    impl_->lookedWhileSharing = false;
    impl_->lastThisMoment = false;
    if (!impl_->damage) impl_->last.reset();
}

void X11Screen::SetClock(Clock now) {
    impl_->now = std::move(now);
}

size_t X11Screen::SegmentBytes() const {
    size_t total = 0;
    for (const std::shared_ptr<Segment>& s : impl_->segments) total += s->bytes;
    return total;
}

bool X11Screen::UsesSharedMemory() const {
    return impl_->shmUsable;
}
uint64_t X11Screen::SegmentsCreated() const {
    return impl_->segmentsCreated;
}
bool X11Screen::ConnectionLost() const {
    return impl_->conn->lost();
}

}  // namespace platform::x11
