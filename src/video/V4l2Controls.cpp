#include "V4l2Controls.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zavreo {

V4l2Controls::V4l2Controls(const std::string& devicePath) {
    if (!devicePath.empty()) {
        fd_ = open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
}

V4l2Controls::~V4l2Controls() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

std::vector<CameraControl> V4l2Controls::List() const {
    std::vector<CameraControl> controls;
    if (fd_ < 0) {
        return controls;
    }
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (ioctl(fd_, VIDIOC_QUERYCTRL, &query) == 0) {
        const bool menu =
            query.type == V4L2_CTRL_TYPE_MENU || query.type == V4L2_CTRL_TYPE_INTEGER_MENU;
        const bool usable =
            !(query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY)) &&
            (query.type == V4L2_CTRL_TYPE_INTEGER || query.type == V4L2_CTRL_TYPE_BOOLEAN || menu);
        std::vector<std::pair<int, std::string>> choices;
        for (int index = query.minimum; menu && index <= query.maximum; ++index) {
            v4l2_querymenu item{};
            item.id = query.id;
            item.index = static_cast<uint32_t>(index);
            if (ioctl(fd_, VIDIOC_QUERYMENU, &item) == 0) {
                choices.emplace_back(index, query.type == V4L2_CTRL_TYPE_MENU
                                                ? reinterpret_cast<const char*>(item.name)
                                                : std::to_string(item.value));
            }
        }
        if (usable && (!menu || !choices.empty())) {
            CameraControl control;
            control.id = query.id;
            control.name = reinterpret_cast<const char*>(query.name);
            control.boolean = query.type == V4L2_CTRL_TYPE_BOOLEAN;
            control.choices = std::move(choices);
            control.minimum = query.minimum;
            control.maximum = query.maximum;
            control.step = query.step > 0 ? query.step : 1;
            control.defaultValue = query.default_value;
            v4l2_control current{};
            current.id = query.id;
            control.value =
                ioctl(fd_, VIDIOC_G_CTRL, &current) == 0 ? current.value : query.default_value;
            controls.push_back(control);
        }
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return controls;
}

bool V4l2Controls::Set(uint32_t id, int value) {
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return fd_ >= 0 && ioctl(fd_, VIDIOC_S_CTRL, &control) == 0;
}

}  // namespace zavreo
