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

// The shared frame keeps its 15 frames a second when the camera delivers 30: of frames a
// thirtieth of a second apart every other one is written.
constexpr uint32_t kSmallFrameGapMs = 50;

void DescribeFrame(EM::EffectImage& image, uint8_t* pixels, int width, int height) {
    image.pixels = pixels;
    image.width = width;
    image.height = height;
    image.stride = width * 3;
}

size_t FrameBytes(int width, int height) {
    return static_cast<size_t>(width) * height * 3;
}

}  // namespace

ChainSize ChainSizeFor(int cameraWidth, int cameraHeight) {
    const bool sixteenByNine =
        static_cast<long long>(cameraWidth) * 9 == static_cast<long long>(cameraHeight) * 16;
    if (sixteenByNine && cameraWidth >= kLargeWidth && cameraHeight >= kLargeHeight) {
        return {kLargeWidth, kLargeHeight};
    }
    return {};
}

CSampleGrabberCB::CSampleGrabberCB(SharedFrame& output, EM::EffectManager& engine)
    : output_(output),
      engine_(engine),
      scaled_(kFrameBytes),
      lastFrame_(kFrameBytes),
      small_(kFrameBytes) {
    // A large frame left by an earlier run would be served instead of this run's pictures.
    output_.Large().Close();
    output_.WritePlaceholderFrame();
}

CSampleGrabberCB& CSampleGrabberCB::Instance() {
    static SharedFrame frame;
    static CSampleGrabberCB callback(frame, EM::EffectManager::Instance());
    return callback;
}

void CSampleGrabberCB::Process(EM::EffectImage& image, uint32_t timeMs, bool keep) {
    image.format = 0;
    image.timeMs = timeMs;
    image.hints[0] = 0;
    image.hints[1] = 1;
    image.hints[2] = 0;
    image.flags = 0;
    engine_.DoFilter(&image);
    if (keep) {
        std::memcpy(lastFrame_.data(), image.pixels, image.Bytes());
        hasLastFrame_ = true;
    }
}

long CSampleGrabberCB::BufferCB(double, uint8_t* buffer, long length) {
    const int width = cameraWidth_.load();
    const int height = cameraHeight_.load();
    if (buffer == nullptr || length <= 0) {
        return 0;
    }
    const uint8_t* processed = nullptr;
    ChainSize chain;
    bool smallDue = true;
    {
        std::lock_guard lock(pipelineMutex_);
        chain = chain_;
        if (static_cast<size_t>(length) == FrameBytes(chain.width, chain.height) &&
            width == chain.width) {
            DescribeFrame(outputImage_, buffer, chain.width, chain.height);
            processed = buffer;
        } else if (static_cast<size_t>(length) == FrameBytes(width, height)) {
            DescribeFrame(cameraImage_, buffer, width, height);
            DescribeFrame(outputImage_, scaled_.data(), chain.width, chain.height);
            EM::Helper::Resize(&cameraImage_, &outputImage_);
            processed = scaled_.data();
        } else {
            return 0;
        }
        // Beside a large camera frame, the shared frame's picture (and the copy a photo takes)
        // at most 15 times a second.
        const uint32_t now = TickCount();
        if (chain.Large()) {
            smallDue = !smallWritten_ || now - smallWrittenMs_ >= kSmallFrameGapMs;
            if (smallDue) {
                smallWritten_ = true;
                smallWrittenMs_ = now;
            }
        }
        Process(outputImage_, now, smallDue);
    }
    if (!chain.Large()) {
        output_.WriteAlone(processed);
        return 0;
    }
    output_.Large().Write(processed);
    if (smallDue) {
        EM::EffectImage large;
        DescribeFrame(large, const_cast<uint8_t*>(processed), chain.width, chain.height);
        EM::EffectImage small;
        DescribeFrame(small, small_.data(), kFrameWidth, kFrameHeight);
        EM::Helper::Resize(&large, &small);
        output_.WriteAlone(small_.data());
    }
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
        PrepareBuilt(built.get());
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
        PrepareBuilt(built.get());
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

void CSampleGrabberCB::PrepareBuilt(EM::IFilter* filter) const {
    if (filter != nullptr) {
        const ChainSize chain = Chain();
        filter->Prepare(chain.width, chain.height);
    }
}

void CSampleGrabberCB::SetCameraSize(int width, int height) {
    cameraWidth_.store(width);
    cameraHeight_.store(height);
    const ChainSize chain = ChainSizeFor(width, height);
    {
        std::lock_guard lock(pipelineMutex_);
        if (chain.width != chain_.width || chain.height != chain_.height) {
            chain_ = chain;
            const size_t bytes = FrameBytes(chain.width, chain.height);
            scaled_.assign(bytes, 0);
            lastFrame_.assign(bytes, 0);
            hasLastFrame_ = false;
        }
    }
    LargeFrame& large = output_.Large();
    if (!chain.Large()) {
        large.Close();
    } else if (!large.IsOpen() && large.Open(chain.width, chain.height, kLargeFramesPerSecond)) {
        // Until the camera delivers, the virtual camera shows what the shared frame shows.
        std::vector<uint8_t> current(kFrameBytes);
        if (SharedFrameReader(output_).CopyFrame(current.data())) {
            large.WriteScaled(current.data(), kFrameWidth, kFrameHeight);
        }
    }
}

ChainSize CSampleGrabberCB::Chain() const {
    std::lock_guard lock(pipelineMutex_);
    return chain_;
}

void CSampleGrabberCB::PrepareChain() {
    std::lock_guard lock(pipelineMutex_);
    engine_.Prepare(chain_.width, chain_.height);
}

bool CSampleGrabberCB::CopyLastFrame(std::vector<uint8_t>* out, int* width, int* height) {
    std::lock_guard lock(pipelineMutex_);
    if (!hasLastFrame_) {
        return false;
    }
    out->assign(lastFrame_.begin(), lastFrame_.end());
    *width = chain_.width;
    *height = chain_.height;
    return true;
}

void CSampleGrabberCB::ForgetLastFrame() {
    std::lock_guard lock(pipelineMutex_);
    hasLastFrame_ = false;
}

}  // namespace zavreo
