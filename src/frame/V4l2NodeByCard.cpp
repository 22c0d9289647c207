#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>

#include "VirtualCamera.h"

namespace zavreo {

std::string FindV4l2NodeByCard(const std::string& card) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/video4linux", error)) {
        const std::string node = "/dev/" + entry.path().filename().string();
        const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        v4l2_capability caps{};
        const bool match = ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 &&
                           card == reinterpret_cast<const char*>(caps.card);
        close(fd);
        if (match) {
            return node;
        }
    }
    return "";
}

}  // namespace zavreo
