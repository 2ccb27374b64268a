// ScreenshotRectZUV and ScreenshotDisplayZUV on a virtual desktop, each beside
// the platform's bare Screen::Read of the same pixels and a memcpy of the same
// bytes, and the library's pixel loop beside memcpy on buffers far larger than
// any cache. Compare the rows of one run with each other.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "picture_editor.h"
#include "platform/screen.h"
#include "recording_host.h"

extern "C" void REALPluginMain(PluginResolver resolver);

namespace {

using rechost::RecordingHost;

// A virtual desktop of one 1920 x 1080 display whose read copies the asked
// rectangle out of its frame buffer, as a real read does.
class FrameScreen final : public platform::Screen {
public:
    FrameScreen() : frame_(size_t{1920} * 1080 * 4) {
        for (size_t i = 0; i < frame_.size(); ++i) frame_[i] = static_cast<uint8_t>(i * 31);
        display_.id = 1;
        display_.bounds = {0, 0, 1920, 1080};
        display_.isMain = true;
    }
    std::vector<platform::DisplayInfo> Displays() override { return {display_}; }
    bool Read(uint32_t id, platform::Rect r, platform::PixelView* out,
              platform::Rect* covered) override {
        if (id != display_.id) return false;
        const int32_t x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
        const int32_t x1 = std::min<int64_t>(int64_t{r.x} + r.width, 1920);
        const int32_t y1 = std::min<int64_t>(int64_t{r.y} + r.height, 1080);
        if (x1 <= x0 || y1 <= y0) return false;
        const int32_t w = x1 - x0, h = y1 - y0;
        buffer_.resize(size_t(w) * h * 4);
        for (int32_t y = 0; y < h; ++y) {
            std::memcpy(buffer_.data() + size_t(y) * w * 4,
                        frame_.data() + (size_t(y0 + y) * 1920 + x0) * 4, size_t(w) * 4);
        }
        *out = {buffer_.data(), size_t(w) * 4, w, h};
        if (covered) *covered = {x0, y0, w, h};
        return true;
    }

private:
    platform::DisplayInfo display_;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> buffer_;
};

struct Setup {
    Setup() {
        platform::SetCurrentScreen(std::make_unique<FrameScreen>());
        host.fillNewPictures = false;
        host.Load(ZUVSHOT_PATH);
        rect = host.Get<ScreenshotRectFn>(
            "ScreenshotZUVGlobalsZUV.ScreenshotRectZUV(left as integer, top as integer, width as "
            "integer, height as integer) as picture");
        display = host.Get<ScreenshotDisplayFn>(
            "ScreenshotZUVGlobalsZUV.ScreenshotDisplayZUV(index as integer) as picture");
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
// for the picture) over a 4096 x 4096 picture: 64 MiB each way.
constexpr int32_t kLoopSide = 4096;

void BM_ConversionLoop(benchmark::State& state) {
    Setup& s = S();
    static RecordingHost* linked = [] {
        auto* h = new RecordingHost;  // the linked copy of the library, kept for the run
        h->fillNewPictures = false;
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
                    const uint8_t* p = src + 4 * i;
                    return zuvshot::PackPixel<L>(p[2], p[1], p[0]);
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
BENCHMARK(BM_Memcpy)->Args({150, 75})->Args({400, 300})->Args({1920, 1080})->Args(
    {kLoopSide, kLoopSide});
BENCHMARK(BM_ScreenshotDisplayZUV);
BENCHMARK(BM_ConversionLoop);

BENCHMARK_MAIN();
