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
