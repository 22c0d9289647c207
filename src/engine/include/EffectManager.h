#pragma once
// Public interface of the effect engine: a chain of named filter instances run over BGR frames
// in place. The engine itself does no locking; callers serialise every call that touches the chain
// (the video pipeline holds its pipeline mutex around them).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#define EM_API __attribute__((visibility("default")))

namespace EM {

using ParamMap = std::map<std::string, std::string>;

// The frame size the filters' measures and artwork are designed for (font sizes, decoration
// pictures, blur radii). At any other size they scale with the picture: widths with its width,
// heights and lengths that must keep their shape with its height.
constexpr int kDesignWidth = 640;
constexpr int kDesignHeight = 480;

// An image record: 3 bytes a pixel in the order blue, green, red, rows `stride` bytes apart.
// Frames from the camera are stored bottom row first; decoded files are top row first.
struct EM_API EffectImage {
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    int32_t format = 0;  // always 0: packed BGR
    int32_t reserved0 = 0;
    uint32_t timeMs = 0;  // arrival time, monotonic milliseconds; animations follow it
    int32_t hints[3] = {0, 1, 0};
    int32_t flags = 0;
    int32_t reserved1 = 0;

    uint8_t* Row(int y) const { return pixels + static_cast<ptrdiff_t>(y) * stride; }
    size_t Bytes() const { return static_cast<size_t>(stride) * static_cast<size_t>(height); }
};

class EM_API IFilter {
public:
    virtual ~IFilter() = default;
    // Changes the listed keys only; keys not in `params` keep their value.
    virtual bool SetParam(const ParamMap& params) = 0;
    // Current value of every key set so far.
    virtual const ParamMap& Params() const = 0;
    // Processes one frame in place. Must not allocate once the filter has seen its first frame
    // of a size; a frame of a size it was not prepared for prepares it first.
    virtual void Process(EffectImage& image) = 0;
    // Gets ready for frames of `width` x `height` (artwork scaled, buffers sized), so that the
    // first such frame costs no more than the others. Cheap when nothing changes.
    virtual void Prepare(int width, int height) {
        (void)width;
        (void)height;
    }
};

struct EM_API FilterInfo {
    std::string name;
    std::string type;
    ParamMap params;
};

class EM_API EffectManager {
public:
    EffectManager();
    ~EffectManager();
    EffectManager(const EffectManager&) = delete;
    EffectManager& operator=(const EffectManager&) = delete;

    static EffectManager& Instance();

    // Appends a filter of `type` under `name`. False when the name is taken or the type unknown.
    bool AddFilter(const std::string& name, const std::string& type, const ParamMap& params);
    bool DelFilter(const std::string& name);

    // The costly part of adding (decoding pictures, opening fonts) without touching any chain, so
    // that callers can do it before taking the lock that serialises the chain: a new instance of
    // `type` with `params` set, or nullptr for an unknown type.
    static std::unique_ptr<IFilter> MakeFilter(const std::string& type, const ParamMap& params);
    // Appends an instance MakeFilter built for `type`. `filter` is moved from only when this
    // returns true; false when the name is taken or `filter` is null.
    bool AddInstance(const std::string& name, const std::string& type,
                     std::unique_ptr<IFilter>&& filter);
    // Removes the instance and hands it over, so that it can be destroyed outside the lock;
    // nullptr when there is none.
    std::unique_ptr<IFilter> TakeFilter(const std::string& name);
    // The live instance, or nullptr.
    IFilter* Ref(const std::string& name);
    // Prepares every instance for frames of this size (IFilter::Prepare); instances added later
    // are prepared by whoever makes them, or by their first frame.
    void Prepare(int width, int height);
    // Runs the chain over the image in place: the picture's own corrections first, then the
    // decorations, then the subtitle, whatever the order of adding; filters of one kind run in
    // the order they were added, plain tone curves (whitening, 甜美可人) ahead of the others.
    bool DoFilter(EffectImage* image);

    // Instances in the order they were added, with their current parameters (diagnostics and
    // tests).
    std::vector<FilterInfo> List() const;
    // Every type name AddFilter accepts.
    static std::vector<std::string> FilterTypes();

private:
    struct ChainEntry;
    std::vector<ChainEntry> chain_;
};

namespace Helper {
// Decodes a JPEG, PNG or BMP file into a new top-down image; nullptr when the file is missing or
// not a readable image. Free with FreeImage.
EM_API EffectImage* ReadImage(const std::string& path);
// Writes JPEG (".jpg", ".jpeg") or PNG (".png"), chosen by extension; rows are taken top-down.
EM_API bool Save(const EffectImage* image, const std::string& path);
// Scales `src` to exactly the size of `dst` (bilinear, aspect ratio not kept).
EM_API bool Resize(const EffectImage* src, EffectImage* dst);
// Scales `src` into `dst` keeping its aspect ratio, centred, the rest black.
EM_API bool ResizeKeepRatio(const EffectImage* src, EffectImage* dst);
// Reverses the row order in place (bottom-up <-> top-down).
EM_API bool Hflip(EffectImage* image);
// Allocates an owned image of the given size, all black; free with FreeImage.
EM_API EffectImage* NewImage(int width, int height);
EM_API void FreeImage(EffectImage* image);
}  // namespace Helper

}  // namespace EM
