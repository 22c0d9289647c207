#include "Recorder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>

#include "AudioSource.h"
#include "Mp4Writer.h"
#include "Unsharp.h"
#include "VideoSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace flashx {

void StopSignal::Request() {
    {
        std::lock_guard lock(mutex_);
        requested_ = true;
    }
    changed_.notify_all();
}

bool StopSignal::Requested() {
    std::lock_guard lock(mutex_);
    return requested_;
}

namespace {

using Clock = std::chrono::steady_clock;

// A fragment is cut every this many seconds' worth of pictures and the file forced to disk every
// kSyncSeconds, so a crash loses the pictures the encoder still holds and the cut interval, a
// power cut at most the sync interval more. The sound goes into each fragment as soon as it is
// encoded, so a crash loses less of it.
constexpr double kFragmentSeconds = 0.2;
constexpr double kSyncSeconds = 0.6;
// How late the microphone's samples may arrive and still go where their capture time puts them.
// A source may take a while to deliver: a device waking from suspension, or a monitor of a sink
// that renders in large blocks (up to two seconds) until the new listener's lower latency takes
// effect. Where nothing has come by then, the file gets silence, so that its sound keeps up with
// its pictures (also in a file that a crash ends).
constexpr auto kAudioLateLimit = std::chrono::milliseconds(2500);
// How long the end of a recording waits for the microphone's last samples.
constexpr auto kAudioTailWait = std::chrono::milliseconds(300);
// How far the sound may stray from its capture times before it is put back in place.
constexpr auto kAudioSlack = std::chrono::milliseconds(40);

void Warn(const std::string& text) {
    std::fprintf(stderr, "FlashX: %s\n", text.c_str());
}

// The encoder's first sample format, planar float where it names none. libavcodec 61.13 asks
// for it through avcodec_get_supported_config and deprecates the codec's own list.
AVSampleFormat PreferredSampleFormat(const AVCodec* codec) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
    const void* formats = nullptr;
    int count = 0;
    if (avcodec_get_supported_config(nullptr, codec, AV_CODEC_CONFIG_SAMPLE_FORMAT, 0, &formats,
                                     &count) >= 0 &&
        count > 0) {
        return static_cast<const AVSampleFormat*>(formats)[0];
    }
    return AV_SAMPLE_FMT_FLTP;
#else
    return codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
#endif
}

struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// The video chain: the user's filters, then the output size and the encoder's pixel format.
// An empty chain or one that is only "unsharp" (the program's) takes the short way: one
// conversion straight from the source picture to the encoder's format and size, then the
// vectorised filter. Any other chain goes through libavfilter.
class VideoFilter {
public:
    explicit VideoFilter(const RecordOptions& options) : options_(options) {
        std::vector<std::string> skipped;
        chain_ = KnownFilters(options.videoFilters, &skipped);
        for (const auto& name : skipped) {
            Warn("no video filter named \"" + name + "\", left out");
        }
        if (const auto settings = ParseUnsharpChain(chain_)) {
            unsharp_.emplace(*settings);
        }
        direct_ = chain_.empty() || unsharp_.has_value();
        const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, options.width, options.height,
                                                  kPictureAlign);
        if (direct_ && size > 0) {
            // Room past the end for converters that write whole vectors.
            pool_ = av_buffer_pool_init(static_cast<size_t>(size) + kPictureAlign, nullptr);
        }
    }
    ~VideoFilter() {
        avfilter_graph_free(&graph_);
        sws_freeContext(scaler_);
        // Buffers still held elsewhere free themselves when let go.
        av_buffer_pool_uninit(&pool_);
    }

    // The filtered picture (or null) for `in`.
    FramePtr Apply(const AVFrame* in) { return direct_ ? ApplyDirect(in) : ApplyGraph(in); }

