#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "CameraDiscovery.h"
#include "PipeWireSession.h"
#include "PulseServer.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

using Names = std::vector<std::string>;

VideoDeviceRecord Node(const std::string& card, const std::string& bus = "usb") {
    VideoDeviceRecord record;
    record.displayName = card;
    record.card = card;
    record.devicePath = "/dev/video0";
    record.busInfo = "usb-0000:00:14.0-1";
    record.bus = bus;
    return record;
}

}  // namespace

TEST(MatchPnpNames, ExactNamesAreListedInDeviceOrderOnce) {
    const Names found = {"HD Webcam", "USB Camera", "USB Camera", "Other"};
    const Names devices = {"USB Camera", "HD Webcam", "USB Camera"};
    EXPECT_EQ(MatchPnpNames(found, devices, false), (Names{"USB Camera", "HD Webcam"}));
}

TEST(MatchPnpNames, PrefixesMatchEitherWayOnlyWhenAsked) {
    const Names found = {"Integrated Camera", "Cam"};
    const Names devices = {"Integrated Camera #2", "Camera"};
    EXPECT_TRUE(MatchPnpNames(found, devices, false).empty());
    // "Integrated Camera #2" extends a found name; "Camera" extends "Cam".
    EXPECT_EQ(MatchPnpNames(found, devices, true), (Names{"Integrated Camera", "Cam"}));
    // A found name already covered by a listed one is not listed again.
    EXPECT_EQ(MatchPnpNames({"USB", "USB Cam"}, {"USB Cam 2"}, true), (Names{"USB"}));
}

TEST(MatchPnpNames, NoDevicesOrNoFoundNamesListNothing) {
    EXPECT_TRUE(MatchPnpNames({"A"}, {}, true).empty());
    EXPECT_TRUE(MatchPnpNames({}, {"A"}, true).empty());
    EXPECT_TRUE(MatchPnpNames({""}, {"A"}, false).empty());
}

TEST(MatchPnpNames, AtMostTwentyNamesAreListed) {
    Names found, devices;
    for (int i = 0; i < 30; ++i) {
        found.push_back("Camera " + std::to_string(i));
        devices.push_back("Camera " + std::to_string(i));
    }
    const auto listed = MatchPnpNames(found, devices, false);
    ASSERT_EQ(listed.size(), 20u);
    EXPECT_EQ(listed.back(), "Camera 19");
}

TEST(MatchCameraNames, PrefixesCountOnlyWhenNoNameMatchesExactly) {
    // With an exact match the prefix pass would list "Cam" (it prefixes "Cam HD") first.
    EXPECT_EQ(MatchCameraNames({"Cam", "Cam HD"}, {"Cam HD"}), (Names{"Cam HD"}));
    EXPECT_EQ(MatchCameraNames({"Cam", "Webcam"}, {"Cam HD"}), (Names{"Cam"}));
    EXPECT_TRUE(MatchCameraNames({"Webcam"}, {"Cam HD"}).empty());
    // The limit holds in the prefix pass too, and duplicates of a found name are listed once.
    Names found, devices;
    for (int i = 10; i < 35; ++i) {
        found.push_back("Cam " + std::to_string(i));
        devices.push_back("Cam " + std::to_string(i) + " (usb)");
    }
    found.insert(found.begin(), "Cam 10");
    const auto listed = MatchCameraNames(found, devices);
    ASSERT_EQ(listed.size(), 20u);
    EXPECT_EQ(listed.front(), "Cam 10");
    EXPECT_EQ(listed[1], "Cam 11");
    EXPECT_EQ(listed.back(), "Cam 29");
}

TEST(PresentDevices, OnlyNodesOnAHardwareBusCount) {
    VideoDeviceRecord loopback = Node(kVirtualCameraName, "");
    loopback.busInfo = "platform:v4l2loopback-000";
    VideoDeviceRecord virtualNode = Node("Virtual", "");
    virtualNode.sysfsPath = "/sys/devices/virtual/video4linux/video3";
    VideoDeviceRecord pciNode = Node("Capture Card", "");
    pciNode.sysfsPath = "/sys/devices/pci0000:00/0000:00:1c.0/video4linux/video2";
    VideoDeviceRecord noUdev = Node("Bare", "");
    noUdev.sysfsParent = true;
    VideoDeviceRecord notV4l2 = Node("Screen", "");
    notV4l2.devicePath.clear();
    VideoDeviceRecord usb = Node("USB Camera");
    usb.productName = "USB 2.0 Camera";
    EXPECT_EQ(PresentDeviceNames({loopback, virtualNode, pciNode, noUdev, notV4l2, usb}),
              (Names{"Capture Card", "Bare", "USB Camera", "USB 2.0 Camera"}));
}

