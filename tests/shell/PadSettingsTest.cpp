#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "FileText.h"
#include "PadSettings.h"

TEST(PadSettings, OffUntilSavedOnAndOtherMembersKept) {
    QTemporaryDir home;
    const std::filesystem::path file =
        std::filesystem::path(home.path().toStdString()) / "Config" / "pad.lst";
    zavreo::PadSettings fresh(file);
    EXPECT_FALSE(fresh.Load());
    EXPECT_FALSE(fresh.GlobalKeys());
    fresh.SetGlobalKeys(true);
    ASSERT_TRUE(fresh.Save());
    EXPECT_EQ(ReadAll(file), "{\"globalKeys\":1}\n");

    // What a later version adds stays, in the file's one-line form.
    WriteAll(file, "{\"window\":[1,2],\"globalKeys\":1,\"volume\":500}\n");
    zavreo::PadSettings later(file);
    ASSERT_TRUE(later.Load());
    EXPECT_TRUE(later.GlobalKeys());
    later.SetGlobalKeys(false);
    ASSERT_TRUE(later.Save());
    EXPECT_EQ(ReadAll(file), "{\"globalKeys\":0,\"volume\":500,\"window\":[1,2]}\n");
}

TEST(PadSettings, ABrokenFileReadsAsOffAndIsKeptBesideAtTheSave) {
    QTemporaryDir home;
    const std::filesystem::path file = std::filesystem::path(home.path().toStdString()) / "pad.lst";
    // Only the integer 1 turns the keys on.
    for (const char* off :
         {"{\"globalKeys\":\"1\"}", "{\"globalKeys\":true}", "{\"globalKeys\":2}"}) {
        WriteAll(file, std::string(off) + "\n");
        zavreo::PadSettings settings(file);
        EXPECT_TRUE(settings.Load());
        EXPECT_FALSE(settings.GlobalKeys()) << off;
    }
    for (const char* broken : {"[1]", "{\"globalKeys\":1"}) {
        WriteAll(file, std::string(broken) + "\n");
        zavreo::PadSettings settings(file);
        EXPECT_FALSE(settings.Load());
        EXPECT_FALSE(settings.GlobalKeys()) << broken;
    }
    zavreo::PadSettings settings(file);
    settings.Load();
    settings.SetGlobalKeys(true);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ReadAll(file.string() + ".unreadable"), "{\"globalKeys\":1\n");
    EXPECT_EQ(ReadAll(file), "{\"globalKeys\":1}\n");
}
