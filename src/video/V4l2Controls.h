#pragma once
// The adjustable controls of a V4L2 camera (brightness, contrast, white balance, exposure...).
// Opens the node on its own, which V4L2 allows while another handle streams.
//
// Threads: interface thread only.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zavreo {

struct CameraControl {
    uint32_t id = 0;
    std::string name;
    bool boolean = false;  // a check box; otherwise a slider, or a list with `choices`
    std::vector<std::pair<int, std::string>> choices;  // a menu's values and their names
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    int value = 0;
};

class V4l2Controls {
public:
    explicit V4l2Controls(const std::string& devicePath);
    ~V4l2Controls();
    V4l2Controls(const V4l2Controls&) = delete;
    V4l2Controls& operator=(const V4l2Controls&) = delete;

    // Integer, boolean and menu controls the device offers and does not disable (the menus hold
    // the automatic modes, without which manual exposure cannot be set); empty without a device.
    std::vector<CameraControl> List() const;
    bool Set(uint32_t id, int value);

private:
    int fd_ = -1;
};

}  // namespace zavreo
