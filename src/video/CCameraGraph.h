#pragma once
// One capture pipeline. The camera graph runs the chosen camera into the frame callback; the
// preview graph shows the virtual camera, or the shared frame itself where its loopback device
// does not exist.
//
// Threads: operations run on the interface thread, except that the camera open thread builds and
// runs the camera graph; a lock serialises those. Frames arrive on GStreamer's streaming thread,
// bus errors on whichever thread posts them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MjpegDecoder.h"

struct _GstDevice;
struct _GstElement;
struct _GstAppSink;
struct _GstCaps;
struct _GstBuffer;

namespace zavreo {

class CSampleGrabberCB;
class PreviewFrames;

enum GraphStateValue { GraphRunning = 1, GraphReady = 3 };

// A camera the graph can open.
struct CameraDevice {
    std::string name;
    std::string path;  // V4L2 node; empty for the stand-in
    std::string caps;  // what the device offers, as GStreamer caps text
    bool testPattern = false;
    std::shared_ptr<_GstDevice> device;  // null for the stand-in
};

class CCameraGraph {
public:
    explicit CCameraGraph(CSampleGrabberCB& grabber);
    ~CCameraGraph();
    CCameraGraph(const CCameraGraph&) = delete;
    CCameraGraph& operator=(const CCameraGraph&) = delete;

    // 0 when capture is possible (the state becomes GraphReady), else -1.
    int CreateObjects();
    // Fills `combo` with the usable cameras; their number, or -1 (see DiscoverCameras).
    int EnumCameras(std::vector<std::string>* combo);
    // The sizes ("W x H") of one camera: RGB, or YUY2 when it has none, then the sizes it offers
    // only as MJPG (the large ones of most webcams); `best` gets the index of 640 x 480 and is
    // left alone without one. -1 when the device cannot be found, else the number of entries
    // added.
    int ListFormats(const std::string& device, std::vector<std::string>* sizes, int* best);
    // False only when devices cannot be enumerated; true with `out` untouched when no name matches.
    bool FindDeviceFilter(const std::string& device, CameraDevice* out);
    // Builds the pipeline; 1 when devices cannot be enumerated, negative on failure, else 0.
    // Preview mode opens `device` by card label and feeds `owner`.
    int BuildGraph(const std::string& device, PreviewFrames* owner, bool preview, int width,
                   int height);
    // Sets the built pipeline playing and waits for it to start; 0 or -1.
    int Run();
    // BuildGraph and Run; GraphRunning and 0 on success, else torn down and -1.
    int StartGraph(int height, int width, bool preview, const std::string& device,
                   PreviewFrames* owner);
    // Stops and drops the pipeline; the state becomes GraphReady.
    void Teardown();
    // Points the preview area at this graph's frames.
    void AttachPreviewWindow();
    // Stores the first audio capture device's name; 0, or -1 when devices cannot be listed.
    int FindAudioDeviceName();
    const std::string& AudioDeviceName() const { return audioDeviceName_; }

    int State() const { return state_.load(); }
    void SetState(int state) { state_.store(state); }
    // The V4L2 node of the running source, empty for the stand-in or the shared-frame preview.
    std::string SourcePath() const;

    // Called once when the running pipeline fails (camera unplugged, stream error), on the
    // thread that reports it; the handler must not tear the graph down there.
    void SetFailureHandler(std::function<void()> handler);
    // True once the current pipeline has reported a failure.
    bool Failed() const { return failed_.load(); }

    // Frames that reached the callback, and their size, since the last build.
    uint64_t FramesDelivered() const { return frames_.load(); }
    int DeliveredWidth() const { return deliveredWidth_.load(); }
    int DeliveredHeight() const { return deliveredHeight_.load(); }

private:
    friend struct GraphCallbacks;
    void DeliverSample(_GstAppSink* sink);
    // A raw BGR picture: to the preview, or turned bottom up for the frame callback.
    void DeliverRaw(_GstBuffer* buffer, const uint8_t* data, size_t size, double seconds);
    void ReportFailure();
    int BuildCamera(const CameraDevice& device, int width, int height);
    int BuildPreview(const std::string& device);
    void AdoptPipeline(_GstElement* pipeline);
    void ResetPipeline();
    bool StartPlaying(std::unique_lock<std::mutex>& lock);

    CSampleGrabberCB& grabber_;
    std::atomic<int> state_{0};
    std::string audioDeviceName_;

    // pipeline_ and the fields below it; preview_ and owner_ stay fixed while a pipeline exists,
    // so the streaming thread reads them without the lock.
    mutable std::mutex mutex_;
    _GstElement* pipeline_ = nullptr;
    std::atomic<unsigned> builds_{0};  // bumped whenever a pipeline is dropped
    CameraDevice source_;
    bool preview_ = false;
    bool formatRequested_ = false;  // the caps filter holds a size the device listed
    PreviewFrames* owner_ = nullptr;

    std::function<void()> failureHandler_;  // set before any build
    std::atomic<bool> failed_{false};
    std::atomic<bool> deviceBusy_{false};  // the device said it is in use elsewhere

    // Streaming thread only.
    std::vector<uint8_t> frame_;
    _GstCaps* lastCaps_ = nullptr;
    bool jpeg_ = false;  // the pictures come as Motion JPEG
    MjpegDecoder decoder_;
    int width_ = 0, height_ = 0, stride_ = 0;
    size_t offset_ = 0;
    std::atomic<uint64_t> frames_{0};
    std::atomic<int> deliveredWidth_{0};
    std::atomic<int> deliveredHeight_{0};
};

// Copies a top-down frame of `stride` bytes a row into `out` as tight rows, bottom row first.
void CopyBottomUp(const uint8_t* src, int stride, int width, int height, uint8_t* out);

}  // namespace zavreo
