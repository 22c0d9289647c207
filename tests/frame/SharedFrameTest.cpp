#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

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

namespace {

// Removes a block name when the test ends.
class ScopedUnlink {
public:
    explicit ScopedUnlink(std::string name) : name_(std::move(name)) {}
    ~ScopedUnlink() { shm_unlink(name_.c_str()); }

private:
    std::string name_;
};

std::vector<uint8_t> ReadThrough(SharedFrameReader& reader) {
    std::vector<uint8_t> copy(kFrameBytes, 1);
    EXPECT_TRUE(reader.CopyFrame(copy.data()));
    return copy;
}

}  // namespace

// Whatever stands at the wanted name that is not this user's private block (a FIFO, links, a
// folder): the program writes a block of its own name instead, and its readers follow it.
TEST(SharedFrame, SomethingPlantedAtTheNameGivesTheProgramABlockOfItsOwn) {
    const std::vector<std::function<int(const std::string&)>> plants = {
        [](const std::string& path) { return mkfifo(path.c_str(), 0600); },
        [](const std::string& path) { return symlink("/dev/null", path.c_str()); },
        [](const std::string& path) { return symlink("/dev/shm/nothing-here", path.c_str()); },
        [](const std::string& path) { return mkdir(path.c_str(), 0700); },
    };
    for (size_t i = 0; i < plants.size(); ++i) {
        ScopedFrameName name;
        const std::string planted = "/dev/shm" + name.Name();
        ASSERT_EQ(plants[i](planted), 0) << i;
        const std::string own = OwnSharedFrameName(name.Name(), geteuid());
        ScopedUnlink ownName(own);
        SharedFrame writer(name.Name());
        ASSERT_TRUE(writer.IsOpen()) << i;
        EXPECT_TRUE(writer.Displaced());
        EXPECT_EQ(writer.Name(), own);
        EXPECT_EQ(writer.WantedName(), name.Name());
        struct stat info {};
        ASSERT_EQ(stat(("/dev/shm" + own).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);

        const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
        writer.Write(pattern.data());
        SharedFrameReader follower(writer);
        EXPECT_EQ(ReadThrough(follower), pattern) << i;
        SharedFrameReader byOwnName(own);
        EXPECT_EQ(ReadThrough(byOwnName), pattern);
        // Nothing planted was written through or taken over.
        struct stat after {};
        ASSERT_EQ(lstat(planted.c_str(), &after), 0);
        EXPECT_FALSE(S_ISREG(after.st_mode));
        writer.Remove();
        EXPECT_EQ(lstat(planted.c_str(), &after), 0) << "the planted entry was removed";
        rmdir(planted.c_str());
        unlink(planted.c_str());
    }
}

// The user's own name may be planted too: then one nobody can have guessed.
TEST(SharedFrame, APlantedOwnNameGivesAnUnguessableOne) {
    ScopedFrameName name;
    const std::string own = OwnSharedFrameName(name.Name(), geteuid());
    ScopedUnlink ownName(own);
    ASSERT_EQ(mkfifo(("/dev/shm" + name.Name()).c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(("/dev/shm" + own).c_str(), 0600), 0);
    SharedFrame writer(name.Name());
    ScopedUnlink unguessable(writer.Name());
    ASSERT_TRUE(writer.IsOpen());
    EXPECT_TRUE(writer.Name().starts_with(own + "-")) << writer.Name();
    EXPECT_EQ(writer.Name().size(), own.size() + 9);
    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    writer.Write(pattern.data());
    SharedFrameReader follower(writer);
    EXPECT_EQ(ReadThrough(follower), pattern);
}

// Removing the name (a second copy of the program quitting did that) must not blind the
// program's readers, and the name comes back; a block planted at the name by another process of
// the user (all green) is neither shown nor removed by the program.
TEST(SharedFrame, ReadersFollowTheBlockWrittenWhenTheNameIsRemovedOrTaken) {
    ScopedFrameName name;
    SharedFrame writer(name.Name());
    SharedFrameReader follower(writer);
    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    writer.Write(pattern.data());
    EXPECT_EQ(writer.CheckName(), FrameNameState::kOurs);

    ASSERT_EQ(shm_unlink(name.Name().c_str()), 0);
    std::vector<uint8_t> second(kFrameBytes, 77);
    writer.Write(second.data());
    EXPECT_EQ(ReadThrough(follower), second);
    // The name is restored with the picture of the moment, and gets every later frame.
    EXPECT_EQ(writer.CheckName(), FrameNameState::kRestored);
    EXPECT_EQ(writer.CheckName(), FrameNameState::kOurs);
    EXPECT_EQ(RawContents(name.Name()), second);
    writer.Write(pattern.data());
    EXPECT_EQ(RawContents(name.Name()), pattern);
    EXPECT_EQ(ReadThrough(follower), pattern);

    // Taken: removed and made again by someone else, green.
    ASSERT_EQ(shm_unlink(name.Name().c_str()), 0);
    {
        const int taker = shm_open(name.Name().c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
        ASSERT_GE(taker, 0);
        std::vector<uint8_t> green(kFrameBytes);
        for (size_t i = 1; i < green.size(); i += 3) {
            green[i] = 255;
        }
        ASSERT_EQ(write(taker, green.data(), green.size()), static_cast<ssize_t>(kFrameBytes));
        close(taker);
    }
    const std::vector<uint8_t> green = RawContents(name.Name());
    writer.Write(second.data());
    EXPECT_EQ(ReadThrough(follower), second);
    EXPECT_EQ(writer.CheckName(), FrameNameState::kTaken);
    EXPECT_EQ(RawContents(name.Name()), green) << "the program wrote into another's block";
    writer.Remove();
    EXPECT_EQ(RawContents(name.Name()), green) << "the program removed another's block";
}

// The recorder (in the program) and the virtual camera program (a child) find the block through
// the descriptor named in the environment; a variable without its descriptor is ignored.
TEST(SharedFrameReader, TheHandedDownBlockIsReadEvenAfterItsNameIsGone) {
    ScopedFrameName name;
    SharedFrame writer(name.Name());
    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    writer.Write(pattern.data());
    {
        ScopedEnv handed(kSharedFrameFdVariable, nullptr);
        writer.HandDown();
        EXPECT_EQ(HandedDownFrameDescriptor(), -1) << "handed down without a reservation";
        ReserveHandDownDescriptor();
        const int reserved = std::atoi(getenv(kSharedFrameFdVariable));
        EXPECT_EQ(HandedDownFrameDescriptor(), -1) << "the reservation is no block";
        writer.HandDown();
        EXPECT_EQ(HandedDownFrameDescriptor(), reserved);
        SharedFrameReader reader = SharedFrameReader::HandedDown("/zavreo-no-such-frame");
        EXPECT_TRUE(reader.Follows());
        shm_unlink(name.Name().c_str());
        EXPECT_EQ(ReadThrough(reader), pattern);
    }
    // The descriptor it hands down cannot write.
    EXPECT_LT(pwrite(writer.ReaderDescriptor(), "x", 1, 0), 0);
    // Not a number, not open, or open on something other than a private block of this user.
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    for (const std::string& value : {std::string("x"), std::string("4x"), std::string("-1"),
                                     std::string("99999"), std::to_string(devNull)}) {
        ScopedEnv handed(kSharedFrameFdVariable, value.c_str());
        EXPECT_EQ(HandedDownFrameDescriptor(), -1) << value;
        SharedFrameReader reader = SharedFrameReader::HandedDown(name.Name());
        EXPECT_FALSE(reader.Follows()) << value;
    }
    close(devNull);
}

TEST(SharedFrame, AFifoAtTheNameNeitherHoldsTheStartNorIsRead) {
    ScopedFrameName name;
    ASSERT_EQ(mkfifo(("/dev/shm" + name.Name()).c_str(), 0600), 0);
    ScopedUnlink own(OwnSharedFrameName(name.Name(), geteuid()));
    SharedFrame writer(name.Name());
    EXPECT_TRUE(writer.Displaced());
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> copy(kFrameBytes);
    EXPECT_FALSE(reader.CopyFrame(copy.data()));
    EXPECT_EQ(reader.Problem(), SharedFrameProblem::kRefused);
}

// Another user's block would receive this user's camera (mode 0666) or show theirs (0644): it is
// left alone, and the program writes a block of its own that the other user cannot open.
TEST(SharedFrame, AnotherUsersBlockIsNeitherWrittenNorShown) {
    for (const mode_t mode : {0666, 0644, 0600}) {
        ScopedFrameName name;
        if (!CreateForeignBlock(name.Name(), 65534, mode, 0x5a)) {
            GTEST_SKIP() << "needs root to act as a second user";
        }
        ScopedUnlink own(OwnSharedFrameName(name.Name(), geteuid()));
        SharedFrame writer(name.Name());
        ASSERT_TRUE(writer.IsOpen()) << std::oct << mode;
        EXPECT_EQ(writer.Name(), OwnSharedFrameName(name.Name(), geteuid()));
        const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
        writer.Write(pattern.data());
        EXPECT_FALSE(writer.WritePlaceholderFrame("/nonexistent.png"));
        EXPECT_EQ(RawContents(name.Name()), std::vector<uint8_t>(kFrameBytes, 0x5a));

        SharedFrameReader reader(name.Name());
        std::vector<uint8_t> copy(kFrameBytes, 1);
        EXPECT_FALSE(reader.CopyFrame(copy.data()));
        EXPECT_EQ(copy, std::vector<uint8_t>(kFrameBytes, 1));
        SharedFrameReader follower(writer);
        EXPECT_EQ(ReadThrough(follower), pattern);
    }
}

// Our own block left readable by others by an older run: someone may hold it open. A new block
// takes the name, so what they hold never sees another frame.
TEST(SharedFrame, OwnBlockLeftOpenIsReplacedAndRemovedAtExit) {
    ScopedFrameName name;
    const std::string path = "/dev/shm" + name.Name();
    const int fd = shm_open(name.Name().c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_GE(fd, 0);
    fchmod(fd, 0644);
    ASSERT_EQ(ftruncate(fd, kFrameBytes), 0);
    SharedFrame writer(name.Name());
    ASSERT_TRUE(writer.IsOpen());
    EXPECT_FALSE(writer.Displaced());
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, static_cast<off_t>(kFrameBytes));
    const auto pattern = PatternFrame(kFrameWidth, kFrameHeight);
    writer.Write(pattern.data());
    std::vector<uint8_t> held(kFrameBytes);
    ASSERT_EQ(pread(fd, held.data(), held.size(), 0), static_cast<ssize_t>(kFrameBytes));
    EXPECT_EQ(held, std::vector<uint8_t>(kFrameBytes, 0));
    close(fd);

    writer.Remove();
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    writer.Write(pattern.data());  // a late frame still lands
}
