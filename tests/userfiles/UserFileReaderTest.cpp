#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <fstream>

#include "JsonLine.h"
#include "UserFileReader.h"

namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(UserFileReader, ReadsRegularFilesUpToTheBoundAndTheFirstLine) {
    QTemporaryDir dir;
    const std::filesystem::path file = dir.path().toStdString() + "/a.lst";
    Write(file, "{\"num\":1}\r\nsecond line\n");
    EXPECT_EQ(zavreo::ReadFirstLine(file), std::optional<std::string>("{\"num\":1}\r"));
    EXPECT_EQ(zavreo::ReadRegularFile(file, 5), std::optional<std::string>("{\"num"));
    EXPECT_EQ(zavreo::ReadRegularFile(file, 1000)->size(), 23u);

    Write(file, "");
    EXPECT_EQ(zavreo::ReadFirstLine(file), std::optional<std::string>(""));

    // A line longer than the bound is cut at the bound, never read to its end.
    Write(file, std::string(zavreo::kMaxUserLineBytes + 10, 'x'));
    EXPECT_EQ(zavreo::ReadFirstLine(file)->size(), zavreo::kMaxUserLineBytes);
    EXPECT_EQ(zavreo::ReadFirstLine(dir.path().toStdString() + "/missing"), std::nullopt);
}

TEST(UserFileReader, NonRegularFilesReadAsMissingWithoutBlocking) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    ASSERT_EQ(::mkfifo((root + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", (root + "/zero").c_str()), 0);
    for (const std::string name : {"/fifo", "/zero", ""}) {
        EXPECT_EQ(zavreo::ReadFirstLine(root + name), std::nullopt) << name;
        EXPECT_EQ(zavreo::ReadRegularFile(root + name, 1 << 20), std::nullopt) << name;
        Json::Value out = 7;
        EXPECT_FALSE(zavreo::ReadJsonFirstLine(root + name, out)) << name;
        EXPECT_EQ(out, Json::Value(7));
    }
}

TEST(UserFileReader, AFileLockedAgainstItsOwnerIsOpenedUpAndRead) {
    QTemporaryDir dir;
    const std::filesystem::path file = dir.path().toStdString() + "/config.lst";
    Write(file, "{\"Filter\":[{\"4\":1}]}\n");
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    Json::Value out;
    ASSERT_TRUE(zavreo::ReadJsonFirstLine(file, out));
    EXPECT_EQ(out["Filter"][0]["4"].asInt(), 1);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}