private:
    static constexpr int kPictureAlign = 64;

    // Buffers come from a pool, so a picture's memory is reused once the encoder and the last
    // picture kept have let go of it, rather than given back to the system and faulted in anew.
    FramePtr NewPicture() {
        if (pool_ == nullptr) {
            return nullptr;
        }
        FramePtr picture(av_frame_alloc());
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = options_.width;
        picture->height = options_.height;
        picture->buf[0] = av_buffer_pool_get(pool_);
        if (picture->buf[0] == nullptr ||
            av_image_fill_arrays(picture->data, picture->linesize, picture->buf[0]->data,
                                 AV_PIX_FMT_YUV420P, options_.width, options_.height,
                                 kPictureAlign) < 0) {
            return nullptr;
        }
        return picture;
    }

    FramePtr ApplyDirect(const AVFrame* in) {
        scaler_ = sws_getCachedContext(
            scaler_, in->width, in->height, static_cast<AVPixelFormat>(in->format), options_.width,
            options_.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        FramePtr out = NewPicture();
        if (scaler_ == nullptr || out == nullptr) {
            return nullptr;
        }
        if (!unsharp_) {
            sws_scale(scaler_, in->data, in->linesize, 0, in->height, out->data, out->linesize);
            return out;
        }
        if (!converted_ && !(converted_ = NewPicture())) {
            return nullptr;
        }
        sws_scale(scaler_, in->data, in->linesize, 0, in->height, converted_->data,
                  converted_->linesize);
        unsharp_->Apply(converted_.get(), out.get());
        return out;
    }

    // Rebuilt when the input changes shape.
    FramePtr ApplyGraph(const AVFrame* in) {
        if (graph_ == nullptr || in->format != format_ || in->width != width_ ||
            in->height != height_) {
            if (!Build(in)) {
                return nullptr;
            }
        }
        if (av_buffersrc_add_frame_flags(source_, const_cast<AVFrame*>(in),
                                         AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
            return nullptr;
        }
        FramePtr out(av_frame_alloc());
        if (av_buffersink_get_frame(sink_, out.get()) < 0) {
            return nullptr;
        }
        return out;
    }

    bool Build(const AVFrame* in) {
        avfilter_graph_free(&graph_);
        format_ = in->format;
        width_ = in->width;
        height_ = in->height;
        graph_ = avfilter_graph_alloc();
        const std::string sourceArgs = "video_size=" + std::to_string(width_) + "x" +
                                       std::to_string(height_) +
                                       ":pix_fmt=" + std::to_string(format_) + ":time_base=1/" +
                                       std::to_string(options_.frameRate) + ":pixel_aspect=1/1";
        const std::string chain = chain_ + (chain_.empty() ? "" : ",") +
                                  "scale=" + std::to_string(options_.width) + ":" +
                                  std::to_string(options_.height) + ",format=yuv420p";
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        bool ok = avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in",
                                               sourceArgs.c_str(), nullptr, graph_) >= 0 &&
                  avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out",
                                               nullptr, nullptr, graph_) >= 0;
        if (ok) {
            outputs->name = av_strdup("in");
            outputs->filter_ctx = source_;
            inputs->name = av_strdup("out");
            inputs->filter_ctx = sink_;
            ok = avfilter_graph_parse_ptr(graph_, chain.c_str(), &inputs, &outputs, nullptr) >= 0 &&
                 avfilter_graph_config(graph_, nullptr) >= 0;
        }
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (!ok) {
            Warn("cannot set up the video filters \"" + chain + "\"");
            avfilter_graph_free(&graph_);
        }
        return ok;
    }

    const RecordOptions& options_;
    std::string chain_;
    bool direct_ = false;
    std::optional<UnsharpFilter> unsharp_;
    SwsContext* scaler_ = nullptr;
    AVBufferPool* pool_ = nullptr;
    FramePtr converted_;  // the picture in the encoder's format before the filter

    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    int format_ = -1, width_ = 0, height_ = 0;
};

// Everything one recording holds; Run's steps are its methods.
class Session {
public:
    Session(const RecordOptions& options, StopSignal& stop)
        : options_(options), stop_(stop), filter_(options) {}
    ~Session() {
        av_audio_fifo_free(fifo_);
        swr_free(&resampler_);
    }

    int Run(const std::function<void()>& started);

private:
    FramePtr GrabPicture();
    bool OpenVideoEncoder(std::string* error);
    void OpenAudio();
    bool OpenAudioEncoder(std::string* error);
    bool StartWriter(std::string* error);
    void DrainVideo(AVFrame* frame);
    void PumpAudio(int64_t endSample, bool final);
    void FillLateAudio();
    void PushSamples(const int16_t* samples, int count);
    void PushSilence(int64_t count);
    void EncodeAudio(bool final);
    void DrainAudio(AVFrame* frame);

    const RecordOptions& options_;
    StopSignal& stop_;
    std::optional<VideoSource> video_;
    VideoFilter filter_;
    CodecPtr videoCodec_;
    AVStream* videoStream_ = nullptr;
    FramePtr lastPicture_;
    std::function<void()> started_;
    bool reportedStart_ = false;

    std::unique_ptr<AudioSource> audio_;
    CodecPtr audioCodec_;
    AVStream* audioStream_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    Clock::time_point t0_;  // the start: ExecN's call
    bool audioAligned_ = false;
    // Sample positions count from the start (t0_) at the output rate. The encoder's first sample
    // is at audioStart_; the next one pushed into the FIFO at nextSample_.
    int64_t audioStart_ = 0;
    int64_t nextSample_ = 0;
    int64_t samplesEncoded_ = 0;

