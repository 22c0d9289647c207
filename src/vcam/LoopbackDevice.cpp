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

// Asks for frames of `width` x `height` in `fourcc`; the format the device then reports (one it
// insists on is kept if this program writes it), or 0 when it is not that size or not writable.
uint32_t SetFormat(int fd, int width, int height, uint32_t fourcc) {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    format.fmt.pix.width = static_cast<uint32_t>(width);
    format.fmt.pix.height = static_cast<uint32_t>(height);
    format.fmt.pix.pixelformat = fourcc;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    format.fmt.pix.bytesperline =
        static_cast<uint32_t>(ConvertedFrameBytes(fourcc, width, height) / height);
    format.fmt.pix.sizeimage = static_cast<uint32_t>(ConvertedFrameBytes(fourcc, width, height));
    format.fmt.pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
    ioctl(fd, VIDIOC_S_FMT, &format);
    if (ioctl(fd, VIDIOC_G_FMT, &format) != 0 ||
        format.fmt.pix.width != static_cast<uint32_t>(width) ||
        format.fmt.pix.height != static_cast<uint32_t>(height) ||
        !SupportedPixelFormat(format.fmt.pix.pixelformat)) {
        return 0;
    }
    return format.fmt.pix.pixelformat;
}

}  // namespace

LoopbackDevice::~LoopbackDevice() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool LoopbackDevice::Open(const std::string& label, const std::string& path, std::string* error,
                          int width, int height) {
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
        const uint32_t fourcc = SetFormat(fd, width, height, V4L2_PIX_FMT_YUYV);
        if (fourcc == 0) {
            *error = candidate + " does not take " + std::to_string(width) + " x " +
                     std::to_string(height) + " frames in a format this program writes";
            close(fd);
            return false;
        }
        fd_ = fd;
        fourcc_ = fourcc;
        width_ = width;
        height_ = height;
        path_ = candidate;
        return true;
    }
    *error = path.empty() ? "no virtual camera device labelled \"" + label + "\" was found"
                          : path + " is not a video output device";
    return false;
}

bool LoopbackDevice::SetSize(int width, int height) {
    // The pixel format stays: the pump converts to the one it was opened with.
    if (SetFormat(fd_, width, height, fourcc_) != fourcc_) {
        SetFormat(fd_, width_, height_, fourcc_);
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
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