TEST(PresentDevices, AMachineWithOnlyTheVirtualCameraListsNone) {
    VideoDeviceRecord loopback = Node(kVirtualCameraName, "");
    loopback.busInfo = "platform:v4l2loopback-000";
    const auto present = PresentDeviceNames({loopback});
    EXPECT_TRUE(MatchPnpNames({kVirtualCameraName}, present, false).empty());
    EXPECT_TRUE(MatchPnpNames({kVirtualCameraName}, present, true).empty());
}

TEST(PickVideoDevice, TheV4l2NodeOfANameWinsOverAMediaServersCopy) {
    VideoDeviceRecord served = Node("USB Camera");
    served.devicePath.clear();  // how a media server's provider reports the same camera
    VideoDeviceRecord node = Node("USB Camera");
    node.devicePath = "/dev/video2";
    VideoDeviceRecord other = Node("HD Webcam");
    EXPECT_EQ(PickVideoDevice({other, served, node}, "USB Camera"), 2);
    EXPECT_EQ(PickVideoDevice({other, served}, "USB Camera"), 1);
    EXPECT_EQ(PickVideoDevice({other, served, node}, "USB"), -1);
}

TEST(DiscoverCameras, TheStandInIsListedOnlyWhenAskedFor) {
    std::vector<std::string> listed;
    {
        ScopedEnv env("ZAVREO_TEST_CAMERA", nullptr);
        const int count = DiscoverCameras(&listed);
        EXPECT_EQ(count, static_cast<int>(listed.size()));
        EXPECT_EQ(std::count(listed.begin(), listed.end(), kTestCameraName), 0);
    }
    {
        ScopedEnv env("ZAVREO_TEST_CAMERA", "1");
        const int count = DiscoverCameras(&listed);
        ASSERT_GE(count, 1);
        EXPECT_EQ(listed.back(), kTestCameraName);
    }
}

TEST(DiscoverCameras, StandInFrameLimitIsReadFromItsVariable) {
    {
        ScopedEnv env("ZAVREO_TEST_CAMERA_FRAMES", "12");
        EXPECT_EQ(TestCameraFrameLimit(), 12);
    }
    for (const char* value : {"", "yes", "-4", "12x", "0"}) {
        ScopedEnv env("ZAVREO_TEST_CAMERA_FRAMES", value);
        EXPECT_EQ(TestCameraFrameLimit(), -1) << value;
    }
}

namespace {

bool PipeWirePluginLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libgstpipewire") != std::string::npos) {
            return true;
        }
    }
    return false;
}

size_t OpenDescriptors() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator{});
}

}  // namespace

// Where PipeWire runs, the camera and microphone lookups stay out of it (its device provider
// corrupted the heap on stopping, and would list this program's own camera node), and a lookup
// leaves no connection behind however often it runs.
TEST(DiscoverCameras, LookupsUnderPipeWireNeitherLoadItNorKeepConnections) {
    PipeWireSession session;
    ASSERT_TRUE(session.Running());
    ScopedEnv env("ZAVREO_TEST_CAMERA", "1");
    std::vector<std::string> listed;
    std::string microphone;
    ASSERT_GE(DiscoverCameras(&listed), 1);
    EXPECT_FALSE(FirstAudioSourceName(&microphone)) << "no sound server runs yet";
    const size_t open = OpenDescriptors();
    {
        PulseServer pulse(true);
        ASSERT_TRUE(pulse.Running());
        for (int round = 0; round < 10; ++round) {
            ASSERT_GE(DiscoverCameras(&listed), 1);
            EXPECT_EQ(listed.back(), kTestCameraName);
            ASSERT_TRUE(FirstAudioSourceName(&microphone));
            EXPECT_EQ(microphone, PulseServer::kInputDescription);
        }
    }
    EXPECT_FALSE(FirstAudioSourceName(&microphone));
    EXPECT_EQ(OpenDescriptors(), open);
    EXPECT_FALSE(PipeWirePluginLoaded());
}
