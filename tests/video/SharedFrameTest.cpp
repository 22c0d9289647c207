#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "EffectManager.h"
#include "TestFrames.h"

using namespace zavreo;
namespace fs = std::filesystem;

namespace {

// Writes a 640 x 480 picture file whose pixel (x, y) as seen is (x % 256, y % 256, 99).
std::string WritePicture(const std::string& path, int width = kFrameWidth,
                         int height = kFrameHeight) {
    EM::EffectImage* image = EM::Helper::NewImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image->Row(y) + x * 3;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = 99;
        }
    }
    EXPECT_TRUE(EM::Helper::Save(image, path));
    EM::Helper::FreeImage(image);
    return path;
}

std::string TempPng(const char* tag) {
    return (fs::temp_directory_path() /
            (std::string("zavreo-") + tag + "-" + std::to_string(getpid()) + ".png"))
        .string();
}

}  // namespace

TEST(SharedFrame, AnotherProcessReadsThePlaceholderBottomRowFirst) {
    ScopedFrameName name;
    const std::string picture = WritePicture(TempPng("placeholder"));
    SharedFrame frame(name.Name());
    ASSERT_TRUE(frame.IsOpen());
    ASSERT_TRUE(frame.WritePlaceholderFrame(picture));
    fs::remove(picture);

    const pid_t child = fork();
    if (child == 0) {
        SharedFrameReader reader(name.Name());
        std::vector<uint8_t> copy(kFrameBytes);
        if (!reader.CopyFrame(copy.data())) {
            _exit(2);
        }
        for (int y = 0; y < kFrameHeight; ++y) {
            for (int x = 0; x < kFrameWidth; ++x) {
                const uint8_t* p = copy.data() + (479 - y) * 1920 + x * 3;
                if (p[0] != uint8_t(x) || p[1] != uint8_t(y) || p[2] != 99) {
                    _exit(3);
                }
            }
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SharedFrame, BlockIsPrivateAndExactlyOneFrame) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    struct stat info {};
    ASSERT_EQ(stat(("/dev/shm" + name.Name()).c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 921600);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(SharedFrame, MissingOrBrokenPlaceholderLeavesTheBlockAlone) {
    ScopedFrameName name;
    SharedFrame frame(name.Name());
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> copy(kFrameBytes, 1);
    ASSERT_TRUE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<uint8_t>(kFrameBytes, 0));  // black right after creation

    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    frame.Write(pattern.data());
    EXPECT_FALSE(frame.WritePlaceholderFrame("/nonexistent/test.png"));
    const std::string broken = TempPng("broken");
    std::ofstream(broken) << "not a picture";
    EXPECT_FALSE(frame.WritePlaceholderFrame(broken));
    fs::remove(broken);
    ASSERT_TRUE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(copy, pattern);
}

TEST(SharedFrame, PlaceholderOfAnotherSizeIsScaledToFit) {
    ScopedFrameName name;
    const std::string picture = WritePicture(TempPng("small"), 320, 240);
    SharedFrame frame(name.Name());
    ASSERT_TRUE(frame.WritePlaceholderFrame(picture));
    fs::remove(picture);
    std::vector<uint8_t> copy(kFrameBytes);
    SharedFrameReader(name.Name()).CopyFrame(copy.data());
    // Bottom-right as seen: x ~ 319, y ~ 239 in the small picture.
    const uint8_t* corner = copy.data() + 0 * 1920 + 639 * 3;
    EXPECT_NEAR(corner[0], 319 % 256, 2);
    EXPECT_NEAR(corner[1], 239, 2);
    EXPECT_EQ(corner[2], 99);
}

TEST(SharedFrameReader, WaitsForTheBlockAndFollowsItWhenRecreated) {
    ScopedFrameName name;
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> copy(kFrameBytes);
    EXPECT_FALSE(reader.CopyFrame(copy.data()));

    const auto first = PatternFrame(kFrameWidth, kFrameHeight);
    {
        SharedFrame writer(name.Name());
        writer.Write(first.data());
        ASSERT_TRUE(reader.CopyFrame(copy.data()));
        EXPECT_EQ(copy, first);
    }
    shm_unlink(name.Name().c_str());
    SharedFrame again(name.Name());
    std::vector<uint8_t> second(kFrameBytes, 55);
    again.Write(second.data());
    ASSERT_TRUE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(copy, second);
}
