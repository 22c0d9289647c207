#pragma once
// Which cameras the user is offered: the device monitor's video sources whose names match a V4L2
// capture node on a hardware bus, so software-only sources (the program's own virtual camera
// among them) never appear. Plain C++ over GStreamer's device monitor; interface thread only.

#include <memory>
#include <string>
#include <vector>

#include "VirtualCamera.h"

struct _GstDevice;

namespace zavreo {

constexpr int kMaxCameras = 20;

// Listed when ZAVREO_TEST_CAMERA is set: a moving test pattern for machines without a camera,
// offering RGB and YUY2 frames.
constexpr const char* kTestCameraName = "测试摄像头";
// Listed after it when ZAVREO_TEST_CAMERA_MJPG is set: a stand-in for a high-definition webcam,
// whose large sizes come at 30 frames a second only as Motion JPEG (encoded as it goes).
constexpr const char* kMjpgTestCameraName = "高清测试摄像头";
// ZAVREO_TEST_CAMERA_FRAMES=N makes the stand-ins vanish after N frames, like an unplugged
// camera; TestCameraFrameLimit() is then N, else -1 (no limit).
bool TestCameraEnabled();
bool MjpgTestCameraEnabled();
int TestCameraFrameLimit();

// What the device monitor reports about one video source.
struct VideoDeviceRecord {
    std::string displayName;
    std::string devicePath;    // "device.path", empty for non-V4L2 sources
    std::string card;          // "v4l2.device.card"
    std::string busInfo;       // "v4l2.device.bus_info"
    std::string bus;           // "device.bus" (udev)
    std::string sysfsPath;     // "sysfs.path" (udev)
    std::string productName;   // "device.product.name" (udev)
    bool sysfsParent = false;  // /sys/class/video4linux/<node>/device exists
    std::string caps;          // what the device offers, as GStreamer caps text
    std::shared_ptr<_GstDevice> device;
};

// True for a V4L2 node backed by hardware: loopback and other virtual nodes are not.
bool IsHardwareNode(const VideoDeviceRecord& record);

// Names of the present hardware devices: the card name, then the udev model name where it differs.
std::vector<std::string> PresentDeviceNames(const std::vector<VideoDeviceRecord>& records);

// Keeps the found names that match a present device: equal names, or with `prefix` one name
// beginning with the other. Order follows the devices, then the found names; no duplicates; at
// most kMaxCameras.
std::vector<std::string> MatchPnpNames(const std::vector<std::string>& found,
                                       const std::vector<std::string>& devices, bool prefix);

// The cameras to list: the exact matches, or the prefix matches only when nothing matched exactly.
std::vector<std::string> MatchCameraNames(const std::vector<std::string>& found,
                                          const std::vector<std::string>& devices);

// The video sources in monitor order, those of providers that hide others (a media server
// re-publishing the V4L2 nodes) included; false when the monitor cannot start.
bool ListVideoDevices(std::vector<VideoDeviceRecord>* records);

// The record to open for the camera `name`: its V4L2 node where one carries that name (direct
// capture, and its controls), else the first source of that name; -1 when none has it.
int PickVideoDevice(const std::vector<VideoDeviceRecord>& records, const std::string& name);

// The cameras to offer, the stand-ins last when enabled; -1 when the monitor cannot start (and no
// stand-in is enabled), else the listed count.
int DiscoverCameras(std::vector<std::string>* listed);

// The first audio capture device's display name (UTF-8): the first real input, or where there is
// none the first monitor of an output; empty when there is neither. False when the monitor cannot
// start.
bool FirstAudioSourceName(std::string* name);

}  // namespace zavreo