    Mp4Writer writer_;
};

bool Session::OpenVideoEncoder(std::string* error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(options_.videoCodec.c_str());
    if (codec == nullptr || codec->type != AVMEDIA_TYPE_VIDEO) {
        *error = "no video encoder named " + options_.videoCodec;
        return false;
    }
    videoCodec_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = videoCodec_.get();
    c->width = options_.width;
    c->height = options_.height;
    c->time_base = {1, options_.frameRate};
    c->framerate = {options_.frameRate, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->sample_aspect_ratio = {1, 1};
    if (options_.videoBitrate > 0) {
        c->bit_rate = options_.videoBitrate;
    }
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* settings = nullptr;
    if (!options_.profile.empty()) {
        av_dict_set(&settings, "profile", options_.profile.c_str(), 0);
    }
    if (!options_.x264Options.empty()) {
        av_dict_set(&settings, "x264opts", options_.x264Options.c_str(), 0);
    }
    if (options_.videoCodec == "libx264") {
        av_dict_set(&settings, "x264-params", X264Params(options_.x264Options).c_str(), 0);
    }
    const int result = avcodec_open2(c, codec, &settings);
    av_dict_free(&settings);
    if (result < 0) {
        *error = "cannot open the video encoder " + options_.videoCodec;
        return false;
    }
    return true;
}

void Session::OpenAudio() {
    if (options_.audioDevice.empty()) {
        Warn("no audio device given, recording video only");
        return;
    }
    const std::string source = FindPulseSource(options_.audioDevice);
    if (source.empty()) {
        Warn("no audio source named \"" + options_.audioDevice + "\", recording video only");
        return;
    }
    audio_ = std::make_unique<AudioSource>(source, options_.sampleRate, options_.channels);
}

bool Session::OpenAudioEncoder(std::string* error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(options_.audioCodec.c_str());
    if (codec == nullptr && options_.audioCodec == "libaacplus") {
        codec = avcodec_find_encoder_by_name("aac");
    }
    if (codec == nullptr || codec->type != AVMEDIA_TYPE_AUDIO) {
        *error = "no audio encoder named " + options_.audioCodec;
        return false;
    }
    audioCodec_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = audioCodec_.get();
    c->sample_fmt = PreferredSampleFormat(codec);
    c->sample_rate = options_.sampleRate;
    av_channel_layout_default(&c->ch_layout, options_.channels);
    c->time_base = {1, options_.sampleRate};
    if (options_.audioBitrate > 0) {
        c->bit_rate = options_.audioBitrate;
    }
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* settings = nullptr;
    if (std::string(codec->name) == "aac") {
        // The default two-loop search costs about five times the fast one, more than all the
        // rest of the recording but the video encoder.
        av_dict_set(&settings, "aac_coder", "fast", 0);
    }
    const int opened = avcodec_open2(c, codec, &settings);
    av_dict_free(&settings);
    if (opened < 0) {
        *error = "cannot open the audio encoder " + std::string(codec->name);
        return false;
    }
    AVChannelLayout in{};
    av_channel_layout_default(&in, options_.channels);
    const bool ok =
        swr_alloc_set_opts2(&resampler_, &c->ch_layout, c->sample_fmt, c->sample_rate, &in,
                            AV_SAMPLE_FMT_S16, options_.sampleRate, 0, nullptr) >= 0 &&
        swr_init(resampler_) >= 0;
    fifo_ = av_audio_fifo_alloc(c->sample_fmt, options_.channels,
                                c->frame_size > 0 ? c->frame_size : 1024);
    if (!ok || fifo_ == nullptr) {
        *error = "cannot set up the audio conversion";
        return false;
    }
    return true;
}

// The picture at tick k and the sound captured k ticks after the start share one clock whose
// zero is the start. The video encoder stamps its first packets before zero (the B-frames'
// reordering delay); every stamp in the file moves by that delay, so the video's decoding times
// begin at zero. The sound begins at the same shifted zero: its first encoder frame starts that
// delay before the start, less the encoder's priming, filled with what was captured then (or
// silence). A fragmented file keeps only where each track begins, so both begin at zero and
// their offset against each other is the truth; the ordinary copy takes the shift back off
// with an edit list.
bool Session::StartWriter(std::string* error) {
    int64_t lead = 0;
    if (videoCodec_->has_b_frames > 0) {
        lead = int64_t{videoCodec_->has_b_frames} * 1000000 / options_.frameRate;
    }
    if (audioCodec_) {
        audioStart_ =
            audioCodec_->initial_padding - av_rescale(lead, audioCodec_->sample_rate, 1000000);
    }
    nextSample_ = audioStart_;
    writer_.SetTimeShift(lead);
    return writer_.Start(error);
}

FramePtr Session::GrabPicture() {
    FramePtr picture;
    video_->Grab([&](const AVFrame* source) { picture = filter_.Apply(source); });
    return picture;
}

int Session::Run(const std::function<void()>& started) {
    started_ = started;
    // The recording starts now. The first picture is taken before anything else is set up; the
    // microphone connects meanwhile, and its sound goes where its capture time puts it.
    t0_ = Clock::now();
    video_.emplace(options_.videoDevice);
    FramePtr first = GrabPicture();
    std::string error;
    if (!OpenVideoEncoder(&error)) {
        Warn(error);
        return -1;
    }
    OpenAudio();
    if (audio_ && !OpenAudioEncoder(&error)) {
        Warn(error + ", recording video only");
        audio_.reset();
        audioCodec_.reset();
    }
    if (!writer_.Open(options_.output, options_.overwrite, &error) ||
        (videoStream_ = writer_.AddStream(videoCodec_.get())) == nullptr ||
        (audio_ && (audioStream_ = writer_.AddStream(audioCodec_.get())) == nullptr) ||
        !StartWriter(&error)) {
        Warn(error.empty() ? "cannot set up the output file" : error);
        writer_.Finish();
        return writer_.ErrorCode() != 0 ? writer_.ErrorCode() : -1;
    }

    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / options_.frameRate;
    const int64_t ticksPerFragment =
        std::max<int64_t>(1, static_cast<int64_t>(kFragmentSeconds * options_.frameRate));
    const int64_t ticksPerSync =
        std::max<int64_t>(1, static_cast<int64_t>(kSyncSeconds * options_.frameRate));
    // Tick 0 is the first picture, whatever came since; a stop is looked at from tick 1 on.
    int64_t tick = 0;
    FramePtr picture = std::move(first);
    do {
        if (tick > 0) {
            // Ticks the recording thread slept through are dropped, or filled with the last
            // picture for a constant rate; never stamped late.
            const int64_t due = (Clock::now() - t0_) / period;
            for (; tick < due; ++tick) {
                if (options_.vsync == 1 && lastPicture_) {
                    lastPicture_->pts = tick;
                    DrainVideo(lastPicture_.get());
                }
            }
            picture = GrabPicture();
        }
        if (picture) {
            picture->pts = tick;
            DrainVideo(picture.get());
            lastPicture_ = std::move(picture);
        }
        ++tick;
        PumpAudio(-1, false);
        if (tick % ticksPerFragment == 0) {
            writer_.CutFragment(tick % ticksPerSync < ticksPerFragment);
        }
    } while (!writer_.Failed() && !stop_.WaitUntil(t0_ + tick * period));
    if (writer_.Failed()) {
        Warn(writer_.Error() + "; the recording ends here");
    }
    // The file covers `tick` pictures; the sound is cut or filled to the same length.
    if (!writer_.Failed()) {
        DrainVideo(nullptr);
        if (audio_) {
            audio_->WaitUntilPast(t0_ + tick * period, kAudioTailWait);
            PumpAudio(tick * options_.sampleRate / options_.frameRate, true);
            if (!audio_->Delivering()) {
                const std::string why = audio_->Error();
                Warn("no sound came from \"" + options_.audioDevice + "\"" +
                     (why.empty() ? "" : " (" + why + ")") + "; the recording has silence");
            }
        }
    }
    writer_.Finish();
    return writer_.ErrorCode();
}

// Sends `frame` (null: the end) and writes every packet that is ready.
void Session::DrainVideo(AVFrame* frame) {
    if (avcodec_send_frame(videoCodec_.get(), frame) < 0) {
        return;
    }
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(videoCodec_.get(), packet) >= 0) {
        // Each picture lasts one tick; the file's fragments need the last one's length.
        if (packet->duration <= 0) {
            packet->duration = 1;
        }
        const bool written = writer_.Write(packet, videoCodec_->time_base, videoStream_);
        av_packet_unref(packet);
        if (written && !reportedStart_) {
            reportedStart_ = true;
            if (started_) {
                started_();
            }
        }
    }
    av_packet_free(&packet);
}

