#pragma once
// Receives every camera frame, brings it to the chain's size, runs the effect chain over it under
// the pipeline mutex and publishes it: in the shared frame (640 x 480), and for a large camera
// size also in the large frame the virtual camera serves. Also the only way to change the chain.
//
// The chain runs at 640 x 480 unless the camera size is 16:9 and at least 1280 x 720: then it
// runs at 1280 x 720, the large frame gets every processed frame and the shared frame the same
// picture stretched to 640 x 480, at most 15 times a second as it always was (and photos the
// last of those).
//
// Threads: BufferCB runs on the capture pipeline's streaming thread; ConfigureEffect,
// ConfigureOverlay, SetCameraSize and CopyLastFrame on the interface thread, ForgetLastFrame and
// PrepareChain on the camera open thread. The pipeline mutex guards the engine, the output
// images, the chain's size and its buffers, and the last-frame copy. New filter instances are
// built (and prepared for the chain's size) before it is taken and retired ones destroyed after
// it is released.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "EffectManager.h"
#include "SharedFrame.h"

namespace zavreo {

enum EffectOperation { kEffectAdd = 0, kEffectModify = 1, kEffectRemove = 2 };

enum EffectKind {
    kEffectText = 0,
    kEffectBright = 1,
    kEffectScale = 2,
    kEffectOverlay = 3,
    kEffectMirror = 4,
    kEffectWhiter = 5,
    kEffectDomainTransform = 6,
    kEffectSun = 7,
    kEffectMovie = 8,
    kEffectSweet = 9,
};

// The size the effect chain runs at for frames of a camera size.
struct ChainSize {
    int width = kFrameWidth;
    int height = kFrameHeight;
    bool Large() const { return width != kFrameWidth || height != kFrameHeight; }
};
inline constexpr int kLargeWidth = 1280;
inline constexpr int kLargeHeight = 720;
// Frames a second of a large camera size, where the camera delivers them.
inline constexpr int kLargeFramesPerSecond = 30;
ChainSize ChainSizeFor(int cameraWidth, int cameraHeight);

class CSampleGrabberCB {
public:
    CSampleGrabberCB(SharedFrame& output, EM::EffectManager& engine);

    // The program's one callback object, writing "/MYSHARE" through the engine's one instance.
    // Created on first use, after the single-instance check.
    static CSampleGrabberCB& Instance();

    // One camera frame of `length` bytes, BGR, bottom row first; a frame of the chain's size is
    // processed in place. Always returns 0.
    long BufferCB(double sampleTime, uint8_t* buffer, long length);

    int ConfigureEffect(int operation, int kind, std::map<std::string, std::string> params);
    int ConfigureOverlay(int operation, const std::string& name,
                         std::map<std::string, std::string> params);

    // The size the camera was asked for; frames of this size are scaled to the chain's size
    // (ChainSizeFor), and the large frame is opened or removed to match. Called while no camera
    // delivers.
    void SetCameraSize(int width, int height);
    ChainSize Chain() const;
    // Readies every filter for the chain's size (artwork scaled, buffers sized), so that the
    // first frames cost no more than the others.
    void PrepareChain();

    // Copies the last processed frame (bottom-up, at the chain's size) into `out` and gives its
    // size; false before the first frame.
    bool CopyLastFrame(std::vector<uint8_t>* out, int* width, int* height);
    // From now on CopyLastFrame waits for a new frame: a photo never shows an earlier open.
    void ForgetLastFrame();

    SharedFrame& Output() { return output_; }

private:
    // Runs the chain over `image`, keeping a copy for photos when `keep` says so.
    void Process(EM::EffectImage& image, uint32_t timeMs, bool keep);
    // Readies a filter built for the chain before it joins it.
    void PrepareBuilt(EM::IFilter* filter) const;

    SharedFrame& output_;
    EM::EffectManager& engine_;
    mutable std::mutex pipelineMutex_;
    EM::EffectImage outputImage_;
    EM::EffectImage cameraImage_;
    ChainSize chain_;
    std::vector<uint8_t> scaled_;  // a camera frame brought to the chain's size
    std::vector<uint8_t> lastFrame_;
    bool hasLastFrame_ = false;
    std::atomic<int> cameraWidth_{kFrameWidth};
    std::atomic<int> cameraHeight_{kFrameHeight};
    bool smallWritten_ = false;  // when the shared frame last got a large frame's picture
    uint32_t smallWrittenMs_ = 0;
    std::vector<uint8_t> small_;  // streaming thread only: that picture stretched
};

}  // namespace zavreo
