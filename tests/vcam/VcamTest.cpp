#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "CameraDiscovery.h"
#include "FrameConvert.h"
#include "FramePump.h"
#include "TestFrames.h"
#include "VcamProcess.h"

using namespace zavreo;
namespace fs = std::filesystem;

namespace {

struct Written {
    std::vector<std::vector<uint8_t>> frames;
    bool fail = false;
    FramePump::Writer Writer() {
        return [this](const uint8_t* data, size_t bytes) {
            frames.emplace_back(data, data + bytes);
            return !fail;
        };
    }
};

// Runs the program with `args`; its exit code and everything it printed.
std::pair<int, std::string> RunVcam(const std::string& args) {
    const std::string command = std::string(ZAVREO_BIN_DIR) + "/zavreo-vcam " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 256> chunk{};
    while (pipe != nullptr && fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
        output += chunk.data();
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST(FramePump, SendsTheSharedFrameConvertedAndFollowsARestart) {
    ScopedFrameName name;
    Written out;
    FramePump pump(name.Name(), V4L2_PIX_FMT_BGR24, out.Writer());
    ASSERT_TRUE(pump.Tick());  // no block yet: black, so clients keep getting frames
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.frames[0], std::vector<uint8_t>(kFrameBytes, 0));

    const auto pattern = PatternFrame(640, 480);
    std::vector<uint8_t> expected(kFrameBytes);
    ConvertSharedFrame(pattern.data(), V4L2_PIX_FMT_BGR24, expected.data());
    {
        SharedFrame frame(name.Name());
        frame.Write(pattern.data());
        ASSERT_TRUE(pump.Tick());
        EXPECT_EQ(out.frames.back(), expected);
    }
    // The main program restarts: its block is removed and made again.
    shm_unlink(name.Name().c_str());
    SharedFrame again(name.Name());
    std::vector<uint8_t> white(kFrameBytes, 255);
    again.Write(white.data());
    ASSERT_TRUE(pump.Tick());
    EXPECT_EQ(out.frames.back(), white);

    out.fail = true;
    EXPECT_FALSE(pump.Tick());
}

TEST(VcamProgram, WithoutTheLoopbackDeviceItExplainsHowToMakeOne) {
    if (!FindV4l2NodeByCard(kVirtualCameraName).empty()) {
        GTEST_SKIP() << "this machine has the loopback device";
    }
    const auto [code, output] = RunVcam("");
    EXPECT_EQ(code, kVcamExitNoDevice);
    EXPECT_NE(output.find("modprobe v4l2loopback card_label=\"Zavreo直播助手\" exclusive_caps=1"),
              std::string::npos)
        << output;
}

TEST(VcamProgram, BadOptionsAreRefused) {
    for (const char* args : {"--fps 0", "--fps 61", "--fps x", "--fps", "--colour red"}) {
        EXPECT_EQ(RunVcam(args).first, 2) << args;
    }
    // A node that is no output device is refused, not written to.
    const auto [code, output] = RunVcam("--device /dev/null");
    EXPECT_EQ(code, kVcamExitNoDevice);
}

TEST(VcamProcess, ACopyHoldingTheLockCountsAsRunning) {
    const fs::path dir = fs::temp_directory_path() / ("zavreo-vcam-" + std::to_string(getpid()));
    fs::create_directories(dir);
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
    VcamProcess process("/bin/sleep");  // exits at once without arguments, like a vcam
    EXPECT_FALSE(process.IsRunning());

    const int lock = open(VcamLockPath().c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    EXPECT_TRUE(VcamLockHeld());
    EXPECT_TRUE(process.Start());
    EXPECT_EQ(process.ChildPid(), -1);  // someone else's copy runs: none started
    close(lock);
    EXPECT_FALSE(VcamLockHeld());
    fs::remove_all(dir);
}

TEST(VcamProcess, StopEndsTheCopyItStarted) {
    const fs::path dir = fs::temp_directory_path() / ("zavreo-vcam2-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "fake-vcam";
    {
        FILE* f = fopen(script.c_str(), "w");
        fputs("#!/bin/sh\nexec sleep 30\n", f);
        fclose(f);
        fs::permissions(script, fs::perms::owner_all);
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.c_str());
    VcamProcess process(script.string());
    ASSERT_TRUE(process.Start());
    const pid_t pid = process.ChildPid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(process.IsRunning());
    process.Stop();
    EXPECT_FALSE(process.IsRunning());
    EXPECT_NE(kill(pid, 0), 0);  // gone and reaped
    fs::remove_all(dir);
}
