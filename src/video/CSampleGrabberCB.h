#pragma once
// Receives every camera frame, brings it to 640 x 480, runs the effect chain over it under the
// pipeline mutex and publishes it in the shared frame. Also the only way to change the chain.
//
// Threads: BufferCB runs on the capture pipeline's streaming thread; ConfigureEffect,
// ConfigureOverlay, SetCameraSize and CopyLastFrame on the interface thread, ForgetLastFrame on
// the camera open thread. The pipeline mutex guards the engine, the output images and the
// last-frame copy. New filter instances are built before it is taken and retired ones destroyed
// after it is released.

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

class CSampleGrabberCB {
public:
    CSampleGrabberCB(SharedFrame& output, EM::EffectManager& engine);

    // The program's one callback object, writing "/MYSHARE" through the engine's one instance.
    // Created on first use, after the single-instance check.
    static CSampleGrabberCB& Instance();

    // One camera frame of `length` bytes, BGR, bottom row first. Always returns 0.
    long BufferCB(double sampleTime, uint8_t* buffer, long length);

    int ConfigureEffect(int operation, int kind, std::map<std::string, std::string> params);
    int ConfigureOverlay(int operation, const std::string& name,
                         std::map<std::string, std::string> params);

    // The size the camera was asked for; frames of this size are scaled to 640 x 480.
    void SetCameraSize(int width, int height);

    // Copies the last processed frame (bottom-up, kFrameBytes) into `out`; false before the
    // first frame.
    bool CopyLastFrame(uint8_t* out);
    // From now on CopyLastFrame waits for a new frame: a photo never shows an earlier open.
    void ForgetLastFrame();

    SharedFrame& Output() { return output_; }

private:
    void Process(EM::EffectImage& image);

    SharedFrame& output_;
    EM::EffectManager& engine_;
    std::mutex pipelineMutex_;
    EM::EffectImage outputImage_;
    EM::EffectImage cameraImage_;
    std::vector<uint8_t> scaled_;
    std::vector<uint8_t> lastFrame_;
    bool hasLastFrame_ = false;
    std::atomic<int> cameraWidth_{kFrameWidth};
    std::atomic<int> cameraHeight_{kFrameHeight};
};

}  // namespace zavreo
