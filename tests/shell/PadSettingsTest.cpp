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

TEST(PadSettings, ABrokenOrUnusualFileReadsAsOffAndIsKeptBeside) {
    QTemporaryDir home;
    const std::filesystem::path folder = home.path().toStdString();
    // Only the integer 1 turns the keys on; other values would not survive a save as they stand.
    int n = 0;
    for (const char* off : {"{\"globalKeys\":\"1\"}", "{\"globalKeys\":true}", "{\"globalKeys\":2}",
                            "{\"globalKeys\":0} // off"}) {
        const std::filesystem::path file = folder / ("off" + std::to_string(++n) + ".lst");
        WriteAll(file, std::string(off) + "\n");
        zavreo::PadSettings settings(file);
        EXPECT_TRUE(settings.Load()) << off;
        EXPECT_FALSE(settings.GlobalKeys()) << off;
        EXPECT_EQ(ReadAll(file.string() + ".unreadable.1"), std::string(off) + "\n");
    }
    for (const char* broken : {"[1]", "{\"globalKeys\":1"}) {
        const std::filesystem::path file = folder / ("broken" + std::to_string(++n) + ".lst");
        WriteAll(file, std::string(broken) + "\n");
        zavreo::PadSettings settings(file);
        EXPECT_FALSE(settings.Load());
        EXPECT_FALSE(settings.GlobalKeys()) << broken;
        EXPECT_EQ(ReadAll(file.string() + ".unreadable.1"), std::string(broken) + "\n");
        settings.SetGlobalKeys(true);
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(ReadAll(file), "{\"globalKeys\":1}\n");
    }
    // The program's own form is no reason to keep a copy.
    const std::filesystem::path own = folder / "own.lst";
    WriteAll(own, "{\"globalKeys\":1,\"later\":[1]}\n");
    zavreo::PadSettings settings(own);
    EXPECT_TRUE(settings.Load());
    EXPECT_TRUE(settings.GlobalKeys());
    EXPECT_FALSE(std::filesystem::exists(own.string() + ".unreadable.1"));
}
