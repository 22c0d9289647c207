// The picture list with large photos: the cost of one thumbnail from a 12-megapixel JPEG, and the
// longest the interface thread is held while 200 of them are added to the shown grid.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <string>

#include "CThumbnailBox.h"
#include "ExifJpeg.h"
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
// the file carries the detail of a real 12-megapixel picture, and (when `withPreview`) the 160 x
// 120 preview a camera stores in its Exif block.
std::string TwelveMegapixelJpeg(bool withPreview) {
    static QTemporaryDir dir;
    App();
    QImage photo(QStringLiteral(ZAVREO_SOURCE_DIR "/tests/engine/data/astronaut_640x480.png"));
    photo = photo.convertToFormat(QImage::Format_RGB888);
    QByteArray preview;
    QBuffer previewBuffer(&preview);
    previewBuffer.open(QIODevice::WriteOnly);
    photo.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(&previewBuffer, "JPG", 90);
    photo = photo.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QRandomGenerator noise(7);
    for (int y = 0; y < photo.height(); ++y) {
        uchar* row = photo.scanLine(y);
        for (int x = 0; x < photo.width() * 3; ++x) {
            row[x] = static_cast<uchar>(std::clamp(row[x] + int(noise.bounded(17)) - 8, 0, 255));
        }
    }
    QByteArray encoded;
    QBuffer photoBuffer(&encoded);
    photoBuffer.open(QIODevice::WriteOnly);
    photo.save(&photoBuffer, "JPG", 92);
    std::string bytes = encoded.toStdString();
    if (withPreview) {
        bytes = WithExifPreview(bytes, preview.toStdString());
    }
    const std::string file =
        dir.path().toStdString() + (withPreview ? "/camera.jpg" : "/without-preview.jpg");
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

const std::string& CameraPhoto() {
    static const std::string path = TwelveMegapixelJpeg(true);
    return path;
}

void BM_Thumbnail12Megapixel(benchmark::State& state) {
    const std::string& path = CameraPhoto();
    for (auto _ : state) {
        benchmark::DoNotOptimize(zavreo::MakeThumbnail(path));
    }
}
BENCHMARK(BM_Thumbnail12Megapixel)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same photo without a preview: its whole entropy-coded data is decoded at 1/8 scale.
void BM_Thumbnail12MegapixelWithoutPreview(benchmark::State& state) {
    static const std::string path = TwelveMegapixelJpeg(false);
    for (auto _ : state) {
        benchmark::DoNotOptimize(zavreo::MakeThumbnail(path));
    }
}
BENCHMARK(BM_Thumbnail12MegapixelWithoutPreview)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A 1 ms timer on the interface thread: the longest gap between its ticks is the longest stall.
void BM_Add200WhileShown(benchmark::State& state) {
    const std::string& path = CameraPhoto();
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
        // The clock runs before the first tick can come, so every gap is measured from it.
        clock.start();
        ticker.start(1);
        app.processEvents();
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
