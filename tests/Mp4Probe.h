#pragma once
// Reads an MP4 file back as a player would: every packet decoded, errors counted, the first
// picture kept as top-down BGR.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

struct Mp4Probe {
    bool opened = false;
    bool hasVideo = false, hasAudio = false;
    std::string videoCodec, audioCodec;
    int profile = 0, width = 0, height = 0;
    AVRational frameRate{0, 1};
    int64_t videoFrames = 0;
    double videoSeconds = 0;  // from the decoded pictures' time stamps
    int sampleRate = 0, channels = 0;
    int64_t audioSamples = 0;
    double audioSeconds = 0;
    int decodeErrors = 0;
    // When each stream's first decoded output is due and when its last one ends, in seconds.
    double videoStart = 0, audioStart = 0;
    double videoEnd = 0, audioEnd = 0;
    bool fragmented = false;  // a movie fragment box is present
    std::vector<uint8_t> firstPicture;
};

inline Mp4Probe ProbeMp4(const std::string& path) {
    Mp4Probe probe;
    {
        std::ifstream file(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), {});
        probe.fragmented = bytes.find("moof") != std::string::npos;
    }
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) {
        return probe;
    }
    probe.opened = avformat_find_stream_info(input, nullptr) >= 0;
    std::vector<AVCodecContext*> decoders(input->nb_streams, nullptr);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* par = input->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (codec == nullptr) {
            continue;
        }
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], par);
        decoders[i]->err_recognition = AV_EF_EXPLODE | AV_EF_CRCCHECK | AV_EF_BITSTREAM;
        avcodec_open2(decoders[i], codec, nullptr);
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            probe.hasVideo = true;
            probe.videoCodec = codec->name;
            probe.profile = par->profile;
            probe.width = par->width;
            probe.height = par->height;
            probe.frameRate = input->streams[i]->avg_frame_rate;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            probe.hasAudio = true;
            probe.audioCodec = codec->name;
            probe.sampleRate = par->sample_rate;
            probe.channels = par->ch_layout.nb_channels;
        }
    }
    int64_t firstPts = INT64_MAX, lastPts = INT64_MIN;
    AVRational videoBase{1, 1};
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto receive = [&](unsigned index) {
        AVCodecContext* decoder = decoders[index];
        int result = 0;
        while ((result = avcodec_receive_frame(decoder, frame)) >= 0) {
            if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
                ++probe.videoFrames;
                videoBase = input->streams[index]->time_base;
                firstPts = std::min(firstPts, frame->best_effort_timestamp);
                lastPts = std::max(lastPts, frame->best_effort_timestamp);
                if (probe.firstPicture.empty()) {
                    probe.firstPicture.resize(static_cast<size_t>(frame->width) * frame->height *
                                              3);
                    SwsContext* scale = sws_getContext(
                        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                        frame->width, frame->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr,
                        nullptr);
                    uint8_t* out[] = {probe.firstPicture.data()};
                    const int stride[] = {frame->width * 3};
                    sws_scale(scale, frame->data, frame->linesize, 0, frame->height, out, stride);
                    sws_freeContext(scale);
                }
            } else {
                if (probe.audioSamples == 0) {
                    probe.audioStart =
                        frame->best_effort_timestamp * av_q2d(input->streams[index]->time_base);
                }
                probe.audioSamples += frame->nb_samples;
                probe.audioEnd =
                    frame->best_effort_timestamp * av_q2d(input->streams[index]->time_base) +
                    static_cast<double>(frame->nb_samples) / frame->sample_rate;
            }
            av_frame_unref(frame);
        }
        if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) {
            ++probe.decodeErrors;
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        const unsigned index = static_cast<unsigned>(packet->stream_index);
        if (decoders[index] != nullptr) {
            if (avcodec_send_packet(decoders[index], packet) < 0) {
                ++probe.decodeErrors;
            }
            receive(index);
        }
        av_packet_unref(packet);
    }
    for (unsigned i = 0; i < decoders.size(); ++i) {
        if (decoders[i] != nullptr) {
            avcodec_send_packet(decoders[i], nullptr);
            receive(i);
            avcodec_free_context(&decoders[i]);
        }
    }
    if (probe.videoFrames > 0 && probe.frameRate.num > 0) {
        probe.videoSeconds =
            (lastPts - firstPts) * av_q2d(videoBase) + av_q2d(av_inv_q(probe.frameRate));
        probe.videoStart = firstPts * av_q2d(videoBase);
        probe.videoEnd = probe.videoStart + probe.videoSeconds;
    }
    if (probe.sampleRate > 0) {
        probe.audioSeconds = static_cast<double>(probe.audioSamples) / probe.sampleRate;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&input);
    return probe;
}
