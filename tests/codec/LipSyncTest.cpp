// Sound and picture made at the same moment land at the same time in the recording: a tone is
// played into the microphone's null sink and, at the instant it sounds, white pictures go into the
// shared frame. Each white picture carries, in a row of black and white squares, how long after
// the tone's onset it was written, so the recorder's sampling of the frame (one picture per
// tick) does not blur the measurement: the file must show the picture that many milliseconds
// after the tone's onset.
//
// ZAVREO_LIPSYNC_SECONDS (default 10) sets the recording's length; the flashes spread over it.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "CodecLibrary.h"
#include "PulseServer.h"
#include "RecordArguments.h"
#include "RecordProcess.h"
#include "SharedFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSampleRate = 44100;
constexpr int kBlockSamples = kSampleRate / 100;  // 10 ms
constexpr int kToneBlocks = 6;
constexpr double kToneAmplitude = 0.5;
constexpr auto kFlashLength = 400ms;
// The squares count in steps of this many milliseconds, in Gray code (a torn frame reads as one
// of its two neighbours).
constexpr int kCodeStepMs = 2;
constexpr int kCodeBits = 8;
constexpr int kSquare = 64, kSquareGap = 8, kSquareTop = 208;

// The frame's duration in its stream's time base; libavutil 57.30 named it `duration`, and 59
// dropped the old name.
int64_t FrameDuration(const AVFrame& frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame.duration;
#else
    return frame.pkt_duration;
#endif
}

// Plays silence into a PulseAudio sink through libavdevice, block by block on a thread of its
// own, `buffer` ahead of what sounds; Tone() puts a short 1 kHz tone at the start of the next
// block, Hum() one that lasts from then on.
class TonePlayer {
public:
    explicit TonePlayer(const std::string& sink, std::chrono::milliseconds buffer = 40ms) {
        avdevice_register_all();
        if (avformat_alloc_output_context2(&output_, nullptr, "pulse", nullptr) < 0) {
            return;
        }
        AVStream* stream = avformat_new_stream(output_, nullptr);
        stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
        stream->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
        stream->codecpar->sample_rate = kSampleRate;
        av_channel_layout_default(&stream->codecpar->ch_layout, 2);
        AVDictionary* options = nullptr;
        av_dict_set(&options, "device", sink.c_str(), 0);
        av_dict_set_int(&options, "buffer_duration", buffer.count(), 0);
        const bool opened = avformat_write_header(output_, &options) >= 0;
        av_dict_free(&options);
        if (opened) {
            thread_ = std::thread([this] { Play(); });
        }
    }
    ~TonePlayer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        if (output_ != nullptr) {
            av_write_trailer(output_);
            avformat_free_context(output_);
        }
    }
    bool Playing() const { return thread_.joinable(); }

    // The moment (steady clock) the next tone starts sounding in the sink.
    Clock::time_point Tone() { return Ask(false); }
    Clock::time_point Hum() { return Ask(true); }

private:
    Clock::time_point Ask(bool hum) {
        std::unique_lock lock(mutex_);
        toneAsked_ = true;
        hum_ = hum;
        onset_.reset();
        changed_.wait(lock, [this] { return onset_.has_value(); });
        return *onset_;
    }

    // Player thread.
    void Play() {
        std::vector<int16_t> block(kBlockSamples * 2);
        int toneBlock = -1;
        bool humming = false;
        AVPacket* packet = av_packet_alloc();
        const AVRational timeBase = output_->streams[0]->time_base;
        for (int64_t written = 0;; written += kBlockSamples) {
            {
                std::lock_guard lock(mutex_);
                if (stop_) {
                    break;
                }
                if (toneAsked_ && toneBlock < 0) {
                    toneAsked_ = false;
                    toneBlock = 0;
                    humming = hum_;
                }
            }
            for (int i = 0; i < kBlockSamples; ++i) {
                const double t = static_cast<double>(toneBlock * kBlockSamples + i) / kSampleRate;
                const auto value = static_cast<int16_t>(
                    toneBlock < 0 ? 0 : 32767 * kToneAmplitude * std::sin(2 * M_PI * 1000 * t));
                block[2 * i] = block[2 * i + 1] = value;
            }
            const int64_t pts = av_rescale_q(written, {1, kSampleRate}, timeBase);
            packet->data = reinterpret_cast<uint8_t*>(block.data());
            packet->size = static_cast<int>(block.size() * sizeof(int16_t));
            packet->pts = packet->dts = pts;
            packet->duration = av_rescale_q(kBlockSamples, {1, kSampleRate}, timeBase);
            if (av_write_frame(output_, packet) < 0) {
                break;
            }
            if (toneBlock == 0) {
                // The stream position sounding at `wall`; the tone sounds (pts - playing) later.
                int64_t playing = 0, wall = 0;
                av_get_output_timestamp(output_, 0, &playing, &wall);
                const auto now = Clock::now();
                const int64_t untilOnset =
                    av_rescale_q(pts - playing, timeBase, {1, 1000000}) - (av_gettime() - wall);
                std::lock_guard lock(mutex_);
                onset_ = now + std::chrono::microseconds(untilOnset);
                changed_.notify_all();
            }
            if (toneBlock >= 0 && ++toneBlock == kToneBlocks && !humming) {
                toneBlock = -1;
            }
        }
        av_packet_free(&packet);
    }

    AVFormatContext* output_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;                       // guarded by mutex_
    bool toneAsked_ = false;                  // guarded by mutex_
    bool hum_ = false;                        // guarded by mutex_
    std::optional<Clock::time_point> onset_;  // guarded by mutex_
};

