#pragma once
// The virtual camera as a PipeWire video source node ("Video/Source", role "Camera", described as
// the camera's name), so that PipeWire-aware programs take it as a camera without the loopback
// module. It describes itself as a real camera's node does: one EnumFormat per pixel format and
// mode, each with a plain format, size and frame rate (browsers skip formats offered as a choice).
// The node drives its own graph: every Send() hands one frame to the reader, converted into the
// format the reader chose, straight into PipeWire's buffer.
//
// Threads: every call and every callback runs on the thread that runs `loop` (the stream's
// process callback is not real-time, so PipeWire hands it to that loop). The context's data
// thread only moves the finished buffers.

#include <pipewire/pipewire.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "VirtualCamera.h"

namespace zavreo {

// A picture size and frame rate the node offers.
struct CameraMode {
    uint32_t width;
    uint32_t height;
    uint32_t fps;
};

class PipeWireCamera {
public:
    // `modes` in order of preference, each convertible from the shared frame; `changed` runs
    // whenever Streaming(), Fps() or Lost() may have changed.
    PipeWireCamera(pw_loop* loop, std::vector<CameraMode> modes, std::function<void()> changed);
    ~PipeWireCamera();
    PipeWireCamera(const PipeWireCamera&) = delete;
    PipeWireCamera& operator=(const PipeWireCamera&) = delete;

    // Connects to the session's PipeWire daemon and publishes the node; false when no daemon
    // answers.
    bool Connect();
    // Removes the node and leaves the daemon.
    void Disconnect();
    bool Connected() const { return core_ != nullptr; }
    // The daemon went away, refused the node or left it stuck: Disconnect, then Connect again
    // later.
    bool Lost() const { return lost_; }
    // True while a reader takes frames.
    bool Streaming() const { return streaming_; }
    // The negotiated format as a V4L2 fourcc (FrameConvert), 0 before a reader chose one.
    uint32_t Fourcc() const { return fourcc_; }
    // The frame rate the reader chose, 0 before it chose one: Send() is due that often.
    uint32_t Fps() const { return fps_; }

    // Hands one shared frame (640 x 480 BGR, bottom row first) to the reader. Without a free
    // buffer (the reader holds them all) the frame is dropped.
    void Send(const uint8_t* bottomUpBgr);

private:
    static void OnCoreError(void* data, uint32_t id, int seq, int res, const char* message);
    static void OnStateChanged(void* data, pw_stream_state old, pw_stream_state state,
                               const char* error);
    static void OnParamChanged(void* data, uint32_t id, const spa_pod* param);
    static void OnProcess(void* data);
    bool Offers(uint32_t width, uint32_t height, uint32_t fps) const;
    void Fill();

    std::vector<CameraMode> modes_;
    std::function<void()> changed_;
    pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook coreListener_{};
    spa_hook streamListener_{};
    bool lost_ = false;
    bool streaming_ = false;
    uint32_t fourcc_ = 0;
    uint32_t fps_ = 0;
    uint32_t frameBytes_ = 0;
    uint32_t stride_ = 0;
    uint64_t sequence_ = 0;
    uint32_t starvedFrames_ = 0;        // Send()s in a row that found no free buffer
    const uint8_t* pending_ = nullptr;  // the frame Send() is handing over, during its trigger
};

}  // namespace zavreo