// Moves the captured sound into the encoder. With "-async" each chunk goes where its capture
// time puts it when it strays more than kAudioSlack from where the sound has reached (the first
// one always; later a lost stretch or a clock that drifts): silence fills a gap, samples before
// the position reached are dropped. Otherwise the sound runs on from where it started.
// `endSample` (>= 0) cuts or fills the sound to that position; `final` flushes the encoder.
void Session::PumpAudio(int64_t endSample, bool final) {
    if (!audio_) {
        return;
    }
    std::deque<AudioChunk> chunks;
    audio_->Take(&chunks);
    const int channels = options_.channels;
    const int64_t slack = av_rescale(kAudioSlack.count(), options_.sampleRate, 1000);
    for (const auto& chunk : chunks) {
        const int16_t* samples = chunk.samples.data();
        int64_t count = static_cast<int64_t>(chunk.samples.size()) / channels;
        const int64_t capturedAt = av_rescale(
            std::chrono::duration_cast<std::chrono::microseconds>(chunk.capturedAt - t0_).count(),
            options_.sampleRate, 1000000);
        if (!audioAligned_ || (options_.async > 0 && std::abs(capturedAt - nextSample_) > slack)) {
            audioAligned_ = true;
            const int64_t at = options_.async > 0 ? capturedAt : nextSample_;
            if (at > nextSample_) {
                PushSilence(at - nextSample_);
            } else {
                const int64_t drop = std::min(count, nextSample_ - at);
                samples += drop * channels;
                count -= drop;
            }
        }
        if (endSample >= 0) {
            count = std::max<int64_t>(0, std::min(count, endSample - nextSample_));
        }
        PushSamples(samples, static_cast<int>(count));
    }
    if (endSample > nextSample_) {
        PushSilence(endSample - nextSample_);
    } else if (endSample < 0) {
        FillLateAudio();
    }
    EncodeAudio(final);
}