// A process spinning on a core until destroyed.
class BusyCore {
public:
    BusyCore() {
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (std::atomic<uint64_t> spins{0};;) {
                spins.fetch_add(1, std::memory_order_relaxed);
            }
        }
    }
    ~BusyCore() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

// A white frame with `code` (Gray-coded) as black squares in a row across the middle; black when
// `white` is false. Stored bottom row first like every shared frame.
std::vector<uint8_t> FlashPicture(bool white, int code) {
    std::vector<uint8_t> frame(zavreo::kFrameBytes, white ? 255 : 0);
    if (!white) {
        return frame;
    }
    const int gray = code ^ (code >> 1);
    for (int bit = 0; bit < kCodeBits; ++bit) {
        if ((gray >> bit & 1) == 0) {
            continue;
        }
        const int left = kSquareGap + bit * (kSquare + kSquareGap);
        for (int y = kSquareTop; y < kSquareTop + kSquare; ++y) {
            uint8_t* row =
                &frame[static_cast<size_t>(zavreo::kFrameHeight - 1 - y) * zavreo::kFrameStride];
            std::fill(row + left * 3, row + (left + kSquare) * 3, 0);
        }
    }
    return frame;
}

// What the recording shows: when each flash's first white picture is presented and how long
// after its tone's onset that picture was written; for each of the flash's white pictures, when
// it shows less how long after the onset it was written; when each tone starts in the sound; when
// the first picture shows and where each stream ends.
struct Recorded {
    std::vector<double> flashTimes, flashDelays, toneOnsets;
    std::vector<std::vector<double>> flashOnsets;
    double firstPicture = -1, videoEnd = 0, audioEnd = 0;
};

double MeanLuma(const AVFrame* frame, int left, int top, int width, int height) {
    int64_t sum = 0;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            sum += frame->data[0][static_cast<ptrdiff_t>(y) * frame->linesize[0] + x];
        }
    }
    return static_cast<double>(sum) / (width * height);
}

