#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "UserFolders.h"

TEST(UserFolders, LieBelowTheConfigurationAndDocumentsFoldersAndAreCreated) {
    QTemporaryDir home;
    const std::filesystem::path root = home.path().toStdString();
    setenv("HOME", root.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(zavreo::ConfigFolder(), root / ".config/ZavreoZhuShou/Config");
    EXPECT_TRUE(std::filesystem::is_directory(root / ".config/ZavreoZhuShou/Config"));
    for (const auto& [folder, name] :
         {std::pair{zavreo::LyricsFolder(), "Lyrics"}, std::pair{zavreo::PicFolder(), "Pic"},
          std::pair{zavreo::VideoFolder(), "Video"}}) {
        EXPECT_EQ(folder.filename(), name);
        EXPECT_EQ(folder.parent_path().filename(), "ZavreoZhuShou");
        EXPECT_EQ(folder.string().rfind(root.string(), 0), 0u) << folder;
        EXPECT_TRUE(std::filesystem::is_directory(folder)) << folder;
    }

    setenv("XDG_CONFIG_HOME", (root / "elsewhere").c_str(), 1);
    EXPECT_EQ(zavreo::ConfigFolder(), root / "elsewhere/ZavreoZhuShou/Config");
    unsetenv("XDG_CONFIG_HOME");
}

// Photos and recordings are the user's alone: their folders, and the program's folder above them,
// are made 0700, and narrowed so where an earlier run left them open to others. A link in their
// place is not followed.
TEST(UserFolders, ThePhotoAndVideoFoldersAreTheUsersAlone) {
    namespace fs = std::filesystem;
    QTemporaryDir home;
    const fs::path root = home.path().toStdString();
    setenv("HOME", root.c_str(), 1);
    const fs::path program = root / "Documents" / "ZavreoZhuShou";
    fs::create_directories(program / "Pic");
    fs::permissions(program / "Pic", fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::create_directories(root / "shared");
    fs::permissions(root / "shared", fs::perms::all);
    fs::create_directory_symlink(root / "shared", program / "Video");
    EXPECT_EQ(zavreo::PicFolder(), program / "Pic");
    EXPECT_EQ(zavreo::VideoFolder(), program / "Video");
    for (const fs::path& folder : {program, program / "Pic"}) {
        EXPECT_EQ(fs::symlink_status(folder).permissions(), fs::perms::owner_all) << folder;
    }
    EXPECT_EQ(fs::status(root / "shared").permissions(), fs::perms::all);
}
