// Loading and showing a large music.lst, and the processor time of playing an MP3.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "../ProcessCpu.h"
#include "AudioPlayer.h"
#include "CCatListBox.h"
#include "MusicListFile.h"
#include "music/SongFiles.h"

using namespace zavreo;

namespace {

// 100 lists of 100 songs each, every list open, the default list first.
std::filesystem::path WriteLargeList(const QTemporaryDir& dir) {
    PlaylistModel model;
    model.AddCategory(kDefaultListName);
    for (int list = 0; list < 100; ++list) {
        const std::string name = list == 0 ? kDefaultListName : "歌单" + std::to_string(list);
        for (int song = 0; song < 100; ++song) {
            model.AddItem(name, "/home/user/音乐/" + name + "/第" + std::to_string(song) +
                                    "首 - 歌手名字.mp3");
        }
        model.SetCategoryOpen(name, true);
    }
    const std::filesystem::path file = dir.path().toStdString() + "/music.lst";
    SaveMusicListFile(file, model);
    return file;
}

// From the file to the model, and with `show` on to the painted songs view.
void LoadLargeList(benchmark::State& state, bool show) {
    QTemporaryDir dir;
    const std::filesystem::path file = WriteLargeList(dir);
    for (auto _ : state) {
        PlaylistModel model;
        ListMenuIds ids;
        LoadMusicListFile(file, model, ids);
        benchmark::DoNotOptimize(model.RowCount());
        if (show) {
            CCatListBox list(model);
            list.resize(480, 430);
            benchmark::DoNotOptimize(list.viewport()->grab().cacheKey());
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
}

void BM_LoadMusicList_10000Songs(benchmark::State& state) {
    LoadLargeList(state, false);
}
BENCHMARK(BM_LoadMusicList_10000Songs)->Unit(benchmark::kMillisecond);

void BM_LoadAndShowMusicList_10000Songs(benchmark::State& state) {
    LoadLargeList(state, true);
}
BENCHMARK(BM_LoadAndShowMusicList_10000Songs)->Unit(benchmark::kMillisecond);

// Five seconds of a 44.1 kHz stereo MP3 in real time; "cpu_percent" is of one core.
void BM_PlayMp3_CpuOfOneCore(benchmark::State& state) {
    QTemporaryDir dir;
    const std::filesystem::path song = dir.path().toStdString() + "/song.mp3";
    if (!testsongs::MakeSong(song, 20, "libmp3lame")) {
        state.SkipWithError("ffmpeg could not make the song");
        return;
    }
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        AudioPlayer player("fakesink sync=true");
        player.OpenAndPlay(song.string());
        // Past the opening, which is counted apart from steady playing.
        while (player.PositionMs() < 500) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const double cpuBefore = ProcessCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        cpu += ProcessCpuSeconds() - cpuBefore;
        wall += clock.nsecsElapsed() / 1e9;
        player.Close();
    }
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_PlayMp3_CpuOfOneCore)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Resources are read relative to the program's folder.
    QDir::setCurrent(QStringLiteral(ZAVREO_BIN_DIR));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
