#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>
#include <functional>
#include <thread>

#include "SingleInstance.h"

namespace {

// Starts the real program with its single-instance folder and shared frame of this test's own.
class ProgramRun {
public:
    // The key the program's single instance takes (SingleInstance::DefaultKey in it).
    static QString Key() {
        return QStringLiteral("ZavreoZhuShou.%1:%2").arg(getuid()).arg(FrameName());
    }
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

// A key of this test process's own: tests run side by side, and two holding the user's default
// key would find each other instead of what they test.
QString OwnKey(const char* role) {
    return QStringLiteral("ZavreoZhuShou-%1-%2").arg(QLatin1String(role)).arg(getpid());
}

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
    // Not the program's key: the program finds this copy through the folder.
    SingleInstance first(folder.path(), OwnKey("first"));
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
        SingleInstance probe(folder.path(), OwnKey("probe"));
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
    SingleInstance probe(folder.path(), OwnKey("probe"));
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
        // Keys of their own, so that only the lock can tell the second start of the first.
        SingleInstance first(shared, OwnKey("first"));
        SingleInstance second(shared, OwnKey("second"));
        EXPECT_TRUE(first.Acquire());
        EXPECT_FALSE(second.Acquire());
        EXPECT_FALSE(QFile::exists(root.path() + "/victim"));
        EXPECT_TRUE(QFile::exists(root.path() + "/home/.cache/ZavreoZhuShou/ZavreoZhuShou.lock"));
    }
    qputenv("HOME", oldHome);
}

// The same user starting the program again with another runtime folder (su, sudo -u, another
// kind of session) finds the running copy through the key and raises it, instead of running a
// second copy beside it that would take the shared frame's name away when it quits.
TEST(SingleInstance, AStartWithAnotherRuntimeFolderFindsTheRunningCopy) {
    QTemporaryDir first;
    QTemporaryDir other;
    SingleInstance running(first.path(), ProgramRun::Key());
    ASSERT_TRUE(running.Acquire());
    int showRequests = 0;
    QObject::connect(&running, &SingleInstance::ShowRequested, [&] { ++showRequests; });

    ProgramRun second(other.path());
    second.Process().start();
    ASSERT_TRUE(second.Process().waitForStarted(5000));
    ASSERT_TRUE(SpinUntil([&] { return second.Process().state() == QProcess::NotRunning; }, 15000))
        << "the second start ran beside the first";
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_TRUE(SpinUntil([&] { return showRequests == 1; }, 2000));
    EXPECT_FALSE(QFile::exists(other.path() + "/ZavreoZhuShou")) << "it listened as a first copy";
}

// Requests are lines; what is not "show" is handed on, so that new requests need no new channel.
TEST(SingleInstance, OtherRequestLinesArePassedOn) {
    QTemporaryDir folder;
    const QString key = OwnKey("lines");
    SingleInstance running(folder.path(), key);
    ASSERT_TRUE(running.Acquire());
    QList<QByteArray> requests;
    int shows = 0;
    QObject::connect(&running, &SingleInstance::RequestReceived,
                     [&](const QByteArray& request) { requests << request; });
    QObject::connect(&running, &SingleInstance::ShowRequested, [&] { ++shows; });
    SingleInstance later(folder.path(), key);
    EXPECT_FALSE(later.Acquire());
    bool sent = false;
    // The running copy answers from this thread's event loop: send from another.
    std::thread sender([&] {
        SingleInstance from(folder.path(), key);
        sent = from.SendToRunning("effect 3");
    });
    EXPECT_TRUE(SpinUntil([&] { return !requests.isEmpty(); }, 3000));
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(requests, QList<QByteArray>{"effect 3"});
    EXPECT_EQ(shows, 0);
}

namespace {

// The abstract socket address Qt uses for `key`: a NUL byte, then the name, nothing more.
std::pair<sockaddr_un, socklen_t> AbstractAddress(const QString& key) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = key.toUtf8();
    std::memcpy(address.sun_path + 1, name.constData(), name.size());
    return {address, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())};
}

