#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "EffectManager.h"
#include "LargeFrame.h"
#include "TestFrames.h"

using namespace zavreo;

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr size_t kPixels = static_cast<size_t>(kWidth) * kHeight * 3;

std::vector<uint8_t> RawBlock(const std::string& name) {
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    EXPECT_GE(fd, 0);
    struct stat info {};
    fstat(fd, &info);
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), info.st_size);
    close(fd);
    return bytes;
}

template <typename T>
T At(const std::vector<uint8_t>& bytes, size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void Overwrite(const std::string& name, off_t offset, const void* data, size_t size) {
    const int fd = shm_open(name.c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, data, size, offset), static_cast<ssize_t>(size));
    close(fd);
}

}  // namespace

// The layout another program relies on, byte for byte, and the frame read back in another
// process.
TEST(LargeFrame, HeaderDescribesTheFrameAnotherProcessReads) {
    ScopedFrameName name;
    const std::string block = LargeFrameName(name.Name());
    EXPECT_EQ(block, name.Name() + "-" + std::to_string(geteuid()) + "-hd");
    LargeFrame writer(block);
    ASSERT_TRUE(writer.Open(kWidth, kHeight, 30));
    struct stat info {};
    ASSERT_EQ(stat(("/dev/shm" + block).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, static_cast<off_t>(64 + kPixels));

    const auto pattern = PatternFrame(kWidth, kHeight);
    writer.Write(pattern.data());
    const auto raw = RawBlock(block);
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + 8), "ZVLARGE1");
    EXPECT_EQ(At<uint32_t>(raw, 8), 64u);
    EXPECT_EQ(At<uint32_t>(raw, 12), 1280u);
    EXPECT_EQ(At<uint32_t>(raw, 16), 720u);
    EXPECT_EQ(At<uint32_t>(raw, 20), 3840u);
    EXPECT_EQ(std::string(raw.begin() + 24, raw.begin() + 28), "BGR3");
    EXPECT_EQ(At<uint32_t>(raw, 28), 1u);
    EXPECT_EQ(At<uint32_t>(raw, 32), 30u);
    const uint64_t sequence = At<uint64_t>(raw, 40);
    EXPECT_EQ(sequence % 2, 0u);
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), raw.begin() + 64));

    const pid_t child = fork();
    if (child == 0) {
        LargeFrameReader reader(block);
        std::vector<uint8_t> copy;
        LargeFrameLayout layout;
        const bool ok = reader.Read(&copy, &layout) && copy == pattern && layout.width == kWidth &&
                        layout.height == kHeight && layout.fps == 30 && layout.sequence == sequence;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // Each frame moves the sequence on by two; closing removes the block.
    writer.Write(pattern.data());
    EXPECT_EQ(At<uint64_t>(RawBlock(block), 40), sequence + 2);
    writer.Close();
    LargeFrameLayout layout;
    EXPECT_FALSE(LargeFrameReader(block).Peek(&layout));
    EXPECT_NE(access(("/dev/shm" + block).c_str(), F_OK), 0);
}

// While the large frame is open, the shared frame's own pictures (the placeholder, still
// pictures) reach it stretched; the camera's own large frame does not pass through the small one.
TEST(LargeFrame, TheSharedFramesPicturesAreStretchedIntoIt) {
    ScopedFrameName name;
    SharedFrame shared(name.Name());
    ASSERT_TRUE(shared.Large().Open(kWidth, kHeight, 30));
    const auto small = PatternFrame(kFrameWidth, kFrameHeight);
    shared.Write(small.data());
    std::vector<uint8_t> expected(kPixels);
    EM::EffectImage from, to;
    from.pixels = const_cast<uint8_t*>(small.data());
    from.width = kFrameWidth, from.height = kFrameHeight, from.stride = kFrameStride;
    to.pixels = expected.data();
    to.width = kWidth, to.height = kHeight, to.stride = kWidth * 3;
    EM::Helper::Resize(&from, &to);
    LargeFrameReader reader(shared.Large().Name());
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    ASSERT_TRUE(reader.Read(&copy, &layout));
    EXPECT_EQ(copy, expected);

    shared.WriteAlone(std::vector<uint8_t>(kFrameBytes, 7).data());
    ASSERT_TRUE(reader.Read(&copy, &layout));
    EXPECT_EQ(copy, expected);
    std::vector<uint8_t> sharedCopy(kFrameBytes);
    ASSERT_TRUE(SharedFrameReader(name.Name()).CopyFrame(sharedCopy.data()));
    EXPECT_EQ(sharedCopy, std::vector<uint8_t>(kFrameBytes, 7));

    // Removing the shared frame at exit removes the large one with it.
    shared.Remove();
    EXPECT_FALSE(reader.Peek(&layout));
}

