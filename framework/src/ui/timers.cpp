// Timer scheduling, on the wall clock on the desktop and on a test clock under
// the headless fixture, by the same rules:
//
// - A timer fires first one period after it starts and then once every period.
//   Ticks are dispatched one at a time on the event loop; a repeating timer
//   whose tick overruns its period skips the missed ticks instead of firing
//   them in a burst.
// - Repeating timers whose periods divide one another keep in step: a new one
//   puts its first tick on the beat of one already running, at most one beat
//   later than a period after its start, so that from then on their ticks fall
//   due together. Timers that fall due together fire in the order they were
//   started, in one batch: the process wakes once for them, not once for each.
// - On the desktop, ticks that fall due while an Open event runs (it may yield
//   to the event loop while it reads) wait until it has finished: a tick would
//   find the program only half made. They then fire as one batch.
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "fw/ui/application.h"
#include "fw/ui/controls.h"
#include "fw/ui/picture.h"
#include "platform/screen.h"
#include "ui/ui_state.h"

namespace fw::detail {
namespace {

struct Entry {
    int64_t id = 0;  // also the order of starting
    Timer* timer = nullptr;
    int32_t period = 0;
    bool repeat = false;
    bool wallClock = false;  // false: the test clock drives it
    int64_t due = 0;         // milliseconds on its clock
};

// In the order started; a program has a handful. Never destroyed: a timer
// that a global of the program holds stops itself here when the process ends
// through exit(), which destroys the program's globals after this list.
std::vector<Entry>& Entries() {
    static auto* entries = new std::vector<Entry>;
    return *entries;
}
std::vector<Entry>::iterator Find(int64_t id) {
    return std::find_if(Entries().begin(), Entries().end(),
                        [id](const Entry& e) { return e.id == id; });
}
int64_t g_nextId = 1;
int64_t g_now = 0;  // test clock

int64_t WallNow() {
    using namespace std::chrono;
    static const steady_clock::time_point epoch = steady_clock::now();
    return duration_cast<milliseconds>(steady_clock::now() - epoch).count();
}

// a mod b in [0, b), for b > 0.
int64_t Mod(int64_t a, int64_t b) {
    const int64_t r = a % b;
    return r < 0 ? r + b : r;
}

// The first due time of a repeating timer of `period` that starts at `now`:
// one period on, or the next beat at or after that of a running timer whose
// period divides or is divided by it. The longest common beat wins, so timers
// of equal period share every tick; among equals the earliest.
int64_t FirstDue(int64_t now, int32_t period, bool wallClock) {
    const int64_t plain = now + period;
    int64_t best = plain;
    int64_t bestBeat = 0;
    for (const Entry& e : Entries()) {
        if (!e.repeat || e.wallClock != wallClock) continue;
        if (period % e.period != 0 && e.period % period != 0) continue;
        const int64_t beat = std::min(period, e.period);
        const int64_t due = plain + Mod(e.due - plain, beat);
        if (beat > bestBeat || (beat == bestBeat && due < best)) {
            best = due;
            bestBeat = beat;
        }
    }
    return best;
}

// The entry to fire next among those of one clock due by `limit`: the earliest,
// and of those due together the first started. 0 when none.
int64_t NextDue(int64_t limit, bool wallClock) {
    const Entry* best = nullptr;
    for (const Entry& e : Entries()) {
        if (e.wallClock != wallClock || e.due > limit) continue;
        if (!best || e.due < best->due) best = &e;  // ties keep the first started
    }
    return best ? best->id : 0;
}

void FireEntry(int64_t id, int64_t now) {
    auto it = Find(id);
    if (it == Entries().end()) return;
    Entry& e = *it;
    // Holding a reference keeps the timer alive if its tick closes the window.
    Ref<Timer> keep(e.timer);
    if (e.repeat) {
        e.due += e.period;
        if (e.due <= now) e.due += ((now - e.due) / e.period + 1) * e.period;
    } else {
        Entries().erase(it);
        keep->scheduleId = 0;
    }
    keep->Fire();
}

// What waits for the end of the batch now firing; null outside one.
using AtEnd = std::vector<std::function<void()>>;
AtEnd* g_atBatchEnd = nullptr;

// Fires, as one moment, every timer of the clock that is due by `now`.
void FireBatch(int64_t now, bool wallClock) {
    AtEnd atEnd;
    {
        // A tick may run an event loop of its own, and a batch inside it.
        struct Scope {
            AtEnd* outer = g_atBatchEnd;
            explicit Scope(AtEnd* mine) { g_atBatchEnd = mine; }
            ~Scope() { g_atBatchEnd = outer; }
        } scope(&atEnd);
        try {
            InputMoment moment;
            while (int64_t id = NextDue(now, wallClock)) FireEntry(id, now);
        } catch (...) {
            g_atBatchEnd = scope.outer;
            for (auto& f : atEnd) f();
            throw;
        }
    }
    // Whatever these ask to wait for the end of a batch now goes the usual
    // way, through the event loop.
    for (auto& f : atEnd) f();
    // Captures run on timers, so this is also where the screen and the
    // pictures notice that they have stopped needing the memory of larger
    // reads and pictures.
    platform::CurrentScreen().ReleaseUnused();
    Picture::ReleaseUnusedMemory();
}

// The wall clock's timers share one Qt timer, set for the earliest due time.
// It repeats at the wait it was last set to, which in a steady beat is the next
// wait again, so most wake-ups leave it as it is.
QPointer<QTimer> g_wake;
bool g_firing = false;
bool g_held = false;    // a batch waits for an Open event to finish
int64_t g_wakeDue = 0;  // the due time that the Qt timer's next timeout stands for

void ArmWake() {
    // While a batch is held, waking again would only find it held once more.
    if (!g_wake || g_firing || g_held) return;
    const Entry* next = nullptr;
    for (const Entry& e : Entries()) {
        if (e.wallClock && (!next || e.due < next->due)) next = &e;
    }
    if (!next) {
        g_wake->stop();
        return;
    }
    if (g_wake->isActive() && g_wakeDue == next->due) return;
    g_wakeDue = next->due;
    g_wake->start(int(std::clamp<int64_t>(next->due - WallNow(), 0, INT32_MAX)));
}

void Wake() {
    if (OpenEventRunning()) {
        g_wake->stop();
        g_held = true;
        WhenNoOpenEventRuns([] {
            g_held = false;
            if (g_wake) Wake();
        });
        return;
    }
    // Qt times a late timeout's successor from when it noticed it, off the
    // beat: a wake-up more than a millisecond late sets the timer afresh.
    if (WallNow() - g_wakeDue > 1 || g_wake->interval() == 0) {
        g_wake->stop();
    } else {
        g_wakeDue += g_wake->interval();
    }
    g_firing = true;
    struct Rearm {
        ~Rearm() {
            g_firing = false;
            ArmWake();
        }
    } rearm;
    FireBatch(WallNow(), true);
}

}  // namespace

bool AtBatchEnd(std::function<void()> done) {
    if (!g_atBatchEnd) return false;
    g_atBatchEnd->push_back(std::move(done));
    return true;
}

BatchEndPause::BatchEndPause() : outer_(g_atBatchEnd) {
    g_atBatchEnd = nullptr;
    if (!outer_) return;
    AtEnd due = std::move(*static_cast<AtEnd*>(outer_));
    static_cast<AtEnd*>(outer_)->clear();
    for (auto& f : due) f();
}

BatchEndPause::~BatchEndPause() {
    g_atBatchEnd = static_cast<AtEnd*>(outer_);
}

int64_t StartTimer(Timer* timer, int32_t periodMs, bool repeat) {
    Entry e;
    e.id = g_nextId++;
    e.timer = timer;
    e.period = std::max<int32_t>(periodMs, 1);
    e.repeat = repeat;
    e.wallClock = !TestMode();
    const int64_t now = e.wallClock ? WallNow() : g_now;
    e.due = repeat ? FirstDue(now, e.period, e.wallClock) : now + e.period;
    Entries().push_back(e);
    if (e.wallClock) {
        EnsureToolkit();
        if (!g_wake) {
            g_wake = new QTimer(QCoreApplication::instance());
            g_wake->setTimerType(Qt::PreciseTimer);
            QObject::connect(g_wake, &QTimer::timeout, &Wake);
        }
        ArmWake();
    }
    return e.id;
}

void StopTimer(int64_t id) {
    auto it = Find(id);
    if (it == Entries().end()) return;
    const bool wallClock = it->wallClock;
    Entries().erase(it);
    if (wallClock) ArmWake();
}

int64_t TestClockNow() {
    return g_now;
}

void AdvanceTestClock(int64_t ms, const std::function<void()>& afterEachTick) {
    const int64_t target = g_now + std::max<int64_t>(ms, 0);
    while (int64_t id = NextDue(target, false)) {
        g_now = Find(id)->due;
        FireBatch(g_now, false);
        if (afterEachTick) afterEachTick();
    }
    g_now = target;
}

void ResetTestClock() {
    g_now = 0;
}

}  // namespace fw::detail