Recorded ReadRecording(const std::string& path) {
    Recorded recorded;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) {
        return recorded;
    }
    avformat_find_stream_info(input, nullptr);
    std::vector<AVCodecContext*> decoders(input->nb_streams, nullptr);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodec* codec = avcodec_find_decoder(input->streams[i]->codecpar->codec_id);
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], input->streams[i]->codecpar);
        avcodec_open2(decoders[i], codec, nullptr);
    }
    bool wasWhite = false;
    double lastLoud = -1e9;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto receive = [&](unsigned index) {
        const double timeBase = av_q2d(input->streams[index]->time_base);
        while (avcodec_receive_frame(decoders[index], frame) >= 0) {
            const double time = frame->best_effort_timestamp * timeBase;
            if (decoders[index]->codec_type == AVMEDIA_TYPE_VIDEO) {
                if (recorded.firstPicture < 0) {
                    recorded.firstPicture = time;
                }
                recorded.videoEnd =
                    std::max(recorded.videoEnd, time + FrameDuration(*frame) * timeBase);
                const bool white = MeanLuma(frame, 0, 0, frame->width, 64) > 128;
                if (white) {
                    int gray = 0;
                    for (int bit = 0; bit < kCodeBits; ++bit) {
                        const int left = kSquareGap + bit * (kSquare + kSquareGap);
                        if (MeanLuma(frame, left + 16, kSquareTop + 16, kSquare - 32,
                                     kSquare - 32) < 128) {
                            gray |= 1 << bit;
                        }
                    }
                    int code = 0;
                    for (; gray != 0; gray >>= 1) {
                        code ^= gray;
                    }
                    const double delay = code * kCodeStepMs / 1000.0;
                    if (!wasWhite) {
                        recorded.flashTimes.push_back(time);
                        recorded.flashDelays.push_back(delay);
                        recorded.flashOnsets.emplace_back();
                    }
                    recorded.flashOnsets.back().push_back(time - delay);
                }
                wasWhite = white;
            } else {
                recorded.audioEnd =
                    std::max(recorded.audioEnd,
                             time + static_cast<double>(frame->nb_samples) / frame->sample_rate);
                const auto* samples = reinterpret_cast<const float*>(frame->extended_data[0]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    if (std::fabs(samples[i]) > kToneAmplitude / 2) {
                        const double at = time + static_cast<double>(i) / frame->sample_rate;
                        if (at - lastLoud > 0.3) {
                            recorded.toneOnsets.push_back(at);
                        }
                        lastLoud = at;
                    }
                }
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        const auto index = static_cast<unsigned>(packet->stream_index);
        if (avcodec_send_packet(decoders[index], packet) >= 0) {
            receive(index);
        }
        av_packet_unref(packet);
    }
    for (unsigned i = 0; i < decoders.size(); ++i) {
        avcodec_send_packet(decoders[i], nullptr);
        receive(i);
        avcodec_free_context(&decoders[i]);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&input);
    return recorded;
}

class LipSyncTest : public ::testing::Test {
protected:
    explicit LipSyncTest(bool suspendWhenIdle = false) : pulse_(false, suspendWhenIdle) {}

    void SetUp() override {
        ASSERT_TRUE(pulse_.Running()) << "pulseaudio could not be started";
        char pattern[] = "/tmp/zavreo-lipsync-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        frameName_ = "/zavreo-lipsync-" + std::to_string(getpid());
        setenv("ZAVREO_SHARED_FRAME", frameName_.c_str(), 1);
        frame_ = std::make_unique<zavreo::SharedFrame>(frameName_);
        frame_->Write(FlashPicture(false, 0).data());
        if (const char* text = std::getenv("ZAVREO_LIPSYNC_SECONDS")) {
            seconds_ = std::max(10.0, std::atof(text));
        }
        flashes_ = std::max(3, static_cast<int>(seconds_ / 8));
    }
    void TearDown() override {
        frame_.reset();
        shm_unlink(frameName_.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // When flash `index` of the recording that started at `started` is due; each falls at
    // another point between two of the recorder's ticks.
    Clock::time_point FlashDue(Clock::time_point started, int index) const {
        const double spacing = (seconds_ - 4.5) / (flashes_ - 1) + 0.037;
        return started + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double>(0.5 + index * spacing));
    }

    // Plays a tone and, from the instant it sounds, white pictures carrying the time since;
    // returns that instant.
    Clock::time_point Flash(TonePlayer& player) {
        const Clock::time_point onset = player.Tone();
        std::this_thread::sleep_until(onset);
        for (auto now = Clock::now(); now - onset < kFlashLength; now = Clock::now()) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - onset);
            frame_->Write(
                FlashPicture(true, static_cast<int>(elapsed.count()) / kCodeStepMs).data());
            std::this_thread::sleep_for(2ms);
        }
        frame_->Write(FlashPicture(false, 0).data());
        return onset;
    }

    // Every flash's picture against its tone, printed for the record.
    Recorded ExpectInStep(const std::string& file) {
        const Recorded recorded = ReadRecording(file);
        for (size_t i = 0; i < recorded.flashTimes.size(); ++i) {
            std::printf("picture flash at %.3f s\n", recorded.flashTimes[i]);
        }
        for (const double onset : recorded.toneOnsets) {
            std::printf("tone at %.3f s\n", onset);
        }
        EXPECT_EQ(recorded.flashTimes.size(), static_cast<size_t>(flashes_));
        EXPECT_EQ(recorded.toneOnsets.size(), static_cast<size_t>(flashes_));
        if (recorded.flashTimes.size() != static_cast<size_t>(flashes_) ||
            recorded.toneOnsets.size() != static_cast<size_t>(flashes_)) {
            return recorded;
        }
        for (int i = 0; i < flashes_; ++i) {
            // The moment the picture shows, less how long after the tone it was made: the median
            // over the flash's pictures, as the first after the cut to white may be too blurred
            // at this bit rate to read its squares.
            std::vector<double> onsets = recorded.flashOnsets[i];
            std::sort(onsets.begin(), onsets.end());
            const double pictureOnset =
                (onsets[(onsets.size() - 1) / 2] + onsets[onsets.size() / 2]) / 2;
            const double offset = pictureOnset - recorded.toneOnsets[i];
            std::printf(
                "flash %d at %.3f s: first picture made %.0f ms after the tone; %zu pictures "
                "shown %+.1f ms from the sound\n",
                i, recorded.toneOnsets[i], recorded.flashDelays[i] * 1000, onsets.size(),
                offset * 1000);
            EXPECT_NEAR(offset, 0, 0.040) << "flash " << i << " at " << recorded.toneOnsets[i];
        }
        return recorded;
    }

    std::string Output(const std::string& name) const { return folder_ + "/" + name; }

    PulseServer pulse_;
    std::string folder_;
    std::string frameName_;
    std::unique_ptr<zavreo::SharedFrame> frame_;
    double seconds_ = 10;
    int flashes_ = 3;
};

