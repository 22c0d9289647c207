#pragma once
// Where the recorder takes its pictures: the program's virtual camera (the loopback device with
// that card label) while it delivers frames, else the shared frame it is fed from, which holds
// the same picture: the block the program handed down, the one it really writes. Both give the
// latest picture on demand; the recorder's clock decides when.
//
// Threads: Grab is called on the recording thread; the loopback device is read on a thread of
// its own, which the source starts and joins.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SharedFrame.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
}

namespace flashx {

class VideoSource {
public:
    // `deviceName` is the card label of the virtual camera.
    explicit VideoSource(const std::string& deviceName);
    ~VideoSource();
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    // Runs `use` on the latest picture, valid only during the call: the loopback device's when
    // it delivered one within the last second, else the shared frame's where it lies (its rows
    // bottom first, read top first through a negative line size; black while none exists).
    void Grab(const std::function<void(const AVFrame* picture)>& use);
    bool UsingLoopback() const { return reader_.joinable(); }

private:
    void ReadLoopback();
    void UseSharedPicture(const std::function<void(const AVFrame* picture)>& use);

    zavreo::SharedFrameReader sharedFrame_;
    AVFrame* view_ = nullptr;     // no buffer of its own: points into frame_ or black_
    std::vector<uint8_t> frame_;  // the shared frame's last copy
    std::vector<uint8_t> black_;  // shown while there is no shared frame

    AVFormatContext* loopback_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::mutex latestMutex_;
    AVFrame* latest_ = nullptr;                       // guarded by latestMutex_
    std::chrono::steady_clock::time_point latestAt_;  // guarded by latestMutex_
};

}  // namespace flashx
