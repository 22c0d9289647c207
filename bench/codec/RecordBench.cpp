// Processor time of a 10 fps recording through libFlashX.so as the program makes it, against the
// bare video encoder on the same pictures, measured in the same run so the ratio holds on a busy
// machine.
//
// Content: face-feeder's scene (a textured wall, a head and shoulders that sway, nod and talk,
// light sensor noise) in a private shared frame, its voice played into a private PulseAudio null
// sink whose monitor is the microphone.
//
// Counters: "core_share", the share of one core the recording used; "bare_share", the share
// libavfilter's unsharp plus libx264 with the program's options, the settings the recorder adds
// to them and the bit rate need for the scene's own pictures, as many as the file holds, at ten
// a second, without conversion, sound or file; "ratio", the first over the second.
// "bare_share_decoded" and "ratio_decoded" are the same for the file's pictures decoded back.
// Those are cheaper to encode than what the camera showed (about a tenth here): the encoder has
// already taken the sensor noise out of them.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "CameraDiscovery.h"
#include "CodecLibrary.h"
#include "ProcessCpu.h"
#include "PulseServer.h"
#include "RecordArguments.h"
#include "RecordOptions.h"
#include "RecordingController.h"
#include "SharedFrame.h"
#include "codec/FaceScene.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

int OnStarted(int32_t, void*) {
    return 0;
}

// face-feeder with its voice piped into the sink, in a process group of its own.
class Feeder {
public:
    Feeder(const std::string& frameName, int seconds) {
        const std::string command = std::string("exec '") + ZAVREO_BENCH_DIR + "/face-feeder' " +
                                    frameName + " " + std::to_string(seconds) +
                                    " | pacat --raw --device=zavreo_test --rate=44100"
                                    " --channels=2 --format=s16le";
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
            _exit(127);
        }
    }
    ~Feeder() {
        kill(-pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

// The pictures of `path`'s video stream, decoded.
std::vector<AVFrame*> DecodePictures(const std::string& path) {
    std::vector<AVFrame*> pictures;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) {
        return pictures;
    }
    avformat_find_stream_info(input, nullptr);
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = avcodec_find_decoder(input->streams[index]->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, input->streams[index]->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    auto receive = [&] {
        AVFrame* frame = av_frame_alloc();
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            pictures.push_back(frame);
            frame = av_frame_alloc();
        }
        av_frame_free(&frame);
    };
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0) {
            receive();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return pictures;
}

// Pictures `first` onwards of the scene face-feeder shows, in the encoder's format.
std::vector<AVFrame*> ScenePictures(int first, size_t count) {
    std::vector<AVFrame*> pictures;
    std::vector<uint8_t> frame(zavreo::kFrameBytes);
    SwsContext* scaler = sws_getContext(zavreo::kFrameWidth, zavreo::kFrameHeight, AV_PIX_FMT_BGR24,
                                        zavreo::kFrameWidth, zavreo::kFrameHeight,
                                        AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    for (size_t k = 0; k < count; ++k) {
        face_scene::Draw(first + static_cast<int>(k), frame.data());
        AVFrame* picture = av_frame_alloc();
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = zavreo::kFrameWidth;
        picture->height = zavreo::kFrameHeight;
        av_frame_get_buffer(picture, 0);
        // Bottom row first, read top first.
        const uint8_t* top[] = {frame.data() + static_cast<size_t>(zavreo::kFrameHeight - 1) *
                                                   zavreo::kFrameStride};
        const int stride[] = {-zavreo::kFrameStride};
        sws_scale(scaler, top, stride, 0, zavreo::kFrameHeight, picture->data, picture->linesize);
        pictures.push_back(picture);
    }
    sws_freeContext(scaler);
    return pictures;
}

void FreePictures(std::vector<AVFrame*>* pictures) {
    for (AVFrame*& picture : *pictures) {
        av_frame_free(&picture);
    }
    pictures->clear();
}

// Processor seconds of the program's filter and encoder on `pictures`, as fast as they go.
double BareEncoderSeconds(const std::vector<AVFrame*>& pictures,
                          const flashx::RecordOptions& options) {
    std::vector<std::string> skipped;
    const std::string filter = flashx::KnownFilters(options.videoFilters, &skipped);
    const AVCodec* codec = avcodec_find_encoder_by_name(options.videoCodec.c_str());
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->width = pictures[0]->width;
    encoder->height = pictures[0]->height;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->time_base = {1, options.frameRate};
    encoder->framerate = {options.frameRate, 1};
    encoder->bit_rate = options.videoBitrate;
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "profile", options.profile.c_str(), 0);
    av_dict_set(&settings, "x264opts", options.x264Options.c_str(), 0);
    av_dict_set(&settings, "x264-params", flashx::X264Params(options.x264Options).c_str(), 0);
    avcodec_open2(encoder, codec, &settings);
    av_dict_free(&settings);

    AVFilterGraph* graph = avfilter_graph_alloc();
    AVFilterContext *source = nullptr, *sink = nullptr;
    const std::string sourceArgs = "video_size=" + std::to_string(encoder->width) + "x" +
                                   std::to_string(encoder->height) +
                                   ":pix_fmt=" + std::to_string(AV_PIX_FMT_YUV420P) +
                                   ":time_base=1/" + std::to_string(options.frameRate);
    avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", sourceArgs.c_str(),
                                 nullptr, graph);
    avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                 graph);
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    avfilter_graph_parse_ptr(graph, filter.c_str(), &inputs, &outputs, nullptr);
    avfilter_graph_config(graph, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);

    AVPacket* packet = av_packet_alloc();
    AVFrame* filtered = av_frame_alloc();
    auto drain = [&](AVFrame* frame) {
        avcodec_send_frame(encoder, frame);
        while (avcodec_receive_packet(encoder, packet) >= 0) {
            av_packet_unref(packet);
        }
    };
    const double before = ProcessCpuSeconds();
    for (size_t i = 0; i < pictures.size(); ++i) {
        pictures[i]->pts = static_cast<int64_t>(i);
        if (av_buffersrc_add_frame_flags(source, pictures[i], AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
            break;
        }
        while (av_buffersink_get_frame(sink, filtered) >= 0) {
            drain(filtered);
            av_frame_unref(filtered);
        }
    }
    drain(nullptr);
    const double seconds = ProcessCpuSeconds() - before;
    av_frame_free(&filtered);
    av_packet_free(&packet);
    avfilter_graph_free(&graph);
    avcodec_free_context(&encoder);
    return seconds;
}