TEST_F(LipSyncTest, SoundAndPictureMadeTogetherLandTogether) {
    TonePlayer player("zavreo_test");
    ASSERT_TRUE(player.Playing());
    const std::string file = Output("flashes.mp4");
    RecordProcess recorder(file, PulseServer::kMonitorDescription, seconds_);
    ASSERT_EQ(recorder.Line(), "started");
    const auto started = Clock::now();
    for (int i = 0; i < flashes_; ++i) {
        std::this_thread::sleep_until(FlashDue(started, i));
        Flash(player);
    }
    EXPECT_EQ(recorder.Line(), "ended 0");
    ASSERT_EQ(recorder.Wait(), 0);
    ExpectInStep(file);
}

// The other core busy and the recorder frozen for a second after the first flash; the recorder
// is killed at the end, so the fragmented file it leaves is the one measured. A kill loses the
// pictures the encoder still holds (its B-frames' and one more) and the open fragment; the
// sound of every moment whose picture is in the file must be there too.
TEST_F(LipSyncTest, StaysInStepUnderLoadAndAfterAStall) {
    TonePlayer player("zavreo_test");
    ASSERT_TRUE(player.Playing());
    BusyCore busy;
    const std::string file = Output("stalled.mp4");
    RecordProcess recorder(file, PulseServer::kMonitorDescription, 0);
    ASSERT_EQ(recorder.Line(), "started");
    const auto started = Clock::now();
    for (int i = 0; i < flashes_; ++i) {
        std::this_thread::sleep_until(FlashDue(started, i));
        Flash(player);
        if (i == 0) {
            std::this_thread::sleep_for(300ms);
            recorder.Signal(SIGSTOP);
            std::this_thread::sleep_for(1s);
            recorder.Signal(SIGCONT);
        }
    }
    // Long enough for the last flash's pictures to leave the encoder and a fragment.
    std::this_thread::sleep_for(1500ms);
    recorder.Kill();
    const Recorded recorded = ExpectInStep(file);
    // The sound's last packets trail by a capture chunk and an encoder frame (up to about 0.07 s);
    // the fault this guards against left it 0.24 s short.
    EXPECT_GE(recorded.audioEnd, recorded.videoEnd - 0.1);
}

// The recording starts at the click: the picture from the first frame after it, the sound where
// its capture time puts it whenever the microphone delivers it, silence before. A tone and a flash
// asked for one second after the click land in the file where they were made, with the source
// awake (something plays into its sink) and with it suspended (nothing played for a while). A
// suspended null sink wakes only when something plays into it, and then renders its first block
// of up to two seconds before the next: the tone player connects at the click, and its tone sounds
// when the woken sink lets it (two seconds in). The file lasts from the click to the stop.
class StartAtTheClickTest : public LipSyncTest, public ::testing::WithParamInterface<bool> {
protected:
    StartAtTheClickTest() : LipSyncTest(GetParam()) {}
    static int OnStarted(int32_t, void*) { return 0; }
};

