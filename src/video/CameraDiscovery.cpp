#include "CameraDiscovery.h"

#include <fcntl.h>
#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "GstSupport.h"

namespace zavreo {
namespace {

bool StartsWith(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && text.compare(0, head.size(), head) == 0;
}

bool Matches(const std::string& found, const std::string& device, bool prefix) {
    if (found == device) {
        return true;
    }
    if (!prefix) {
        return false;
    }
    return found.size() < device.size() ? StartsWith(device, found) : StartsWith(found, device);
}

std::string StringProperty(const GstStructure* props, const char* key) {
    const char* value = props != nullptr ? gst_structure_get_string(props, key) : nullptr;
    return value != nullptr ? value : "";
}

// Hands each device of class `classes` that the provider `providerName` finds to `visit`, in
// its order; false when the provider is missing or cannot start. The provider is started for the
// walk as a device monitor would, but alone: a monitor also starts PipeWire's provider, which
// corrupts the heap on stopping (and would list this program's own camera node). A provider that
// only probes, unstarted, leaks its connection when no sound server answers. GStreamer keeps the
// provider for the rest of the process and hands it out again on the next walk; it holds a bus
// whose poll is a socket pair, so the first walk leaves two sockets open and later walks none.
template <typename Visit>
bool WalkDevices(const char* providerName, const char* classes, Visit visit) {
    if (!EnsureGstInitialised()) {
        return false;
    }
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name(providerName);
    if (provider == nullptr) {
        return false;
    }
    if (!gst_device_provider_start(provider)) {
        gst_object_unref(provider);
        return false;
    }
    GList* devices = gst_device_provider_get_devices(provider);
    for (GList* item = devices; item != nullptr; item = item->next) {
        if (gst_device_has_classes(GST_DEVICE(item->data), classes)) {
            visit(GST_DEVICE(item->data));
        }
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_provider_stop(provider);
    gst_object_unref(provider);
    return true;
}

}  // namespace

bool TestCameraEnabled() {
    return std::getenv("ZAVREO_TEST_CAMERA") != nullptr;
}

bool MjpgTestCameraEnabled() {
    return std::getenv("ZAVREO_TEST_CAMERA_MJPG") != nullptr;
}

int TestCameraFrameLimit() {
    const char* value = std::getenv("ZAVREO_TEST_CAMERA_FRAMES");
    char* end = nullptr;
    const long frames = value != nullptr ? std::strtol(value, &end, 10) : 0;
    return frames > 0 && *end == '\0' && frames < 1000000 ? static_cast<int>(frames) : -1;
}

bool IsHardwareNode(const VideoDeviceRecord& record) {
    if (record.devicePath.empty() || StartsWith(record.busInfo, "platform:v4l2loopback")) {
        return false;
    }
    if (!record.bus.empty()) {
        return true;
    }
    if (!record.sysfsPath.empty()) {
        return record.sysfsPath.find("/devices/virtual/") == std::string::npos;
    }
    return record.sysfsParent;
}

std::vector<std::string> PresentDeviceNames(const std::vector<VideoDeviceRecord>& records) {
    std::vector<std::string> names;
    for (const auto& record : records) {
        if (!IsHardwareNode(record)) {
            continue;
        }
        const std::string& card = record.card.empty() ? record.displayName : record.card;
        names.push_back(card);
        if (!record.productName.empty() && record.productName != card) {
            names.push_back(record.productName);
        }
    }
    return names;
}

std::vector<std::string> MatchPnpNames(const std::vector<std::string>& found,
                                       const std::vector<std::string>& devices, bool prefix) {
    std::vector<std::string> listed;
    for (const auto& device : devices) {
        for (const auto& name : found) {
            if (listed.size() >= static_cast<size_t>(kMaxCameras)) {
                return listed;
            }
            if (!Matches(name, device, prefix)) {
                continue;
            }
            const bool already = std::any_of(listed.begin(), listed.end(), [&](const auto& l) {
                return Matches(name, l, prefix);
            });
            if (!already) {
                listed.push_back(name);
            }
        }
    }
    return listed;
}

std::vector<std::string> MatchCameraNames(const std::vector<std::string>& found,
                                          const std::vector<std::string>& devices) {
    std::vector<std::string> listed = MatchPnpNames(found, devices, false);
    if (listed.empty()) {
        listed = MatchPnpNames(found, devices, true);
    }
    return listed;
}

bool ListVideoDevices(std::vector<VideoDeviceRecord>* records) {
    return WalkDevices("v4l2deviceprovider", "Video/Source", [&](GstDevice* device) {
        VideoDeviceRecord record;
        gchar* name = gst_device_get_display_name(device);
        record.displayName = name != nullptr ? name : "";
        g_free(name);
        GstStructure* props = gst_device_get_properties(device);
        record.devicePath = StringProperty(props, "device.path");
        record.card = StringProperty(props, "v4l2.device.card");
        record.busInfo = StringProperty(props, "v4l2.device.bus_info");
        record.bus = StringProperty(props, "device.bus");
        record.sysfsPath = StringProperty(props, "sysfs.path");
        record.productName = StringProperty(props, "device.product.name");
        if (props != nullptr) {
            gst_structure_free(props);
        }
        if (GstCaps* caps = gst_device_get_caps(device)) {
            gchar* text = gst_caps_to_string(caps);
            record.caps = text;
            g_free(text);
            gst_caps_unref(caps);
        }
        record.device.reset(GST_DEVICE(gst_object_ref(device)),
                            [](_GstDevice* d) { gst_object_unref(d); });
        if (!record.devicePath.empty()) {
            const std::string node = std::filesystem::path(record.devicePath).filename();
            std::error_code error;
            record.sysfsParent =
                std::filesystem::exists("/sys/class/video4linux/" + node + "/device", error);
        }
        records->push_back(std::move(record));
    });
}

int PickVideoDevice(const std::vector<VideoDeviceRecord>& records, const std::string& name) {
    int first = -1;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].displayName != name) {
            continue;
        }
        if (!records[i].devicePath.empty()) {
            return static_cast<int>(i);
        }
        if (first < 0) {
            first = static_cast<int>(i);
        }
    }
    return first;
}

