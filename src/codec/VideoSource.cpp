#include "VideoSource.h"

#include <cstdio>

#include "VirtualCamera.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/imgutils.h>
}

namespace flashx {
namespace {

constexpr auto kLoopbackStale = std::chrono::seconds(1);

int InterruptLoopback(void* opaque) {
    return static_cast<std::atomic<bool>*>(opaque)->load() ? 1 : 0;
}

}  // namespace

VideoSource::VideoSource(const std::string& deviceName)
    : sharedFrame_(zavreo::SharedFrameReader::HandedDown()),
      view_(av_frame_alloc()),
      frame_(zavreo::kFrameBytes),
      black_(zavreo::kFrameBytes) {
    const std::string node = zavreo::FindV4l2NodeByCard(deviceName);
    if (node.empty()) {
        return;
    }
    avdevice_register_all();
    loopback_ = avformat_alloc_context();
    loopback_->interrupt_callback = {&InterruptLoopback, &stop_};
    AVDictionary* options = nullptr;
    av_dict_set(&options, "video_size", "640x480", 0);
    if (avformat_open_input(&loopback_, node.c_str(), av_find_input_format("video4linux2"),
                            &options) < 0 ||
        loopback_->nb_streams == 0) {
        std::fprintf(stderr, "FlashX: cannot read %s, recording the shared frame\n", node.c_str());
        avformat_close_input(&loopback_);
    } else {
        reader_ = std::thread(&VideoSource::ReadLoopback, this);
    }
    av_dict_free(&options);
}

VideoSource::~VideoSource() {
    stop_ = true;
    if (reader_.joinable()) {
        reader_.join();
    }
    avformat_close_input(&loopback_);
    av_frame_free(&latest_);
    av_frame_free(&view_);
}

// Loopback reader thread: keeps the newest picture.
void VideoSource::ReadLoopback() {
    const AVCodecParameters* format = loopback_->streams[0]->codecpar;
    AVPacket* packet = av_packet_alloc();
    while (!stop_ && av_read_frame(loopback_, packet) >= 0) {
        AVFrame* frame = av_frame_alloc();
        frame->format = format->format;
        frame->width = format->width;
        frame->height = format->height;
        const int needed = av_image_get_buffer_size(static_cast<AVPixelFormat>(frame->format),
                                                    frame->width, frame->height, 1);
        if (needed > 0 && packet->size >= needed && av_frame_get_buffer(frame, 0) >= 0) {
            uint8_t* planes[4] = {};
            int strides[4] = {};
            av_image_fill_arrays(planes, strides, packet->data,
                                 static_cast<AVPixelFormat>(frame->format), frame->width,
                                 frame->height, 1);
            av_image_copy(frame->data, frame->linesize, const_cast<const uint8_t**>(planes),
                          strides, static_cast<AVPixelFormat>(frame->format), frame->width,
                          frame->height);
            std::lock_guard lock(latestMutex_);
            av_frame_free(&latest_);
            latest_ = frame;
            latestAt_ = std::chrono::steady_clock::now();
        } else {
            av_frame_free(&frame);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
}

void VideoSource::Grab(const std::function<void(const AVFrame* picture)>& use) {
    {
        std::lock_guard lock(latestMutex_);
        if (latest_ != nullptr && std::chrono::steady_clock::now() - latestAt_ < kLoopbackStale) {
            use(latest_);
            return;
        }
    }
    UseSharedPicture(use);
}

void VideoSource::UseSharedPicture(const std::function<void(const AVFrame* picture)>& use) {
    view_->format = AV_PIX_FMT_BGR24;
    view_->width = zavreo::kFrameWidth;
    view_->height = zavreo::kFrameHeight;
    view_->linesize[0] = -zavreo::kFrameStride;
    auto show = [&](const uint8_t* frame) {
        view_->data[0] = const_cast<uint8_t*>(frame) +
                         static_cast<size_t>(zavreo::kFrameHeight - 1) * zavreo::kFrameStride;
        use(view_);
    };
    // Read, not mapped: another process may shrink the block at any moment, and a mapped read
    // past its end would fault.
    show(sharedFrame_.CopyFrame(frame_.data()) ? frame_.data() : black_.data());
}

}  // namespace flashx
