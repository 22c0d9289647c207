#include "LoopbackDevice.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "FrameConvert.h"
#include "SharedFrame.h"

namespace zavreo {
namespace {

bool IsOutputNode(int fd, const std::string& label) {
    v4l2_capability caps{};
    if (ioctl(fd, VIDIOC_QUERYCAP, &caps) != 0) {
        return false;
    }
    const uint32_t flags =
        (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    return (flags & V4L2_CAP_VIDEO_OUTPUT) &&
           (label.empty() || label == reinterpret_cast<const char*>(caps.card));
}

}  // namespace

LoopbackDevice::~LoopbackDevice() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool LoopbackDevice::Open(const std::string& label, const std::string& path, std::string* error) {
    std::vector<std::string> candidates;
    if (!path.empty()) {
        candidates.push_back(path);
    } else {
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::directory_iterator("/sys/class/video4linux", ignored)) {
            candidates.push_back("/dev/" + entry.path().filename().string());
        }
    }
    for (const auto& candidate : candidates) {
        const int fd = open(candidate.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (!IsOutputNode(fd, path.empty() ? label : "")) {
            close(fd);
            continue;
        }
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
        format.fmt.pix.width = kFrameWidth;
        format.fmt.pix.height = kFrameHeight;
        format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
        format.fmt.pix.field = V4L2_FIELD_NONE;
        format.fmt.pix.bytesperline = kFrameWidth * 2;
        format.fmt.pix.sizeimage = ConvertedFrameBytes(V4L2_PIX_FMT_YUYV);
        format.fmt.pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
        ioctl(fd, VIDIOC_S_FMT, &format);
        if (ioctl(fd, VIDIOC_G_FMT, &format) != 0 || format.fmt.pix.width != kFrameWidth ||
            format.fmt.pix.height != kFrameHeight ||
            !SupportedPixelFormat(format.fmt.pix.pixelformat)) {
            *error = candidate + " does not take 640 x 480 frames in a format this program writes";
            close(fd);
            return false;
        }
        fd_ = fd;
        fourcc_ = format.fmt.pix.pixelformat;
        path_ = candidate;
        return true;
    }
    *error = path.empty() ? "no virtual camera device labelled \"" + label + "\" was found"
                          : path + " is not a video output device";
    return false;
}

bool LoopbackDevice::Write(const uint8_t* data, size_t bytes) {
    while (bytes > 0) {
        const ssize_t written = write(fd_, data, bytes);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        bytes -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace zavreo
