#include "FolderOpener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void FolderOpener::Open(const std::filesystem::path& folder) {
    const QString path = QString::fromStdString(folder.string());
    if (!QFileInfo(path).isDir()) {
        emit Failed(path);
        return;
    }
    // xdg-open's exit code says whether a program took the folder; Qt's own opener only says
    // whether xdg-open started.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
            emit Failed(path);
        }
        return;
    }
    auto* run = new QProcess(this);
    run->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(run, &QProcess::errorOccurred, this, [this, run, path](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            emit Failed(path);
            run->deleteLater();
        }
    });
    connect(run, &QProcess::finished, this,
            [this, run, path](int code, QProcess::ExitStatus status) {
                if (status != QProcess::NormalExit || code != 0) {
                    emit Failed(path);
                }
                run->deleteLater();
            });
    run->start(opener, {path});
}
