// Cost of one desktop-lyrics frame at the largest font on a 1920-pixel-wide work area: the frame
// the 100 ms tick composes, and the same frame laid on the window at the constant alpha as the
// window's paint does. "allocs" counts heap allocations per frame.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPainter>

#include "AllocationCounter.h"
#include "LyricsFont.h"
#include "LyricsRenderer.h"

namespace {

const QString kLine = QStringLiteral("故事的小黄花 从出生那年就飘着 童年的荡秋千");

zavreo::LyricsRenderer MakeRenderer() {
    zavreo::LyricsRenderer renderer;
    renderer.SetSize({1920, 120});
    renderer.SetFont(zavreo::LyricsFont(55));
    renderer.SetText(kLine);
    renderer.Frame(0);
    return renderer;
}

void BM_ComposeFrame(benchmark::State& state) {
    zavreo::LyricsRenderer renderer = MakeRenderer();
    int progress = 0;
    const long before = g_allocations.load();
    for (auto _ : state) {
        progress = (progress + 7) % 1001;
        benchmark::DoNotOptimize(renderer.Frame(progress).constBits());
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(g_allocations - before),
                                                  benchmark::Counter::kAvgIterations);
}

void BM_ComposeAndPaint(benchmark::State& state) {
    zavreo::LyricsRenderer renderer = MakeRenderer();
    QImage window(1920, 120, QImage::Format_ARGB32_Premultiplied);
    int progress = 0;
    for (auto _ : state) {
        progress = (progress + 7) % 1001;
        window.fill(Qt::transparent);
        QPainter painter(&window);
        painter.setOpacity(100.0 / 255.0);
        painter.drawImage(0, 0, renderer.Frame(progress));
    }
}

// A new line: both coloured layers are drawn again (once per line, not per tick).
void BM_NewLine(benchmark::State& state) {
    zavreo::LyricsRenderer renderer = MakeRenderer();
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        renderer.SetText(flip ? kLine : kLine.left(10));
        benchmark::DoNotOptimize(renderer.Frame(0).constBits());
    }
}

}  // namespace

BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeAndPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewLine)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