// When something else holds the shared frame's name, the program writes a block of its own, and
// the virtual camera, which knows only the name wanted, must still find the large picture.
TEST(LargeFrame, ADisplacedSharedFrameKeepsTheLargeFrameTheVirtualCameraLooksFor) {
    ScopedFrameName name;
    ASSERT_EQ(mkfifo(("/dev/shm" + name.Name()).c_str(), 0600), 0);
    ScopedUnlink own(OwnSharedFrameName(name.Name(), geteuid()));
    SharedFrame shared(name.Name());
    ASSERT_TRUE(shared.Displaced());
    ASSERT_TRUE(shared.Large().Open(kWidth, kHeight, 30));
    shared.Write(std::vector<uint8_t>(kFrameBytes, 90).data());
    LargeFrameReader reader(LargeFrameName(name.Name()));
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    ASSERT_TRUE(reader.Read(&copy, &layout));
    EXPECT_EQ(layout.width, kWidth);
    EXPECT_EQ(copy, std::vector<uint8_t>(kPixels, 90));
    shared.Remove();
    EXPECT_FALSE(reader.Peek(&layout));
}

// Whatever another process of this user leaves at the name, the reader takes nothing that does
// not describe itself, and the writer's next frame puts it right.
TEST(LargeFrameReader, RefusesBlocksThatDoNotDescribeThemselves) {
    ScopedFrameName name;
    const std::string block = LargeFrameName(name.Name());
    LargeFrameReader reader(block);
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    EXPECT_FALSE(reader.Read(&copy, &layout));  // none yet

    LargeFrame writer(block);
    ASSERT_TRUE(writer.Open(kWidth, kHeight, 30));
    const auto pattern = PatternFrame(kWidth, kHeight);
    writer.Write(pattern.data());
    ASSERT_TRUE(reader.Read(&copy, &layout));

    Overwrite(block, 0, "NOTOURS!", 8);
    EXPECT_FALSE(reader.Read(&copy, &layout));
    writer.Write(pattern.data());
    ASSERT_TRUE(reader.Read(&copy, &layout));

    const uint32_t huge = 100000;
    Overwrite(block, 12, &huge, sizeof huge);
    EXPECT_FALSE(reader.Peek(&layout));
    writer.Write(pattern.data());

    // Shrunk: the header promises more than the block holds.
    const int fd = shm_open(block.c_str(), O_RDWR, 0);
    ASSERT_EQ(ftruncate(fd, 4096), 0);
    EXPECT_FALSE(reader.Read(&copy, &layout));
    writer.Write(pattern.data());
    ASSERT_TRUE(reader.Read(&copy, &layout));
    EXPECT_EQ(copy, pattern);

    // Readable by others: not private, so not shown; a writer of this user taking it over (a
    // new run) narrows it.
    ASSERT_EQ(fchmod(fd, 0644), 0);
    close(fd);
    EXPECT_FALSE(reader.Read(&copy, &layout));
    LargeFrame nextRun(block);
    ASSERT_TRUE(nextRun.Open(kWidth, kHeight, 30));
    EXPECT_TRUE(reader.Peek(&layout));
}

TEST(LargeFrame, AFifoOrAnotherUsersBlockIsRefused) {
    ScopedFrameName name;
    const std::string block = LargeFrameName(name.Name());
    ASSERT_EQ(mkfifo(("/dev/shm" + block).c_str(), 0600), 0);
    LargeFrame writer(block);
    EXPECT_FALSE(writer.Open(kWidth, kHeight, 30));
    LargeFrameLayout layout;
    EXPECT_FALSE(LargeFrameReader(block).Peek(&layout));
    unlink(("/dev/shm" + block).c_str());

    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as a second user";
    }
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(2);
        }
        const int fd = shm_open(block.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
        _exit(fd >= 0 && ftruncate(fd, 64 + kPixels) == 0 ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(writer.Open(kWidth, kHeight, 30));
    writer.Write(PatternFrame(kWidth, kHeight).data());
    EXPECT_EQ(RawBlock(block), std::vector<uint8_t>(64 + kPixels, 0));
    EXPECT_FALSE(LargeFrameReader(block).Peek(&layout));
}

// A writer at 100 frames a second, each frame one colour: the reader never hands over a mixture
// of two frames.
TEST(LargeFrameReader, NeverHandsOverHalfOfOneFrameAndHalfOfAnother) {
    ScopedFrameName name;
    const std::string block = LargeFrameName(name.Name());
    LargeFrame writer(block);
    ASSERT_TRUE(writer.Open(kWidth, kHeight, 30));
    std::atomic<bool> stop{false};
    std::thread writing([&] {
        std::vector<uint8_t> frame(kPixels);
        for (uint8_t colour = 1; !stop; ++colour) {
            std::fill(frame.begin(), frame.end(), colour);
            writer.Write(frame.data());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    LargeFrameReader reader(block);
    std::vector<uint8_t> copy;
    LargeFrameLayout layout;
    int mixed = 0;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(reader.Read(&copy, &layout));
        mixed += std::count(copy.begin(), copy.end(), copy.front()) != static_cast<long>(kPixels);
        std::this_thread::sleep_for(std::chrono::microseconds(700 + i % 7 * 300));
    }
    stop = true;
    writing.join();
    EXPECT_EQ(mixed, 0);
}
