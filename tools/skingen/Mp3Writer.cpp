#include "Mp3Writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cstring>
#include <memory>
#include <system_error>

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct OutputFree {
    void operator()(AVFormatContext* f) const {
        if (f->pb) {
            avio_closep(&f->pb);
        }
        avformat_free_context(f);
    }
};

bool Drain(AVCodecContext* codec, AVFormatContext* format, AVStream* stream, AVPacket* packet) {
    for (;;) {
        const int result = avcodec_receive_packet(codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            return false;
        }
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format, packet) < 0) {
            return false;
        }
    }
}

bool Encode(const std::string& file, const std::vector<float>& samples, int rate) {
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MP3);
    if (!encoder) {
        return false;
    }
    AVFormatContext* rawFormat = nullptr;
    if (avformat_alloc_output_context2(&rawFormat, nullptr, "mp3", file.c_str()) < 0) {
        return false;
    }
    std::unique_ptr<AVFormatContext, OutputFree> format(rawFormat);
    std::unique_ptr<AVCodecContext, CodecContextFree> codec(avcodec_alloc_context3(encoder));
    codec->sample_rate = rate;
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec->bit_rate = 96000;
    av_channel_layout_default(&codec->ch_layout, 1);
    codec->time_base = AVRational{1, rate};
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0) {
        return false;
    }
    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0) {
        return false;
    }
    stream->time_base = codec->time_base;
    if (avio_open(&format->pb, file.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(format.get(), nullptr) < 0) {
        return false;
    }
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    const int chunk = codec->frame_size > 0 ? codec->frame_size : 1152;
    for (size_t at = 0; at < samples.size(); at += chunk) {
        frame->nb_samples = chunk;
        frame->format = codec->sample_fmt;
        frame->sample_rate = rate;
        if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 ||
            av_frame_get_buffer(frame.get(), 0) < 0 || av_frame_make_writable(frame.get()) < 0) {
            return false;
        }
        auto* out = reinterpret_cast<float*>(frame->data[0]);
        const size_t count = std::min<size_t>(chunk, samples.size() - at);
        std::memcpy(out, samples.data() + at, count * sizeof(float));
        std::fill(out + count, out + chunk, 0.0f);
        frame->pts = int64_t(at);
        if (avcodec_send_frame(codec.get(), frame.get()) < 0 ||
            !Drain(codec.get(), format.get(), stream, packet.get())) {
            return false;
        }
        av_frame_unref(frame.get());
    }
    if (avcodec_send_frame(codec.get(), nullptr) < 0 ||
        !Drain(codec.get(), format.get(), stream, packet.get())) {
        return false;
    }
    return av_write_trailer(format.get()) == 0;
}

}  // namespace

bool WriteMp3(const std::filesystem::path& path, const std::vector<float>& samples, int rate) {
    std::filesystem::path partial = path;
    partial += ".part";
    if (!Encode(partial.string(), samples, rate)) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return false;
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    return !error;
}