void BM_Record10Fps(benchmark::State& state) {
    const auto seconds = static_cast<int>(state.range(0));
    PulseServer pulse;
    if (!pulse.Running()) {
        state.SkipWithError("pulseaudio could not be started");
        return;
    }
    const std::string frameName = "/zavreo-bench-rec-" + std::to_string(getpid());
    setenv("ZAVREO_SHARED_FRAME", frameName.c_str(), 1);
    const std::string folder =
        std::filesystem::temp_directory_path() / ("zavreo-bench-rec-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/bench.mp4";
    zavreo::CodecLibrary library;
    if (!library.Load(ZAVREO_BIN_DIR "/libFlashX.so")) {
        state.SkipWithError("cannot load libFlashX.so");
        return;
    }
    library.Startup(nullptr);
    Feeder feeder(frameName, seconds + 10);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    auto args =
        zavreo::RecordArguments(zavreo::RecordInputText(PulseServer::kMonitorDescription), file);
    flashx::RecordOptions options;
    std::string error;
    flashx::ParseRecordOptions(args, &options, &error);
    double cpu = 0, wall = 0, bare = 0, bareDecoded = 0, pictureSeconds = 0;
    for (auto _ : state) {
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        const int32_t codec = library.CreateCodecN();
        const double cpuBefore = ProcessCpuSeconds();
        const auto begin = std::chrono::steady_clock::now();
        std::thread recording(
            [&] { library.ExecN(codec, static_cast<int>(argv.size()), argv.data(), &OnStarted); });
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        library.CloseCodecN(codec);
        recording.join();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        cpu += ProcessCpuSeconds() - cpuBefore;

        std::vector<AVFrame*> pictures = DecodePictures(file);
        if (pictures.empty()) {
            state.SkipWithError("the recording holds no pictures");
            break;
        }
        bareDecoded += BareEncoderSeconds(pictures, options);
        pictureSeconds += static_cast<double>(pictures.size()) / options.frameRate;
        const size_t count = pictures.size();
        FreePictures(&pictures);
        // The feeder started a second before the recording.
        pictures = ScenePictures(options.frameRate, count);
        bare += BareEncoderSeconds(pictures, options);
        FreePictures(&pictures);
    }
    const double share = cpu / wall, bareShare = bare / pictureSeconds,
                 bareDecodedShare = bareDecoded / pictureSeconds;
    state.counters["core_share"] = share;
    state.counters["bare_share"] = bareShare;
    state.counters["ratio"] = share / bareShare;
    state.counters["bare_share_decoded"] = bareDecodedShare;
    state.counters["ratio_decoded"] = share / bareDecodedShare;
    state.SetLabel("face scene + voice, 10 fps, " + std::to_string(seconds) + " s");
    library.Unload();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Record10Fps)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

namespace {

// Scrolls a textured picture through the shared frame ten times a second.
class MovingPicture {
public:
    explicit MovingPicture(const std::string& name)
        : frame_(name), scene_(zavreo::kFrameBytes * 2), thread_([this] { Run(); }) {}
    ~MovingPicture() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run() {
        for (size_t i = 0; i < scene_.size(); ++i) {
            scene_[i] = static_cast<uint8_t>((i * 7 + (i / zavreo::kFrameStride) * 3) ^ (i >> 9));
        }
        for (size_t k = 0; !stop_; ++k) {
            frame_.Write(&scene_[(k * 8 % zavreo::kFrameHeight) * zavreo::kFrameStride]);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    zavreo::SharedFrame frame_;
    std::vector<uint8_t> scene_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// From the record click to the first recorded picture, as the main window drives it: the
// controller's click on the interface thread, the library's start report once the first encoded
// picture is in the file. The goal is under half a second.
void BM_ClickToFirstRecordedPicture(benchmark::State& state) {
    // A real input, which the program prefers: its first sound comes within milliseconds. A
    // monitor of an idle output delivers only with the output's next block (up to 2 s here), and
    // the recording waits for the sound before its first picture.
    PulseServer pulse(true);
    const std::string frameName = "/zavreo-bench-start-" + std::to_string(getpid());
    setenv("ZAVREO_SHARED_FRAME", frameName.c_str(), 1);
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("zavreo-bench-start-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    // The microphone is looked up at each click, as the main window does.
    zavreo::RecordingController controller([] {
        std::string name;
        zavreo::FirstAudioSourceName(&name);
        return name;
    });
    zavreo::CodecLibrary library;
    if (!library.Load(ZAVREO_BIN_DIR "/libFlashX.so")) {
        state.SkipWithError("cannot load libFlashX.so");
        return;
    }
    library.Startup(&controller);
    controller.SetEntries({library.CreateCodecN, library.ExecN, library.CloseCodecN});
    MovingPicture picture(frameName);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (auto _ : state) {
        const auto click = std::chrono::steady_clock::now();
        controller.ToggleRecording();
        // The library's start report sets Recording before it clears Busy.
        while (!controller.Recording() && controller.Busy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!controller.Recording()) {
            state.SkipWithError("the recording did not start");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - click).count());
        controller.ToggleRecording();
        while (controller.Busy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Joins the last record thread while the library is still loaded.
    controller.Shutdown(std::chrono::seconds(10));
    library.Unload();
    shm_unlink(frameName.c_str());
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_ClickToFirstRecordedPicture)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
