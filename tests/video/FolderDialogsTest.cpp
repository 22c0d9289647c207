#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <filesystem>

#include "CLuXiang.h"
#include "CPaiZhao.h"
#include "CPngButton.h"
#include "FolderLabel.h"
#include "FolderOpener.h"

namespace {

// A D-Bus session bus of this process's own (dbus-daemon), which the process's session
// connection uses: made before anything asks for that connection, ended with the process.
class PrivateSessionBus {
public:
    static bool Start() {
        static PrivateSessionBus bus;
        return bus.running_;
    }

private:
    PrivateSessionBus() {
        const QString socket = folder_.filePath(QStringLiteral("bus"));
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const QByteArray address = "--address=unix:path=" + socket.toUtf8();
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                   address.constData(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 200 && !QFileInfo::exists(socket); ++i) {
            QThread::msleep(10);
        }
        running_ = QFileInfo::exists(socket);
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket.toUtf8());
    }
    ~PrivateSessionBus() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

    QTemporaryDir folder_;
    pid_t pid_ = -1;
    bool running_ = false;
};

// A file manager on the session bus that remembers what it was asked to show.
class StandInFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;

public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown = uris; }
};

// PATH holds only a folder with a stand-in xdg-open for the test's length.
class FolderOpenerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateSessionBus::Start());
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", bin_.path().toUtf8() + ":/usr/bin:/bin");
    }
    void TearDown() override { qputenv("PATH", savedPath_); }
    // An xdg-open that records its argument and ends with `code`.
    void InstallOpener(int code) {
        QFile script(bin_.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                         .arg(bin_.filePath(QStringLiteral("opened")))
                         .arg(code)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Opened() const {
        QFile opened(bin_.filePath(QStringLiteral("opened")));
        return opened.open(QIODevice::ReadOnly) ? QString::fromUtf8(opened.readAll()) : QString();
    }
    // Runs the event loop until the opener's process has ended or two seconds passed.
    static void Settle(QSignalSpy& failures, const FolderOpener& opener) {
        QElapsedTimer clock;
        clock.start();
        while (failures.isEmpty() && clock.elapsed() < 2000 &&
               (opener.findChild<QObject*>() != nullptr || clock.elapsed() < 200)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }

    QTemporaryDir bin_;
    QTemporaryDir folder_;
    QByteArray savedPath_;
};

TEST_F(FolderOpenerTest, HandsTheFolderToXdgOpenAndReportsItsFailure) {
    FolderOpener opener;
    QSignalSpy failures(&opener, &FolderOpener::Failed);
    InstallOpener(0);
    opener.Open(folder_.path().toStdString());
    Settle(failures, opener);
    EXPECT_EQ(Opened(), folder_.path());
    EXPECT_TRUE(failures.isEmpty());

    InstallOpener(3);  // xdg-open's "no program for this kind of file"
    opener.Open(folder_.path().toStdString());
    Settle(failures, opener);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.first().first().toString(), folder_.path());
}

TEST_F(FolderOpenerTest, AMissingFolderIsReportedWithoutRunningAnything) {
    InstallOpener(0);
    FolderOpener opener;
    QSignalSpy failures(&opener, &FolderOpener::Failed);
    const QString gone = folder_.filePath(QStringLiteral("gone"));
    opener.Open(gone.toStdString());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.first().first().toString(), gone);
    EXPECT_TRUE(Opened().isEmpty());
}

// A recording is shown selected where a file manager offers it on the session bus; without one
// its folder is opened.
TEST_F(FolderOpenerTest, ShowsAFileSelectedWhereTheFileManagerOffersIt) {
    InstallOpener(0);
    const QString file = folder_.filePath(QStringLiteral("2024_1_1_1_1_1_7.mp4"));
    QFile made(file);
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.close();
    FolderOpener opener;
    QSignalSpy failures(&opener, &FolderOpener::Failed);
    opener.ShowFile(file.toStdString());
    Settle(failures, opener);
    EXPECT_EQ(Opened(), folder_.path());

    StandInFileManager manager;
    {
        QDBusConnection own = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("file-manager"));
        ASSERT_TRUE(own.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        ASSERT_TRUE(own.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
    }
    QFile::remove(bin_.filePath(QStringLiteral("opened")));
    CLuXiang recording(
        nullptr, [&] { return std::filesystem::path(file.toStdString()); },
        [] { return std::filesystem::path("/nonexistent"); });
    recording.ToggleVisible();
    EXPECT_EQ(recording.FileShown().text(), QStringLiteral("2024_1_1_1_1_1_7.mp4"));
    EXPECT_EQ(recording.FolderShown().Folder(), folder_.path());
    recording.Button(CLuXiang::IDC_OPEN_FOLDER)->click();
    QElapsedTimer clock;
    clock.start();
    while (manager.shown.isEmpty() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(manager.shown, QStringList{QUrl::fromLocalFile(file).toString()});
    EXPECT_TRUE(Opened().isEmpty()) << "the folder was opened besides";
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
}

TEST(FolderDialogs, ShowTheFolderShortenedAndPassOnAFailedOpen) {
    const QString longFolder = QStringLiteral("/home/一位主播/Documents/ZavreoZhuShou/") +
                               QStringLiteral("很长的文件夹名").repeated(6) +
                               QStringLiteral("/Pic");
    CPaiZhao photo;
    photo.SetFolder(longFolder.toStdString());
    const FolderLabel& shown = photo.FolderShown();
    EXPECT_EQ(shown.toolTip(), longFolder);
    EXPECT_TRUE(shown.text().startsWith(QStringLiteral("/home/")));
    EXPECT_TRUE(shown.text().endsWith(QStringLiteral("/Pic")));
    EXPECT_TRUE(shown.text().contains(QChar(0x2026)));
    EXPECT_LE(shown.fontMetrics().horizontalAdvance(shown.text()), shown.contentsRect().width());

    // No recording yet: the video folder is named and opened.
    QTemporaryDir parent;
    const QString missing = parent.filePath(QStringLiteral("Video"));
    CLuXiang recording(
        nullptr, [] { return std::filesystem::path(); },
        [&] { return std::filesystem::path(missing.toStdString()); });
    recording.ToggleVisible();
    EXPECT_EQ(recording.FolderShown().Folder(), missing);
    EXPECT_TRUE(recording.FileShown().text().isEmpty());
    QSignalSpy failures(&recording, &CLuXiang::FolderNotOpened);
    recording.Button(CLuXiang::IDC_OPEN_FOLDER)->click();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.first().first().toString(), missing);
}

}  // namespace

#include "FolderDialogsTest.moc"
