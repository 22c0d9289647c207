#include "CSampleGrabberCB.h"

#include <cstring>

#include "TickCount.h"

namespace zavreo {
namespace {

struct KindEntry {
    const char* type;
    const char* instance;
    bool recreateOnModify;
    bool addWithoutParams;
};

constexpr KindEntry kKinds[] = {
    {"TextFilter", "TestText", false, false},
    {"BrightFilter", "TestBright", false, false},
    {"ScaleFilter", "TestScale", false, false},
    {"OverlayFilter", "TestOverlay", true, false},
    {"MirrorFilter", "TestMirror", false, false},
    {"WhiterFilter", "TestWhiter", true, true},
    {"DomainTransformFilter", "TestDomainTransform", false, false},
    {"SunFilter", "TestSun", false, false},
    {"MovieFilter", "Movie", true, true},
    {"SweetFilter", "Sweet", true, true},
};

void DescribeFrame(EM::EffectImage& image, uint8_t* pixels, int width, int height) {
    image.pixels = pixels;
    image.width = width;
    image.height = height;
    image.stride = width * 3;
}

}  // namespace

CSampleGrabberCB::CSampleGrabberCB(SharedFrame& output, EM::EffectManager& engine)
    : output_(output), engine_(engine), scaled_(kFrameBytes), lastFrame_(kFrameBytes) {
    output_.WritePlaceholderFrame();
}

CSampleGrabberCB& CSampleGrabberCB::Instance() {
    static SharedFrame frame;
    static CSampleGrabberCB callback(frame, EM::EffectManager::Instance());
    return callback;
}

void CSampleGrabberCB::Process(EM::EffectImage& image) {
    image.format = 0;
    image.timeMs = TickCount();
    image.hints[0] = 0;
    image.hints[1] = 1;
    image.hints[2] = 0;
    image.flags = 0;
    engine_.DoFilter(&image);
    std::memcpy(lastFrame_.data(), image.pixels, kFrameBytes);
    hasLastFrame_ = true;
}

long CSampleGrabberCB::BufferCB(double, uint8_t* buffer, long length) {
    const int width = cameraWidth_.load();
    const int height = cameraHeight_.load();
    if (buffer == nullptr || length <= 0) {
        return 0;
    }
    const uint8_t* processed = nullptr;
    if (static_cast<size_t>(length) == kFrameBytes && width == kFrameWidth) {
        std::lock_guard lock(pipelineMutex_);
        DescribeFrame(outputImage_, buffer, kFrameWidth, kFrameHeight);
        Process(outputImage_);
        processed = buffer;
    } else if (static_cast<long long>(length) == static_cast<long long>(width) * height * 3) {
        std::lock_guard lock(pipelineMutex_);
        DescribeFrame(cameraImage_, buffer, width, height);
        DescribeFrame(outputImage_, scaled_.data(), kFrameWidth, kFrameHeight);
        EM::Helper::Resize(&cameraImage_, &outputImage_);
        Process(outputImage_);
        processed = scaled_.data();
    } else {
        return 0;
    }
    output_.Write(processed);
    return 0;
}

int CSampleGrabberCB::ConfigureEffect(int operation, int kind,
                                      std::map<std::string, std::string> params) {
    if (kind < 0 || kind > 9 || operation < 0 || operation > 2) {
        return 0;
    }
    const KindEntry& entry = kKinds[kind];
    if (kind == kEffectMirror) {
        std::map<std::string, std::string> keys;
        for (const char* key : {"dside", "hflip", "vflip"}) {
            auto it = params.find(key);
            keys[key] = it == params.end() ? std::string() : it->second;
        }
        params = std::move(keys);
    }
    // A new instance is built before the lock: its first font lookup must not hold up frames.
    std::unique_ptr<EM::IFilter> built;
    if (operation == kEffectAdd || (operation == kEffectModify && entry.recreateOnModify)) {
        built = EM::EffectManager::MakeFilter(
            entry.type, entry.addWithoutParams ? std::map<std::string, std::string>() : params);
    }
    // Destroyed after the lock is released, like `built` when its name is already taken.
    std::unique_ptr<EM::IFilter> retired;
    std::lock_guard lock(pipelineMutex_);
    switch (operation) {
        case kEffectAdd:
            engine_.AddInstance(entry.instance, entry.type, std::move(built));
            break;
        case kEffectModify:
            if (entry.recreateOnModify) {
                retired = engine_.TakeFilter(entry.instance);
                engine_.AddInstance(entry.instance, entry.type, std::move(built));
            } else if (EM::IFilter* filter = engine_.Ref(entry.instance)) {
                filter->SetParam(params);
            }
            break;
        case kEffectRemove:
            retired = engine_.TakeFilter(entry.instance);
            break;
    }
    return 0;
}

int CSampleGrabberCB::ConfigureOverlay(int operation, const std::string& name,
                                       std::map<std::string, std::string> params) {
    // The pictures are decoded before the lock (about 175 ms for 53 frames), so the frames keep
    // flowing while a decoration is chosen; the lock is held only to swap instances.
    std::unique_ptr<EM::IFilter> built;
    if (operation == kEffectAdd || operation == kEffectModify) {
        built = EM::EffectManager::MakeFilter("OverlayFilter", params);
    }
    std::unique_ptr<EM::IFilter> retired;
    std::lock_guard lock(pipelineMutex_);
    switch (operation) {
        case kEffectAdd:
            engine_.AddInstance(name, "OverlayFilter", std::move(built));
            break;
        case kEffectModify:
            retired = engine_.TakeFilter(name);
            engine_.AddInstance(name, "OverlayFilter", std::move(built));
            break;
        case kEffectRemove:
            retired = engine_.TakeFilter(name);
            break;
        default:
            break;
    }
    return 0;
}

void CSampleGrabberCB::SetCameraSize(int width, int height) {
    cameraWidth_.store(width);
    cameraHeight_.store(height);
}

bool CSampleGrabberCB::CopyLastFrame(uint8_t* out) {
    std::lock_guard lock(pipelineMutex_);
    if (!hasLastFrame_) {
        return false;
    }
    std::memcpy(out, lastFrame_.data(), kFrameBytes);
    return true;
}

void CSampleGrabberCB::ForgetLastFrame() {
    std::lock_guard lock(pipelineMutex_);
    hasLastFrame_ = false;
}

}  // namespace zavreo
