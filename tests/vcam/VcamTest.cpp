#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "EffectManager.h"
#include "FrameConvert.h"
#include "FramePump.h"
#include "TestFrames.h"
#include "VirtualCamera.h"

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

// While the main program keeps a large frame, that is the picture; the writer gets it at the size
// it takes, asked once per new size whether it takes another.
TEST(FramePump, ServesTheLargeFrameWhileThereIsOneAtTheSizeTheWriterTakes) {
    ScopedFrameName name;
    SharedFrame shared(name.Name());
    const auto small = PatternFrame(640, 480);
    shared.WriteAlone(small.data());
    const auto large = PatternFrame(1280, 720);
    ASSERT_TRUE(shared.Large().Open(1280, 720, 30));
    shared.Large().Write(large.data());

    Written out;
    FramePump pump(name.Name(), V4L2_PIX_FMT_BGR24, out.Writer());
    std::vector<std::pair<int, int>> asked;
    bool accept = false;
    pump.SetWriterSize(640, 480, [&](int width, int height) {
        asked.emplace_back(width, height);
        return accept;
    });
    ASSERT_TRUE(pump.Tick());
    ASSERT_TRUE(pump.Tick());
    EXPECT_EQ(pump.Width(), 1280);
    EXPECT_EQ(pump.Height(), 720);
    EXPECT_TRUE(std::equal(large.begin(), large.end(), pump.Frame()));
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{1280, 720}}));
    // Refused: the writer keeps 640 x 480 and gets the picture stretched to it.
    std::vector<uint8_t> stretched(kFrameBytes);
    EM::EffectImage from, to;
    from.pixels = const_cast<uint8_t*>(large.data());
    from.width = 1280, from.height = 720, from.stride = 3840;
    to.pixels = stretched.data();
    to.width = 640, to.height = 480, to.stride = kFrameStride;
    EM::Helper::Resize(&from, &to);
    std::vector<uint8_t> expected(kFrameBytes);
    ConvertSharedFrame(stretched.data(), V4L2_PIX_FMT_BGR24, expected.data());
    EXPECT_EQ(out.frames.back(), expected);

    // Back to the shared frame: the writer, still at 640 x 480, is not asked again.
    shared.Large().Close();
    ASSERT_TRUE(pump.Tick());
    EXPECT_EQ(pump.Width(), 640);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), pump.Frame()));
    EXPECT_EQ(asked.size(), 1u);
    ConvertSharedFrame(small.data(), V4L2_PIX_FMT_BGR24, expected.data());
    EXPECT_EQ(out.frames.back(), expected);

    // A writer that takes the new size gets it whole, and is asked back to 640 x 480 later.
    accept = true;
    ASSERT_TRUE(shared.Large().Open(1280, 720, 30));
    shared.Large().Write(large.data());
    ASSERT_TRUE(pump.Tick());
    std::vector<uint8_t> whole(1280 * 720 * 3);
    ConvertSharedFrame(large.data(), V4L2_PIX_FMT_BGR24, whole.data(), 1280, 720);
    EXPECT_EQ(out.frames.back(), whole);
    shared.Large().Close();
    ASSERT_TRUE(pump.Tick());
    EXPECT_EQ(asked.back(), std::make_pair(640, 480));
    EXPECT_EQ(out.frames.back().size(), kFrameBytes);
}

TEST(VcamProgram, WithoutTheLoopbackDeviceAndPipeWireItExplainsBothWays) {
    if (!FindV4l2NodeByCard(kVirtualCameraName).empty()) {
        GTEST_SKIP() << "this machine has the loopback device";
    }
    // A session folder of its own, where no PipeWire daemon listens.
    const fs::path runtime =
        fs::temp_directory_path() / ("zavreo-nopw-" + std::to_string(getpid()));
    fs::create_directories(runtime);
    ScopedEnv folder("XDG_RUNTIME_DIR", runtime.c_str());
    ScopedEnv remote("PIPEWIRE_REMOTE", nullptr);
    ScopedEnv remoteFolder("PIPEWIRE_RUNTIME_DIR", nullptr);
    const auto [code, output] = RunVcam("");
    EXPECT_EQ(code, kVcamExitNoDevice);
    EXPECT_NE(output.find("Start PipeWire"), std::string::npos) << output;
    EXPECT_NE(output.find("modprobe v4l2loopback card_label=\"Zavreo直播助手\" exclusive_caps=1"),
              std::string::npos)
        << output;
    fs::remove_all(runtime);
}

TEST(VcamProgram, BadOptionsAreRefused) {
    for (const char* args : {"--fps 0", "--fps 61", "--fps x", "--fps", "--colour red",
                             "--control-fd 999", "--control-fd x"}) {
        EXPECT_EQ(RunVcam(args).first, 2) << args;
    }
    // A node that is no output device is refused, not written to.
    const auto [code, output] = RunVcam("--device /dev/null");
    EXPECT_EQ(code, kVcamExitNoDevice);
}
