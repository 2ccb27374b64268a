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
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>

#include "fw/ui/application.h"
#include "fw/ui/controls.h"
#include "ui/ui_state.h"

namespace fw::detail {
namespace {

struct Entry {
    Timer* timer = nullptr;
    int32_t period = 0;
    bool repeat = false;
    bool wallClock = false;  // false: the test clock drives it
    int64_t due = 0;         // milliseconds on its clock
    uint64_t order = 0;
};

std::map<int64_t, Entry>& Entries() {
    static std::map<int64_t, Entry> entries;
    return entries;
}
int64_t g_nextId = 1;
uint64_t g_nextOrder = 1;
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
    for (const auto& [id, e] : Entries()) {
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
    int64_t best = 0;
    const Entry* bestEntry = nullptr;
    for (const auto& [id, e] : Entries()) {
        if (e.wallClock != wallClock || e.due > limit) continue;
        if (!bestEntry || e.due < bestEntry->due ||
            (e.due == bestEntry->due && e.order < bestEntry->order)) {
            best = id;
            bestEntry = &e;
        }
    }
    return best;
}

void FireEntry(int64_t id, int64_t now) {
    auto it = Entries().find(id);
    if (it == Entries().end()) return;
    Entry& e = it->second;
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

// Fires, as one moment, every timer of the clock that is due by `now`.
void FireBatch(int64_t now, bool wallClock) {
    InputMoment moment;
    while (int64_t id = NextDue(now, wallClock)) FireEntry(id, now);
}

// The wall clock's timers share one Qt timer, set for the earliest due time.
QPointer<QTimer> g_wake;
bool g_firing = false;

void ArmWake() {
    if (!g_wake || g_firing) return;
    const Entry* next = nullptr;
    for (const auto& [id, e] : Entries()) {
        if (e.wallClock && (!next || e.due < next->due)) next = &e;
    }
    if (!next) {
        g_wake->stop();
        return;
    }
    g_wake->start(int(std::clamp<int64_t>(next->due - WallNow(), 0, INT32_MAX)));
}

void Wake() {
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

int64_t StartTimer(Timer* timer, int32_t periodMs, bool repeat) {
    const int64_t id = g_nextId++;
    Entry e;
    e.timer = timer;
    e.period = std::max<int32_t>(periodMs, 1);
    e.repeat = repeat;
    e.wallClock = !TestMode();
    const int64_t now = e.wallClock ? WallNow() : g_now;
    e.due = repeat ? FirstDue(now, e.period, e.wallClock) : now + e.period;
    e.order = g_nextOrder++;
    Entries().emplace(id, e);
    if (e.wallClock) {
        EnsureToolkit();
        if (!g_wake) {
            g_wake = new QTimer(QCoreApplication::instance());
            g_wake->setSingleShot(true);
            g_wake->setTimerType(Qt::PreciseTimer);
            QObject::connect(g_wake, &QTimer::timeout, &Wake);
        }
        ArmWake();
    }
    return id;
}

void StopTimer(int64_t id) {
    auto it = Entries().find(id);
    if (it == Entries().end()) return;
    const bool wallClock = it->second.wallClock;
    Entries().erase(it);
    if (wallClock) ArmWake();
}

int64_t TestClockNow() {
    return g_now;
}

void AdvanceTestClock(int64_t ms, const std::function<void()>& afterEachTick) {
    const int64_t target = g_now + std::max<int64_t>(ms, 0);
    while (int64_t id = NextDue(target, false)) {
        g_now = Entries().at(id).due;
        FireBatch(g_now, false);
        if (afterEachTick) afterEachTick();
    }
    g_now = target;
}

void ResetTestClock() {
    g_now = 0;
}

}  // namespace fw::detail
