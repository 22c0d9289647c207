#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
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

namespace {

void ResizeBlock(const std::string& name, off_t size) {
    const int fd = shm_open(name.c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

// Creates the block `name` as user `uid` with `mode`, one frame of `fill`; false when the test
// cannot switch users (not root).
bool CreateForeignBlock(const std::string& name, uid_t uid, mode_t mode, uint8_t fill) {
    if (geteuid() != 0) {
        return false;
    }
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(uid) != 0 || setuid(uid) != 0) {
            _exit(2);
        }
        const int fd = shm_open(name.c_str(), O_CREAT | O_EXCL | O_RDWR, mode);
        if (fd < 0 || fchmod(fd, mode) != 0 || ftruncate(fd, kFrameBytes) != 0) {
            _exit(3);
        }
        std::vector<uint8_t> frame(kFrameBytes, fill);
        _exit(write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(kFrameBytes) ? 0 : 4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<uint8_t> RawContents(const std::string& name) {
    std::vector<uint8_t> bytes(kFrameBytes);
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(kFrameBytes));
    close(fd);
    return bytes;
}

}  // namespace

// Another process truncating the block must not bring the program down with SIGBUS.
TEST(SharedFrame, ABlockShrunkByAnotherProcessIsNeverTouchedPastItsEnd) {
    ScopedFrameName name;
    SharedFrame writer(name.Name());
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> copy(kFrameBytes);
    ASSERT_TRUE(reader.CopyFrame(copy.data()));

    ResizeBlock(name.Name(), 100);
    EXPECT_FALSE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(reader.Problem(), SharedFrameProblem::kRefused);

    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    writer.Write(pattern.data());  // grows the block back first
    ASSERT_TRUE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(copy, pattern);

    ResizeBlock(name.Name(), 0);
    EXPECT_FALSE(writer.WritePlaceholderFrame("/nonexistent.png"));
    ASSERT_TRUE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(copy, std::vector<uint8_t>(kFrameBytes, 0));
}

// Another process shrinking and regrowing the block all the time, between every size check and
// copy: writing and reading must never fault (SIGBUS).
TEST(SharedFrame, ABlockShrinkingDuringTheCopiesNeverFaults) {
    ScopedFrameName name;
    SharedFrame writer(name.Name());
    ASSERT_TRUE(writer.IsOpen());
    const pid_t shrinker = fork();
    if (shrinker == 0) {
        const int fd = shm_open(name.Name().c_str(), O_RDWR, 0);
        for (;;) {
            [[maybe_unused]] const int small = ftruncate(fd, 4096);
            [[maybe_unused]] const int full = ftruncate(fd, kFrameBytes);
        }
    }
    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> copy(kFrameBytes);
    int copies = 0;
    const auto stop = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < stop) {
        writer.Write(pattern.data());
        copies += reader.CopyFrame(copy.data()) ? 1 : 0;
    }
    kill(shrinker, SIGKILL);
    waitpid(shrinker, nullptr, 0);
    // Still alive; and once the shrinking stops, frames go through whole again.
    writer.Write(pattern.data());
    ASSERT_TRUE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(copy, pattern);
    RecordProperty("copies", copies);
}

TEST(SharedFrame, AFifoAtTheNameIsRefusedWithoutWaiting) {
    ScopedFrameName name;
    ASSERT_EQ(mkfifo(("/dev/shm" + name.Name()).c_str(), 0600), 0);
    SharedFrame writer(name.Name());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.Problem(), SharedFrameProblem::kRefused);
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> copy(kFrameBytes);
    EXPECT_FALSE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(reader.Problem(), SharedFrameProblem::kRefused);
}

// Another user's block would receive this user's camera (mode 0666) or show theirs (0644).
TEST(SharedFrame, AnotherUsersBlockIsNeitherWrittenNorShown) {
    for (const mode_t mode : {0666, 0644, 0600}) {
        ScopedFrameName name;
        if (!CreateForeignBlock(name.Name(), 65534, mode, 0x5a)) {
            GTEST_SKIP() << "needs root to act as a second user";
        }
        SharedFrame writer(name.Name());
        EXPECT_FALSE(writer.IsOpen()) << std::oct << mode;
        EXPECT_EQ(writer.Problem(), SharedFrameProblem::kRefused);
        writer.Write(PatternFrame(kFrameWidth, kFrameHeight).data());
        EXPECT_FALSE(writer.WritePlaceholderFrame());
        EXPECT_EQ(RawContents(name.Name()), std::vector<uint8_t>(kFrameBytes, 0x5a));

        SharedFrameReader reader(name.Name());
        std::vector<uint8_t> copy(kFrameBytes, 1);
        EXPECT_FALSE(reader.CopyFrame(copy.data()));
        EXPECT_EQ(copy, std::vector<uint8_t>(kFrameBytes, 1));
    }
}

TEST(SharedFrame, OwnBlockLeftOpenIsNarrowedAndRemovedAtExit) {
    ScopedFrameName name;
    const std::string path = "/dev/shm" + name.Name();
    const int fd = shm_open(name.Name().c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(fd, 0);
    fchmod(fd, 0644);
    close(fd);
    SharedFrame writer(name.Name());
    ASSERT_TRUE(writer.IsOpen());
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, static_cast<off_t>(kFrameBytes));

    writer.Remove();
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    writer.Write(PatternFrame(kFrameWidth, kFrameHeight).data());  // a late frame still lands
}
