// ScreenshotRectZUV and ScreenshotDisplayZUV on the platform's virtual screen,
// each beside the bare Screen::Read of the same pixels (which on the virtual
// screen only hands out a view of its frame) and a memcpy of the same bytes, and the library's
// pixel loop beside memcpy on buffers far larger than any cache. Compare the rows of one run with
// each other.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "picture_editor.h"
#include "platform/screen.h"
#include "platform/virtual.h"
#include "recording_host.h"

extern "C" void REALPluginMain(PluginResolver resolver);

namespace {

using rechost::RecordingHost;

// One 1920 x 1080 display of the platform's virtual screen, filled with a
// pattern so that no page of it is shared or zero.
std::unique_ptr<platform::VirtualScreen> MakeScreen() {
    auto screen = std::make_unique<platform::VirtualScreen>();
    const uint32_t id = screen->AddDisplay({0, 0, 1920, 1080});
    std::vector<uint32_t> pixels(size_t{1920} * 1080);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint32_t>(i * 2654435761u);
    screen->SetPixels(id, {0, 0, 1920, 1080}, pixels.data());
    return screen;
}

struct Setup {
    Setup() {
        platform::SetCurrentScreen(MakeScreen());
        host.fillNewPictures = false;
        host.keepShells = false;
        host.Load(ZUVSHOT_PATH);
        rect = host.Get<ScreenshotRectFn>(
            "ScreenshotZUVGlobalsZUV.ScreenshotRectZUV(left as integer, top as integer, width as "
            "integer, height as integer) as picture");
        display = host.Get<ScreenshotDisplayFn>(
            "ScreenshotZUVGlobalsZUV.ScreenshotDisplayZUV(index as integer) as picture");
        // The first frees of large blocks move the allocator's mmap threshold;
        // until then every capture pays fresh page faults, which a program
        // that captures every 100 ms only pays at its start.
        for (int i = 0; i < 8; ++i) host.Unlock(display(0));
        host.calls.clear();
    }
    RecordingHost host;
    ScreenshotRectFn rect = nullptr;
    ScreenshotDisplayFn display = nullptr;
};

Setup& S() {
    static Setup setup;
    return setup;
}

void SetBytes(benchmark::State& state, int64_t w, int64_t h) {
    state.SetBytesProcessed(state.iterations() * w * h * 4);
}

void BM_ScreenshotRectZUV(benchmark::State& state) {
    const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    Setup& s = S();
    for (auto _ : state) {
        PluginPicture p = s.rect(300, 200, w, h);
        benchmark::DoNotOptimize(p);
        s.host.Unlock(p);
        s.host.calls.clear();
    }
    SetBytes(state, w, h);
}

void BM_ScreenRead(benchmark::State& state) {
    const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    S();
    platform::PixelView view;
    for (auto _ : state) {
        platform::CurrentScreen().Read(1, {300, 200, w, h}, &view);
        benchmark::DoNotOptimize(view.data);
    }
    SetBytes(state, w, h);
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0)) * size_t(state.range(1)) * 4;
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, state.range(0), state.range(1));
}

void BM_ScreenshotDisplayZUV(benchmark::State& state) {
    Setup& s = S();
    for (auto _ : state) {
        PluginPicture p = s.display(0);
        benchmark::DoNotOptimize(p);
        s.host.Unlock(p);
        s.host.calls.clear();
    }
    SetBytes(state, 1920, 1080);
}

// The library's pixel loop (one packed 32-bit store per pixel, layout fixed
// for the picture), as the front-buffer and raw-string conversions run it,
// over a 4096 x 4096 picture: 64 MiB each way, far beyond any cache.
constexpr int32_t kLoopSide = 4096;

void BM_ConversionLoop(benchmark::State& state) {
    Setup& s = S();
    static RecordingHost* linked = [] {
        auto* h = new RecordingHost;  // the linked copy of the library, kept for the run
        h->fillNewPictures = false;
        h->keepShells = false;
        h->LoadLinked(&REALPluginMain);
        return h;
    }();
    (void)s;
    RecordingHost::current = linked;
    std::vector<uint8_t> source(size_t(kLoopSide) * kLoopSide * 4, 7);
    zuvshot::PictureWriter writer;
    if (!zuvshot::AttachNewPicture(writer, kLoopSide, kLoopSide)) {
        state.SkipWithError("no picture");
        return;
    }
    for (auto _ : state) {
        zuvshot::WithLayout(writer.Format(), [&](auto l) {
            constexpr zuvshot::PixelLayout L = decltype(l)::value;
            for (int32_t row = 0; row < kLoopSide; ++row) {
                const uint8_t* src = source.data() + size_t(row) * kLoopSide * 4;
                writer.MoveTo(0, row);
                writer.WriteRow(kLoopSide, [src](int32_t i) {
                    return zuvshot::ConvertWord<zuvshot::SourceLayout::BGRX, L>(
                        zuvshot::LoadWord(src + 4 * i));
                });
            }
        });
        benchmark::ClobberMemory();
    }
    PluginPicture p = writer.RenderPictureWriter();
    linked->Unlock(p);
    RecordingHost::current = &s.host;
    SetBytes(state, kLoopSide, kLoopSide);
}

}  // namespace

BENCHMARK(BM_ScreenshotRectZUV)->Args({150, 75})->Args({400, 300});
BENCHMARK(BM_ScreenRead)->Args({150, 75})->Args({400, 300})->Args({1920, 1080});
BENCHMARK(BM_Memcpy)
    ->Args({150, 75})
    ->Args({400, 300})
    ->Args({1920, 1080})
    ->Args({kLoopSide, kLoopSide});
BENCHMARK(BM_ScreenshotDisplayZUV);
BENCHMARK(BM_ConversionLoop);

BENCHMARK_MAIN();
