#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "CLuXiang.h"
#include "CPaiZhao.h"
#include "CPngButton.h"
#include "FolderLabel.h"
#include "FolderOpener.h"

namespace {

// PATH holds only a folder with a stand-in xdg-open for the test's length.
class FolderOpenerTest : public testing::Test {
protected:
    void SetUp() override {
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

    QTemporaryDir parent;
    const QString missing = parent.filePath(QStringLiteral("Video"));
    CLuXiang recording(nullptr, [&] { return missing.toStdString(); });
    recording.ToggleVisible();
    EXPECT_EQ(recording.FolderShown().Folder(), missing);
    QSignalSpy failures(&recording, &CLuXiang::FolderNotOpened);
    recording.Button(CLuXiang::IDC_OPEN_FOLDER)->click();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.first().first().toString(), missing);
}

}  // namespace