TEST_P(StartAtTheClickTest, AToneAndAFlashOneSecondAfterTheClickAreOneSecondIntoTheFile) {
    const bool suspended = GetParam();
    std::unique_ptr<TonePlayer> player;
    if (suspended) {
        for (int i = 0; i < 100 && !PulseServer::SinkSuspended(); ++i) {
            std::this_thread::sleep_for(100ms);
        }
        ASSERT_TRUE(PulseServer::SinkSuspended());
    } else {
        player = std::make_unique<TonePlayer>("zavreo_test");
        ASSERT_TRUE(player->Playing());
        std::this_thread::sleep_for(500ms);
        ASSERT_FALSE(PulseServer::SinkSuspended());
    }
    zavreo::CodecLibrary library;
    ASSERT_TRUE(library.Load(ZAVREO_BIN_DIR "/libFlashX.so"));
    library.Startup(nullptr);
    const std::string file = Output("click.mp4");
    std::vector<std::string> args =
        zavreo::RecordArguments(zavreo::RecordInputText(PulseServer::kMonitorDescription), file);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    const int32_t codec = library.CreateCodecN();
    int result = 1;
    const auto click = Clock::now();
    std::thread recording([&] {
        result = library.ExecN(codec, static_cast<int>(argv.size()), argv.data(), &OnStarted);
    });
    if (!player) {
        player = std::make_unique<TonePlayer>("zavreo_test");
    }
    std::this_thread::sleep_until(click + 1s);
    const double madeAt = std::chrono::duration<double>(Flash(*player) - click).count();
    std::this_thread::sleep_until(click + 3s);
    library.CloseCodecN(codec);
    recording.join();
    library.Unload();
    EXPECT_EQ(result, 0);

    const Recorded recorded = ReadRecording(file);
    ASSERT_EQ(recorded.toneOnsets.size(), 1u);
    ASSERT_EQ(recorded.flashOnsets.size(), 1u);
    std::vector<double> onsets = recorded.flashOnsets[0];
    std::sort(onsets.begin(), onsets.end());
    const double pictureAt = onsets[onsets.size() / 2];
    const double soundAt = recorded.toneOnsets[0];
    std::printf(
        "%s source: made %.3f s after the click; start loss %.0f ms in the sound, %.0f ms "
        "in the picture; picture %+.1f ms from the sound; file %.3f s\n",
        suspended ? "suspended" : "awake", madeAt, (madeAt - soundAt) * 1000,
        (madeAt - pictureAt) * 1000, (pictureAt - soundAt) * 1000, recorded.videoEnd);
    EXPECT_NEAR(soundAt, madeAt, 0.15);
    EXPECT_NEAR(pictureAt, madeAt, 0.15);
    EXPECT_NEAR(pictureAt, soundAt, 0.040);
    EXPECT_NEAR(recorded.firstPicture, 0, 0.001);
    EXPECT_NEAR(recorded.videoEnd, 3.0, 0.2);
    EXPECT_NEAR(recorded.audioEnd, recorded.videoEnd, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Source, StartAtTheClickTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Suspended" : "Awake";
                         });

// A microphone that never delivers (its sink suspended by hand) gives a recording as long as the
// time from start to stop, its sound silence, and the stop is honoured at once.
TEST_F(LipSyncTest, AMicrophoneThatNeverDeliversGivesSilenceNotAShorterFile) {
    ASSERT_EQ(std::system("pactl suspend-sink zavreo_test 1"), 0);
    ASSERT_TRUE(PulseServer::SinkSuspended());
    const std::string file = Output("silent.mp4");
    RecordProcess recorder(file, PulseServer::kMonitorDescription, 2.0);
    const auto spawned = Clock::now();
    ASSERT_EQ(recorder.Line(10s), "started");
    ASSERT_EQ(recorder.Line(10s), "ended 0") << "the recording did not end when stopped";
    EXPECT_LT(Clock::now() - spawned, 3500ms);
    ASSERT_EQ(recorder.Wait(), 0);
    const Recorded recorded = ReadRecording(file);
    EXPECT_NEAR(recorded.videoEnd, 2.0, 0.3);
    EXPECT_NEAR(recorded.audioEnd, recorded.videoEnd, 0.1);
    EXPECT_TRUE(recorded.toneOnsets.empty());
}

}  // namespace
