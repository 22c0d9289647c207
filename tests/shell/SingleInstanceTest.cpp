#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "SingleInstance.h"

namespace {

// Starts the real program with its single-instance folder and shared frame of this test's own.
class ProgramRun {
public:
    explicit ProgramRun(const QString& folder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", folder);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ZAVREO_SHARED_FRAME", FrameName());
        env.insert("HOME", folder);
        // Nothing listens there: the update check fails at once, without leaving the machine.
        env.insert("ZAVREO_UPDATE_HOST", "127.0.0.1:1");
        process_.setProcessEnvironment(env);
        process_.setProgram(QStringLiteral(ZAVREO_BIN_DIR "/zavreo"));
    }
    ~ProgramRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
        shm_unlink(FrameName().toLocal8Bit().constData());
    }
    static QString FrameName() { return "/zavreo-shell-test-" + QString::number(getpid()); }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
};

// Runs the event loop until `done` holds or `timeoutMs` passes.
template <typename Predicate>
bool SpinUntil(Predicate done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

}  // namespace

TEST(SingleInstance, LaterStartAsksTheFirstToShowAndExits) {
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    ASSERT_TRUE(first.Acquire());
    int showRequests = 0;
    QObject::connect(&first, &SingleInstance::ShowRequested, [&] { ++showRequests; });

    ProgramRun second(folder.path());
    second.Process().start();
    ASSERT_TRUE(second.Process().waitForStarted(5000));
    ASSERT_TRUE(SpinUntil([&] { return second.Process().state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_TRUE(SpinUntil([&] { return showRequests == 1; }, 2000));
}

TEST(SingleInstance, StaleFilesOfACrashedRunDoNotBlockTheNextStart) {
    QTemporaryDir folder;
    // What a killed run leaves behind: the lock file and a socket nobody listens on.
    {
        ProgramRun crashed(folder.path());
        crashed.Process().start();
        ASSERT_TRUE(crashed.Process().waitForStarted(5000));
        SingleInstance probe(folder.path());
        ASSERT_TRUE(
            SpinUntil([&] { return QFile::exists(folder.path() + "/ZavreoZhuShou"); }, 15000));
        EXPECT_FALSE(probe.Acquire());
        crashed.Process().kill();
        crashed.Process().waitForFinished(5000);
    }
    ASSERT_TRUE(QFile::exists(folder.path() + "/ZavreoZhuShou.lock"));

    ProgramRun next(folder.path());
    next.Process().start();
    ASSERT_TRUE(next.Process().waitForStarted(5000));
    // Probing by connecting, not by locking, so the probe never races the program for the lock.
    SingleInstance probe(folder.path());
    ASSERT_TRUE(SpinUntil([&] { return probe.AskRunningToShow(200); }, 15000));
    EXPECT_EQ(next.Process().state(), QProcess::Running);
    EXPECT_FALSE(probe.Acquire());
}

TEST(SingleInstance, AFolderOthersCanReachIsNotUsed) {
    QTemporaryDir root;
    const QString mine = root.path() + "/mine";
    EXPECT_EQ(SingleInstance::PrivateFolder(mine), mine);
    EXPECT_EQ(QFile::permissions(mine) & (QFile::ReadGroup | QFile::WriteOther), 0);
    EXPECT_EQ(SingleInstance::PrivateFolder(mine), mine);

    // Any access beyond the owner's, by the group or by others, rules a folder out.
    for (const mode_t mode : {0710, 0740, 0770, 0701, 0704, 0777}) {
        const QString open = root.path() + "/open" + QString::number(mode, 8);
        ASSERT_TRUE(QDir().mkdir(open));
        ASSERT_EQ(chmod(open.toLocal8Bit().constData(), mode), 0);
        EXPECT_TRUE(SingleInstance::PrivateFolder(open).isEmpty()) << std::oct << mode;
    }

    const QString link = root.path() + "/link";
    ASSERT_TRUE(QFile::link(mine, link));
    EXPECT_TRUE(SingleInstance::PrivateFolder(link).isEmpty());

    // Planted by another user, private to them.
    if (getuid() == 0) {
        const QString theirs = root.path() + "/theirs";
        ASSERT_TRUE(QDir().mkdir(theirs));
        QFile::setPermissions(theirs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_EQ(chown(theirs.toLocal8Bit().constData(), 65534, 65534), 0);
        EXPECT_TRUE(SingleInstance::PrivateFolder(theirs).isEmpty());
    }
}

// A lock file someone planted as a link must neither be followed nor make every start a first
// one: the lock moves to the private folder in the home, where a second start still finds it.
TEST(SingleInstance, APlantedLockLinkMovesTheLockIntoTheHome) {
    QTemporaryDir root;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", (root.path() + "/home").toLocal8Bit());
    QDir().mkpath(root.path() + "/home");
    const QString shared = root.path() + "/shared";
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_TRUE(QFile::link(root.path() + "/victim", shared + "/ZavreoZhuShou.lock"));
    {
        SingleInstance first(shared);
        SingleInstance second(shared);
        EXPECT_TRUE(first.Acquire());
        EXPECT_FALSE(second.Acquire());
        EXPECT_FALSE(QFile::exists(root.path() + "/victim"));
        EXPECT_TRUE(QFile::exists(root.path() + "/home/.cache/ZavreoZhuShou/ZavreoZhuShou.lock"));
    }
    qputenv("HOME", oldHome);
}