// Silence up to kAudioLateLimit ago, where no sound has come for it.
void Session::FillLateAudio() {
    const auto late = Clock::now() - kAudioLateLimit - t0_;
    const int64_t until =
        av_rescale(std::chrono::duration_cast<std::chrono::microseconds>(late).count(),
                   options_.sampleRate, 1000000);
    if (until > nextSample_) {
        PushSilence(until - nextSample_);
    }
}

void Session::PushSamples(const int16_t* samples, int count) {
    if (count <= 0) {
        return;
    }
    uint8_t** converted = nullptr;
    if (av_samples_alloc_array_and_samples(&converted, nullptr, options_.channels, count,
                                           audioCodec_->sample_fmt, 0) < 0) {
        return;
    }
    const uint8_t* in[] = {reinterpret_cast<const uint8_t*>(samples)};
    const int made = swr_convert(resampler_, converted, count, in, count);
    if (made > 0) {
        av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted), made);
        nextSample_ += made;
    }
    av_freep(&converted[0]);
    av_freep(&converted);
}

void Session::PushSilence(int64_t count) {
    std::vector<int16_t> zeros(static_cast<size_t>(std::min<int64_t>(count, 4096)) *
                               options_.channels);
    while (count > 0) {
        const int part = static_cast<int>(std::min<int64_t>(count, 4096));
        PushSamples(zeros.data(), part);
        count -= part;
    }
}

// Encodes whole encoder frames from the FIFO; `final` also the rest and the encoder's tail.
void Session::EncodeAudio(bool final) {
    const int frameSize = audioCodec_->frame_size > 0 ? audioCodec_->frame_size : 1024;
    while (av_audio_fifo_size(fifo_) >= frameSize || (final && av_audio_fifo_size(fifo_) > 0)) {
        FramePtr frame(av_frame_alloc());
        frame->nb_samples = std::min(frameSize, av_audio_fifo_size(fifo_));
        frame->format = audioCodec_->sample_fmt;
        frame->sample_rate = audioCodec_->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &audioCodec_->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            return;
        }
        av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), frame->nb_samples);
        frame->pts = audioStart_ + samplesEncoded_;
        samplesEncoded_ += frame->nb_samples;
        DrainAudio(frame.get());
    }
    if (final) {
        DrainAudio(nullptr);
    }
}

void Session::DrainAudio(AVFrame* frame) {
    if (avcodec_send_frame(audioCodec_.get(), frame) < 0) {
        return;
    }
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(audioCodec_.get(), packet) >= 0) {
        writer_.Write(packet, audioCodec_->time_base, audioStream_);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
}

}  // namespace

int Recorder::Run(const std::function<void()>& started) {
    if (options_.width == 0) {
        options_.width = zavreo::kFrameWidth;
        options_.height = zavreo::kFrameHeight;
    }
    Session session(options_, stop_);
    return session.Run(started);
}

}  // namespace flashx
