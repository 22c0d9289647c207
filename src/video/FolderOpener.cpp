#include "FolderOpener.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

constexpr char kFileManager[] = "org.freedesktop.FileManager1";
// A file manager started for the call may take a moment to answer.
constexpr int kShowTimeoutMs = 10000;

// Whether a file manager answers on the session bus, or would be started for a call.
bool FileManagerOnBus(const QDBusConnection& bus) {
    const QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (names == nullptr) {
        return false;
    }
    const QString service = QString::fromLatin1(kFileManager);
    return names->isServiceRegistered(service).value() ||
           names->activatableServiceNames().value().contains(service);
}

}  // namespace

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

void FolderOpener::ShowFile(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    const QString path = QString::fromStdString(file.string());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!QFileInfo(path).isFile() || !FileManagerOnBus(bus)) {
        Open(folder);
        return;
    }
    const QString service = QString::fromLatin1(kFileManager);
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                       service, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* reply = new QDBusPendingCallWatcher(bus.asyncCall(call, kShowTimeoutMs), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this, reply, folder] {
        if (reply->isError()) {
            Open(folder);
        }
        reply->deleteLater();
    });
}
