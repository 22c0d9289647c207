#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "RememberedState.h"
#include "UserFileReader.h"

using zavreo::FrameSize;
using zavreo::RememberedState;
using zavreo::RememberedStateFile;
using zavreo::ScreenPoint;

namespace {

void Write(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace

TEST(RememberedState, WritesOneByteOrderedLineThatReadsBackTheSameState) {
    QTemporaryDir dir;
    const RememberedStateFile file(std::filesystem::path(dir.path().toStdString()) / "Config" /
                                   "state.lst");
    RememberedState state;
    state.volume = 910;
    state.muted = true;
    state.playMode = 1;
    state.cameraSize = FrameSize{1280, 720};
    state.windowPlace = ScreenPoint{-40, 1210};
    ASSERT_TRUE(file.Save(state));
    EXPECT_EQ(zavreo::ReadRegularFile(file.File(), 4096).value_or(""),
              "{\"cameraHeight\":720,\"cameraWidth\":1280,\"muted\":true,\"playMode\":1,"
              "\"volume\":910,\"windowX\":-40,\"windowY\":1210}\n");
    EXPECT_EQ(file.Load(), state);
    // Nothing else is left in the folder: the replacement went through a temporary file.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(file.File().parent_path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);

    // A state without a camera size or place leaves those members out.
    ASSERT_TRUE(file.Save(RememberedState{}));
    EXPECT_EQ(zavreo::ReadRegularFile(file.File(), 4096).value_or(""),
              "{\"muted\":false,\"playMode\":2,\"volume\":500}\n");
    EXPECT_EQ(file.Load(), RememberedState{});
}

TEST(RememberedState, AMissingOrDamagedFileGivesTheDefaults) {
    QTemporaryDir dir;
    const std::filesystem::path path = std::filesystem::path(dir.path().toStdString()) / "s.lst";
    const RememberedStateFile file(path);
    EXPECT_EQ(file.Load(), RememberedState{});
    for (const char* bytes : {"", "\n", "{\"volume\":910", "[910,true,1]\n", "910\n", "\xff\xfe{}",
                              "{\"volume\":{\"volume\":910}}\n"}) {
        Write(path, bytes);
        EXPECT_EQ(file.Load(), RememberedState{}) << bytes;
    }
    // A folder or a FIFO in the file's place reads as missing, without blocking.
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(file.Load(), RememberedState{});
}

TEST(RememberedState, EachBadMemberFallsBackAloneTheOthersStay) {
    // Out of range, of another type, or half of a pair: that member's default only.
    const RememberedState parsed = RememberedStateFile::Parse(
        "{\"volume\":1001,\"muted\":1,\"playMode\":3,\"cameraWidth\":640,\"windowX\":10,"
        "\"windowY\":20}");
    EXPECT_EQ(parsed.volume, 500);
    EXPECT_FALSE(parsed.muted);
    EXPECT_EQ(parsed.playMode, 3);
    EXPECT_FALSE(parsed.cameraSize.has_value());
    EXPECT_EQ(parsed.windowPlace, (ScreenPoint{10, 20}));

    const RememberedState edges = RememberedStateFile::Parse(
        "{\"volume\":0,\"muted\":true,\"playMode\":4,\"cameraWidth\":0,\"cameraHeight\":480,"
        "\"windowX\":2000000,\"windowY\":0}");
    EXPECT_EQ(edges.volume, 0);
    EXPECT_TRUE(edges.muted);
    EXPECT_EQ(edges.playMode, 2);
    EXPECT_FALSE(edges.cameraSize.has_value());
    EXPECT_FALSE(edges.windowPlace.has_value());

    EXPECT_EQ(RememberedStateFile::Parse("{\"volume\":-1,\"playMode\":-1,\"volume\":\"910\"}"),
              RememberedState{});
    EXPECT_EQ(RememberedStateFile::Parse("{\"volume\":910.5}").volume, 500);
    EXPECT_EQ(RememberedStateFile::Parse("{\"cameraWidth\":320,\"cameraHeight\":240}").cameraSize,
              (FrameSize{320, 240}));
}

TEST(RememberedState, AFileThatCannotBeWrittenIsReportedNotFatal) {
    QTemporaryDir dir;
    const std::filesystem::path blocker = std::filesystem::path(dir.path().toStdString()) / "f";
    Write(blocker, "a file where the folder should be");
    const RememberedStateFile file(blocker / "state.lst");
    EXPECT_FALSE(file.Save(RememberedState{}));
    EXPECT_EQ(file.Load(), RememberedState{});
}
