#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStringList>

#include "SharedFrameWatch.h"
#include "TestFrames.h"
#include "TipTexts.h"

namespace {

struct Said {
    explicit Said(SharedFrameWatch& watch) {
        QObject::connect(&watch, &SharedFrameWatch::Tip,
                         [this](const QString& text) { tips << text; });
    }
    QStringList tips;
};

}  // namespace

// A program on a block of its own name says so once, naming both blocks.
TEST(SharedFrameWatch, SaysOnceWhenTheProgramWritesABlockOfItsOwnName) {
    ScopedFrameName name;
    ASSERT_EQ(symlink("/dev/null", ("/dev/shm" + name.Name()).c_str()), 0);
    zavreo::SharedFrame frame(name.Name());
    ASSERT_TRUE(frame.Displaced());
    SharedFrameWatch watch(frame);
    Said said(watch);
    watch.Start(60000);
    watch.Check();
    ASSERT_EQ(said.tips.size(), 1);
    EXPECT_EQ(said.tips[0], QString::fromUtf8(TipText::kSharedFrameOwnBlock)
                                .arg("/dev/shm" + QString::fromStdString(name.Name()),
                                     "/dev/shm" + QString::fromStdString(frame.Name())));
    frame.Remove();
}

// A removed name comes back without a word; a taken one is told once each time it is taken.
TEST(SharedFrameWatch, RestoresARemovedNameAndTellsATakenOneOnce) {
    ScopedFrameName name;
    zavreo::SharedFrame frame(name.Name());
    SharedFrameWatch watch(frame);
    Said said(watch);
    watch.Start(60000);
    EXPECT_TRUE(said.tips.isEmpty());

    ASSERT_EQ(shm_unlink(name.Name().c_str()), 0);
    watch.Check();
    EXPECT_TRUE(said.tips.isEmpty());
    struct stat info {};
    EXPECT_EQ(stat(("/dev/shm" + name.Name()).c_str(), &info), 0);

    for (int taken = 1; taken <= 2; ++taken) {
        ASSERT_EQ(shm_unlink(name.Name().c_str()), 0);
        const int other = shm_open(name.Name().c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
        ASSERT_GE(other, 0);
        close(other);
        watch.Check();
        watch.Check();
        ASSERT_EQ(said.tips.size(), taken);
        EXPECT_EQ(said.tips.back(), QString::fromUtf8(TipText::kSharedFrameTaken)
                                        .arg("/dev/shm" + QString::fromStdString(name.Name())));
        // The other program goes and the name is ours again.
        ASSERT_EQ(shm_unlink(name.Name().c_str()), 0);
        watch.Check();
        EXPECT_EQ(said.tips.size(), taken);
    }
}
