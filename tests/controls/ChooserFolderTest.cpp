#include "ChooserFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {
// A home of its own with the desktop's default folder names, read by QStandardPaths.
class ChooserFolderTest : public testing::Test {
protected:
    void SetUp() override {
        savedHome_ = qgetenv("HOME");
        qputenv("HOME", home_.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override { qputenv("HOME", savedHome_); }
    QString Made(const QString& name) {
        QDir(home_.path()).mkpath(name);
        return home_.path() + '/' + name;
    }
    QTemporaryDir home_;
    QByteArray savedHome_;
};
}  // namespace

// The steps share the one run's memory, so they form one test.
TEST_F(ChooserFolderTest, OpensInTheUsualFolderThenWhereTheLastChoiceWas) {
    using ChooserFolder::Kind;
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Pictures), home_.path()) << "no Pictures folder yet";
    const QString pictures = Made("Pictures");
    const QString music = Made("Music");
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Pictures), pictures);
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Music), music);

    const QString holiday = Made("trip/holiday");
    ChooserFolder::RememberFiles(Kind::Pictures, {holiday + "/a.jpg", holiday + "/b.jpg"});
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Pictures), holiday);
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Music), music) << "each kind keeps its own folder";
    ChooserFolder::RememberFiles(Kind::Pictures, {});
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Pictures), holiday) << "a cancel changes nothing";

    const QString albums = Made("albums");
    ChooserFolder::RememberFolder(Kind::Music, albums);
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Music), albums);
    ChooserFolder::RememberFolder(Kind::Music, QString());
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Music), albums);

    QDir(holiday).removeRecursively();
    EXPECT_EQ(ChooserFolder::StartFor(Kind::Pictures), pictures) << "a vanished folder is skipped";
}
