// The picture list with large photos: the cost of one thumbnail from a 12-megapixel JPEG, and the
// longest the interface thread is held while 200 of them are added to the shown grid.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <string>

#include "CThumbnailBox.h"
#include "PictureFile.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "bench_pictures";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

// A 4000 x 3000 photograph as a camera writes it: the test portrait enlarged, with sensor noise so
// the file carries the detail of a real 12-megapixel picture.
const std::string& TwelveMegapixelJpeg() {
    static QTemporaryDir dir;
    static const std::string path = [] {
        App();
        QImage photo(QStringLiteral(ZAVREO_SOURCE_DIR "/tests/engine/data/astronaut_640x480.png"));
        photo = photo.convertToFormat(QImage::Format_RGB888)
                    .scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QRandomGenerator noise(7);
        for (int y = 0; y < photo.height(); ++y) {
            uchar* row = photo.scanLine(y);
            for (int x = 0; x < photo.width() * 3; ++x) {
                row[x] =
                    static_cast<uchar>(std::clamp(row[x] + int(noise.bounded(17)) - 8, 0, 255));
            }
        }
        const std::string file = dir.path().toStdString() + "/photo.jpg";
        photo.save(QString::fromStdString(file), "JPG", 92);
        return file;
    }();
    return path;
}

void BM_Thumbnail12Megapixel(benchmark::State& state) {
    const std::string& path = TwelveMegapixelJpeg();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zavreo::MakeThumbnail(path));
    }
}
BENCHMARK(BM_Thumbnail12Megapixel)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A 1 ms timer on the interface thread: the longest gap between its ticks is the longest stall.
void BM_Add200WhileShown(benchmark::State& state) {
    const std::string& path = TwelveMegapixelJpeg();
    QApplication& app = App();
    double longestStallMs = 0;
    for (auto _ : state) {
        CThumbnailBox box;
        box.resize(390, 405);
        box.show();
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - lastTick);
            lastTick = now;
        });
        ticker.start(1);
        app.processEvents();
        clock.start();
        // As the add button does: one call for the whole selection.
        QTimer::singleShot(0, [&] {
            for (int i = 0; i < 200; ++i) {
                box.List().Add(path);
            }
        });
        do {
            app.processEvents(QEventLoop::AllEvents, 5);
        } while (clock.elapsed() < 50 || box.List().Pending() > 0);
        ticker.stop();
        longestStallMs = std::max(longestStallMs, longest / 1e6);
        state.SetIterationTime(clock.elapsed() / 1000.0);
    }
    state.counters["longest_stall_ms"] = longestStallMs;
}
BENCHMARK(BM_Add200WhileShown)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace
