// The cost of a read through the X11 screen next to a bare XShmGetImage of the
// same area on the same server, timed on the wall clock since the server does
// most of the work. The two should stay within a few per cent:
// the screen keeps its segment and hands out the server's bytes without a copy.
#include <benchmark/benchmark.h>
// After the benchmark header: Xlib's macros clash with ordinary names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <memory>

#include "platform/x11.h"
#include "support/screen_change.h"
#include "support/xvfb_server.h"

namespace {

testsupport::XvfbServer* server = nullptr;

struct Area {
    int x, y, w, h;
};
constexpr Area kFull{0, 0, 1920, 1080};
constexpr Area kSmall{860, 465, 200, 150};

using testsupport::ChangeScreen;

void BareShmRead(benchmark::State& state, Area a) {
    Display* d = XOpenDisplay(server->display().c_str());
    if (!d || !XShmQueryExtension(d)) {
        state.SkipWithError("no shared memory extension");
        if (d) XCloseDisplay(d);
        return;
    }
    int scr = DefaultScreen(d);
    XShmSegmentInfo shm{};
    XImage* img = XShmCreateImage(d, DefaultVisual(d, scr), unsigned(DefaultDepth(d, scr)), ZPixmap,
                                  nullptr, &shm, unsigned(a.w), unsigned(a.h));
    shm.shmid = shmget(IPC_PRIVATE, size_t(img->bytes_per_line) * size_t(a.h), IPC_CREAT | 0600);
    shm.shmaddr = img->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    shm.readOnly = False;
    XShmAttach(d, &shm);
    XSync(d, False);
    shmctl(shm.shmid, IPC_RMID, nullptr);
    for (auto _ : state) {
        ChangeScreen(state, d);
        XShmGetImage(d, DefaultRootWindow(d), img, a.x, a.y, AllPlanes);
        benchmark::DoNotOptimize(img->data[0]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * a.w * a.h * 4);
    XShmDetach(d, &shm);
    img->data = nullptr;
    XDestroyImage(img);
    shmdt(shm.shmaddr);
    XCloseDisplay(d);
}

void ScreenRead(benchmark::State& state, Area a) {
    auto screen = platform::x11::X11Screen::Open(server->display().c_str());
    if (!screen || screen->Displays().empty()) {
        state.SkipWithError("no X11 screen");
        return;
    }
    uint32_t id = screen->Displays().front().id;
    platform::PixelView v;
    screen->Read(id, {a.x, a.y, a.w, a.h}, &v);  // the one segment of this size
    uint64_t before = screen->SegmentsCreated();
    Display* painter = XOpenDisplay(server->display().c_str());
    if (!painter) {
        state.SkipWithError("no X display to paint on");
        return;
    }
    for (auto _ : state) {
        ChangeScreen(state, painter);
        if (!screen->Read(id, {a.x, a.y, a.w, a.h}, &v)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(v.data[0]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * a.w * a.h * 4);
    XCloseDisplay(painter);
    state.counters["segments_in_loop"] = double(screen->SegmentsCreated() - before);
    state.counters["shm"] = screen->UsesSharedMemory() ? 1 : 0;
}

BENCHMARK_CAPTURE(BareShmRead, full_1920x1080, kFull)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(ScreenRead, full_1920x1080, kFull)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BareShmRead, rect_200x150, kSmall)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(ScreenRead, rect_200x150, kSmall)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    testsupport::XvfbServer xvfb("1920x1080x24");
    if (!xvfb.ok()) {
        std::fprintf(stderr, "platform_bench: could not start Xvfb\n");
        return 1;
    }
    server = &xvfb;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