// Runs `body` in a child as the user nobody, which can write to descriptor 9 to say it is ready
// (`readyPipe` reads it); the child's process id, -1 when not root.
int AsNobody(const std::function<int()>& body, int* readyPipe = nullptr) {
    if (geteuid() != 0) {
        return -1;
    }
    int ready[2];
    if (pipe(ready) != 0) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(90);
        }
        dup2(ready[1], 9);
        _exit(body());
    }
    close(ready[1]);
    if (readyPipe != nullptr) {
        *readyPipe = ready[0];
    } else {
        close(ready[0]);
    }
    return child;
}

}  // namespace

// Another user squatting the key is neither taken for a running copy nor told anything; another
// user connecting to the key is not heard.
TEST(SingleInstance, AnotherUserCanNeitherDriveNorHearIt) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as a second user";
    }
    QTemporaryDir folder;
    const QString squatted = OwnKey("squat");
    int ready = -1;
    // Made before the fork: the child only makes system calls (another thread may have held the
    // allocator's lock at the fork).
    const auto [squatAddress, squatLength] = AbstractAddress(squatted);
    const int squatter = AsNobody(
        [&, address = squatAddress, length = squatLength] {
            const int server = socket(AF_UNIX, SOCK_STREAM, 0);
            if (bind(server, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
                listen(server, 8) != 0) {
                return 91;
            }
            [[maybe_unused]] const ssize_t told = write(9, "r", 1);
            int heard = 0;
            timeval wait{3, 0};
            setsockopt(server, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            for (int client; (client = accept(server, nullptr, nullptr)) >= 0; close(client)) {
                setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
                char bytes[64];
                heard += read(client, bytes, sizeof bytes) > 0 ? 1 : 0;
            }
            return heard;
        },
        &ready);
    char byte = 0;
    ASSERT_EQ(read(ready, &byte, 1), 1) << "the squatter did not start";
    close(ready);
    {
        SingleInstance first(folder.path(), squatted);
        ASSERT_TRUE(first.Acquire()) << "a squatter was taken for a running copy";
        int shows = 0;
        QObject::connect(&first, &SingleInstance::ShowRequested, [&] { ++shows; });
        std::thread later([&] {
            SingleInstance second(folder.path(), squatted);
            EXPECT_FALSE(second.Acquire());
            EXPECT_TRUE(second.AskRunningToShow());
        });
        EXPECT_TRUE(SpinUntil([&] { return shows == 1; }, 3000));
        later.join();
    }
    int status = 0;
    waitpid(squatter, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the squatter heard a request";

    // Connecting to a running copy's key as another user: not heard. As this user: heard.
    const QString key = OwnKey("peer");
    SingleInstance running(folder.path() + "/b", key);
    QDir().mkpath(folder.path() + "/b");
    ASSERT_TRUE(running.Acquire());
    int shows = 0;
    QObject::connect(&running, &SingleInstance::ShowRequested, [&] { ++shows; });
    const auto [knockAddress, knockLength] = AbstractAddress(key);
    const auto knock = [address = knockAddress, length = knockLength] {
        const int client = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(client, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
            return 92;
        }
        // The running copy may hang up on a stranger before the request is written.
        [[maybe_unused]] const ssize_t sent = send(client, "show\n", 5, MSG_NOSIGNAL);
        return 0;
    };
    const int stranger = AsNobody(knock);
    bool reaped = false;
    ASSERT_TRUE(SpinUntil(
        [&] { return reaped = reaped || waitpid(stranger, &status, WNOHANG) == stranger; }, 3000));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    SpinUntil([] { return false; }, 500);
    EXPECT_EQ(shows, 0) << "another user raised the window";
    const pid_t same = fork();
    if (same == 0) {
        _exit(knock());
    }
    EXPECT_TRUE(SpinUntil([&] { return shows == 1; }, 3000));
    waitpid(same, &status, 0);
}
