// A connection to the X server whose protocol errors are recorded rather than
// fatal, and whose loss leaves the process running.
//
// Xlib's error handlers are process-wide; the ones installed here handle the
// connections opened through this class and hand every other connection's
// errors to whatever handler was there before, so a toolkit sharing the
// process keeps its own behaviour. The loss of a connection is survived through
// a per-connection exit handler: Xlib's calls on it then return failure, and
// this class refuses further requests once it has seen the loss.
//
// Whether ours stay installed between calls is chosen per connection. A
// connection that Xlib may read from at any time (event dispatch, queries in
// passing) needs them for good; one whose every call runs inside an ErrorScope
// leaves the process's handlers as it found them, which is what a library
// loaded into somebody else's program owes that program.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <memory>

namespace platform::x11 {

class Connection {
  public:
    enum class Handlers {
        ProcessWide,  // ours installed at the first open and kept
        Scoped        // ours only while an ErrorScope lives
    };
    static std::unique_ptr<Connection> Open(const char* displayName,
                                            Handlers handlers = Handlers::ProcessWide);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* display() const { return display_; }
    Window root() const { return root_; }
    bool lost() const { return lost_.load(std::memory_order_relaxed); }

    // The first error code recorded since the last call (0 for none), cleared.
    int TakeError();
    // Waits until the server has handled every request, then TakeError().
    int SyncAndTakeError();

    // Asks the server for the events that come with every change of the desktop's
    // layout: the root's ConfigureNotify (also sent for RandR monitor changes)
    // and RandR's screen, CRTC and output notifications. False when refused.
    bool WatchLayoutChanges();
    // Takes every queued event off the connection without waiting; true when
    // any layout event arrived. Events of type `otherType` are no layout
    // change: they set `*other` instead. A connection that watches anything
    // else may not use it.
    bool TakeLayoutEvents(int otherType = -1, bool* other = nullptr);
    // Whether events may wait to be taken, learnt without reading: Xlib holds
    // some, or the socket has bytes (or its end) to read. After any reply Xlib
    // has taken in every event that came before it, so nothing hides between.
    bool EventsWaiting() const;

    // A new shared memory segment of `bytes` that the server has attached, to
    // write into (reads) or only to read (`serverReadsOnly`). It is marked for
    // removal at once, so it goes with the last detach even if this process
    // dies. False, with nothing left behind, when the memory cannot be had or
    // the server refuses it.
    bool AttachSegment(size_t bytes, bool serverReadsOnly, XShmSegmentInfo* info);

    // Keeps this library's error handlers (protocol and I/O) in force while it
    // lives and puts back the ones it found. The handlers are the process's:
    // another thread's errors meanwhile are handed on to the handlers found,
    // but a handler that another thread sets meanwhile is replaced by them at
    // the end, so a program is assumed to set its handlers while none of our
    // calls runs.
    class ErrorScope {
      public:
        ErrorScope();
        ~ErrorScope();
        ErrorScope(const ErrorScope&) = delete;
        ErrorScope& operator=(const ErrorScope&) = delete;

      private:
        XErrorHandler saved_ = nullptr;
        XErrorHandler chained_ = nullptr;
        XIOErrorHandler savedIO_ = nullptr;
        XIOErrorHandler chainedIO_ = nullptr;
    };

    // Called by the process-wide handlers.
    void RecordError(int code);
    void MarkLost();

  private:
    explicit Connection(Display* d);
    Display* display_;
    Window root_;
    std::atomic<bool> lost_{false};
    std::atomic<int> firstError_{0};
};

}  // namespace platform::x11
