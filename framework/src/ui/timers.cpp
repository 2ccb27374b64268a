// Timer scheduling: Qt timers on the desktop, a test clock under the headless
// fixture. Ticks are dispatched one at a time on the event loop; a repeating
// timer whose tick overruns its period skips the missed ticks instead of
// firing them in a burst (QTimer behaviour).
#include <QObject>
#include <QTimer>
#include <algorithm>
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
    int64_t due = 0;  // test clock
    uint64_t order = 0;
    std::unique_ptr<QTimer> qt;
};

std::map<int64_t, Entry>& Entries() {
    static std::map<int64_t, Entry> entries;
    return entries;
}
int64_t g_nextId = 1;
uint64_t g_nextOrder = 1;
int64_t g_now = 0;

void FireEntry(int64_t id) {
    auto it = Entries().find(id);
    if (it == Entries().end()) return;
    // Holding a reference keeps the timer alive if its tick closes the window.
    Ref<Timer> keep(it->second.timer);
    if (!it->second.repeat) {
        Entries().erase(it);
        keep->scheduleId = 0;
    }
    keep->Fire();
}

}  // namespace

int64_t StartTimer(Timer* timer, int32_t periodMs, bool repeat) {
    int64_t id = g_nextId++;
    Entry e;
    e.timer = timer;
    e.period = std::max<int32_t>(periodMs, 1);
    e.repeat = repeat;
    e.due = g_now + e.period;
    e.order = g_nextOrder++;
    if (!TestMode()) {
        EnsureToolkit();
        e.qt = std::make_unique<QTimer>();
        e.qt->setTimerType(Qt::PreciseTimer);
        e.qt->setSingleShot(!repeat);
        e.qt->setInterval(e.period);
        QObject::connect(e.qt.get(), &QTimer::timeout, [id]() { FireEntry(id); });
        e.qt->start();
    }
    Entries().emplace(id, std::move(e));
    return id;
}

void StopTimer(int64_t id) {
    auto it = Entries().find(id);
    if (it == Entries().end()) return;
    // A QTimer may be stopped from inside its own timeout; deleting it there is
    // fine for QTimer, but defer to be safe with the connected lambda.
    if (it->second.qt) {
        it->second.qt->stop();
        it->second.qt.release()->deleteLater();
    }
    Entries().erase(it);
}

int64_t TestClockNow() {
    return g_now;
}

void AdvanceTestClock(int64_t ms, const std::function<void()>& afterEachTick) {
    const int64_t target = g_now + std::max<int64_t>(ms, 0);
    for (;;) {
        int64_t best = 0;
        const Entry* bestEntry = nullptr;
        for (auto& [id, e] : Entries()) {
            if (e.qt || e.due > target) continue;
            if (!bestEntry || e.due < bestEntry->due ||
                (e.due == bestEntry->due && e.order < bestEntry->order)) {
                best = id;
                bestEntry = &e;
            }
        }
        if (!bestEntry) break;
        g_now = bestEntry->due;
        auto it = Entries().find(best);
        // Timers due at the same moment fire in the order they were started.
        if (it->second.repeat) it->second.due += it->second.period;
        FireEntry(best);
        if (afterEachTick) afterEachTick();
    }
    g_now = target;
}

void ResetTestClock() {
    g_now = 0;
}

}  // namespace fw::detail
