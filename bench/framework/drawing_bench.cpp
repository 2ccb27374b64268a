// A display window's draw: a 200 x 150 capture stretched over the window with
// crosshairs, up to the flushed window, beside the floors it is judged by.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"
#include "ui/qt_graphics.h"

namespace {

constexpr int kPicW = 200, kPicH = 150;

// A window showing a persistent canvas, repainted where it was drawn.
class CanvasWindow : public QWidget {
  public:
    CanvasWindow(int w, int h) : canvas_(w, h, QImage::Format_RGB32) {
        canvas_.fill(Qt::white);
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(w, h);
        show();
    }
    QImage* Canvas() { return &canvas_; }

  protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        p.drawImage(e->rect(), canvas_, e->rect());
    }

  private:
    QImage canvas_;
};

fw::Ref<fw::Picture> Capture() {
    fw::Ref<fw::Picture> pic = fw::Picture::New(kPicW, kPicH);
    for (int y = 0; y < kPicH; ++y) {
        uint8_t* row = pic->Pixels() + y * pic->RowBytes();
        for (int x = 0; x < kPicW; ++x) {
            row[4 * x] = uint8_t(x * 7), row[4 * x + 1] = uint8_t(y * 3);
            row[4 * x + 2] = uint8_t(x ^ y);
        }
    }
    return pic;
}

void SetBytes(benchmark::State& state, int w, int h) {
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 4);
}

// The whole draw: stretch, two crosshair lines, then the window repainted and
// flushed synchronously where the canvas changed.
void BM_WindowDraw(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    CanvasWindow window(w, h);
    QApplication::processEvents();
    QRect dirty;
    fw::Ref<fw::Graphics> g =
        fw::qt::MakeImageGraphics(window.Canvas(), [&](const QRect& r) { dirty |= r; });
    fw::Ref<fw::Picture> pic = Capture();
    for (auto _ : state) {
        g->DrawPicture(pic, 0, 0, w, h, 0, 0, kPicW, kPicH);
        g->DrawLine(0, h / 2, w, h / 2);
        g->DrawLine(w / 2, 0, w / 2, h);
        window.repaint(dirty);
        dirty = QRect();
    }
    SetBytes(state, w, h);
}

void BM_Stretch(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    QImage canvas(w, h, QImage::Format_RGB32);
    fw::Ref<fw::Graphics> g = fw::qt::MakeImageGraphics(&canvas, nullptr);
    fw::Ref<fw::Picture> pic = Capture();
    for (auto _ : state) {
        g->DrawPicture(pic, 0, 0, w, h, 0, 0, kPicW, kPicH);
        benchmark::ClobberMemory();
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
    SetBytes(state, int(state.range(0)), int(state.range(1)));
}

void BM_QImageScaled(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    fw::Ref<fw::Picture> pic = Capture();
    const QImage source = fw::qt::PictureImage(*pic);
    for (auto _ : state) {
        QImage scaled = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
    SetBytes(state, w, h);
}

#define OSTREL_SIZES ->Args({400, 300})->Args({1200, 900})->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_WindowDraw) OSTREL_SIZES;
BENCHMARK(BM_Stretch) OSTREL_SIZES;
BENCHMARK(BM_Memcpy) OSTREL_SIZES;
BENCHMARK(BM_QImageScaled) OSTREL_SIZES;

// Keeps each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Iteration && r.iterations > 0) {
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto t = [&](const char* name, const char* size) {
        auto it = reporter.times.find(std::string(name) + "/" + size);
        return it == reporter.times.end() ? 0.0 : it->second;
    };
    bool ok = true;
    for (const char* size : {"400/300", "1200/900"}) {
        if (t("BM_Stretch", size) > 0 && t("BM_Memcpy", size) > 0) {
            // Same destination bytes, so the bandwidth ratio is the time ratio.
            const double ratio = t("BM_Memcpy", size) / t("BM_Stretch", size);
            const bool met = ratio >= 1.0 / 3.0;
            ok = ok && met;
            std::printf("stretch bandwidth / memcpy bandwidth at %s: %.2f (target >= 0.33) %s\n",
                        size, ratio, met ? "met" : "MISSED");
        }
    }
    if (t("BM_WindowDraw", "400/300") > 0 && t("BM_QImageScaled", "400/300") > 0) {
        const double ratio = t("BM_WindowDraw", "400/300") / t("BM_QImageScaled", "400/300");
        const bool met = ratio <= 2.0;
        ok = ok && met;
        std::printf("whole 400x300 draw / QImage::scaled: %.2f (target <= 2.00) %s\n", ratio,
                    met ? "met" : "MISSED");
    }
    return ok ? 0 : 1;
}
