// From the double click to the song's first sound in the output, for the program's player and
// for gst-play-1.0 on the same file and the same sink, under plain PulseAudio and under
// PipeWire's PulseAudio server. The output is a null sink; its monitor tells when the sound
// arrived there. Arguments: server (0 PulseAudio, 1 pipewire-pulse), player (0 ours, 1
// gst-play-1.0).

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <thread>

#include "AudioPlayer.h"
#include "PipeWirePulseServer.h"
#include "PulseServer.h"
#include "SoundOnsetListener.h"
#include "music/SongFiles.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// gst-play-1.0 playing `song` until destroyed.
class GstPlay {
public:
    explicit GstPlay(const std::string& song) {
        pid_ = fork();
        if (pid_ == 0) {
            freopen("/dev/null", "w", stdout);
            execlp("gst-play-1.0", "gst-play-1.0", "-q", "--no-interactive", song.c_str(), nullptr);
            _exit(127);
        }
    }
    ~GstPlay() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

void BM_SongStart(benchmark::State& state) {
    const bool pipewire = state.range(0) == 1;
    const bool gstPlay = state.range(1) == 1;
    std::unique_ptr<PulseServer> pulse;
    std::unique_ptr<PipeWirePulseServer> pipewirePulse;
    if (pipewire) {
        pipewirePulse = std::make_unique<PipeWirePulseServer>();
    } else {
        pulse = std::make_unique<PulseServer>();
    }
    if (!(pipewire ? pipewirePulse->Running() : pulse->Running())) {
        state.SkipWithError(pipewire ? "pipewire-pulse could not be started"
                                     : "pulseaudio could not be started");
        return;
    }
    QTemporaryDir dir;
    const std::string song = dir.path().toStdString() + "/song.mp3";
    if (!testsongs::MakeSong(song, 10, "libmp3lame")) {
        state.SkipWithError("ffmpeg could not make the song");
        return;
    }
    SoundOnsetListener listener("zavreo_test.monitor");
    if (!listener.Listening()) {
        state.SkipWithError("cannot listen to the sink");
        return;
    }
    // A null sink renders blocks of up to two seconds until a listener asks for less: the first
    // song waits until the listener's lower latency holds.
    std::this_thread::sleep_for(2500ms);
    double worst = 0;
    for (auto _ : state) {
        listener.Reset();
        const auto click = Clock::now();
        std::unique_ptr<GstPlay> external;
        std::unique_ptr<zavreo::AudioPlayer> player;
        if (gstPlay) {
            external = std::make_unique<GstPlay>(song);
        } else {
            // As the music controller starts a song: open and play, then the slider's volume.
            player = std::make_unique<zavreo::AudioPlayer>();
            player->OpenAndPlay(song);
            player->SetVolume(910);
        }
        const auto onset = listener.WaitForSound(5000ms);
        if (!onset) {
            state.SkipWithError("no sound within five seconds");
            break;
        }
        const double seconds = std::chrono::duration<double>(*onset - click).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
        external.reset();
        player.reset();
        // The sink falls idle between songs, as it does between the user's.
        listener.WaitForQuiet(500ms, 5000ms);
        std::this_thread::sleep_for(1s);
    }
    state.counters["worst_ms"] = worst * 1000;
    state.SetLabel(std::string(pipewire ? "pipewire-pulse" : "pulseaudio") + ", " +
                   (gstPlay ? "gst-play-1.0" : "the program's player"));
}
BENCHMARK(BM_SongStart)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"pipewire", "gst_play"})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