int DiscoverCameras(std::vector<std::string>* listed) {
    listed->clear();
    std::vector<VideoDeviceRecord> records;
    const bool started = ListVideoDevices(&records);
    if (started) {
        std::vector<std::string> found;
        for (const auto& record : records) {
            if (found.size() < static_cast<size_t>(kMaxCameras)) {
                found.push_back(record.displayName);
            }
        }
        *listed = MatchCameraNames(found, PresentDeviceNames(records));
    }
    for (const auto& [enabled, name] : {std::pair{TestCameraEnabled(), kTestCameraName},
                                        std::pair{MjpgTestCameraEnabled(), kMjpgTestCameraName}}) {
        if (enabled && listed->size() < static_cast<size_t>(kMaxCameras)) {
            listed->push_back(name);
        }
    }
    if (!started && listed->empty()) {
        return -1;
    }
    return static_cast<int>(listed->size());
}

bool FirstAudioSourceName(std::string* name) {
    name->clear();
    std::string firstMonitor;
    const bool started = WalkDevices("pulsedeviceprovider", "Audio/Source", [&](GstDevice* device) {
        gchar* display = gst_device_get_display_name(device);
        const std::string text = display != nullptr ? display : "";
        g_free(display);
        if (text.empty() || !name->empty()) {
            return;
        }
        GstStructure* props = gst_device_get_properties(device);
        const bool monitor = StringProperty(props, "device.class") == "monitor";
        if (props != nullptr) {
            gst_structure_free(props);
        }
        if (!monitor) {
            *name = text;
        } else if (firstMonitor.empty()) {
            firstMonitor = text;
        }
    });
    // A monitor of an output only when there is no real input.
    if (name->empty()) {
        *name = firstMonitor;
    }
    return started;
}

}  // namespace zavreo
