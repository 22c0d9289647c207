#pragma once
// One running copy per user: an flock-held lock file "ZavreoZhuShou.lock" in the user's runtime
// folder, and a local socket "ZavreoZhuShou" beside it through which a later start asks the
// running copy to show its main window. The kernel drops the lock with the process, so a crashed
// run never blocks the next start.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "InstanceRequest.h"

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` empty: DefaultFolder().
    explicit SingleInstance(QString folder = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process now holds the lock and listens for later starts.
    bool Acquire();
    // Asks the running copy to show its window; false when none answered.
    bool AskRunningToShow(int timeoutMs = 2000);
    // Sends one request line (InstanceRequest) to the copy listening here, else in HomeFolder(),
    // and returns what came back. Takes no lock, so it also serves starts that must not become
    // the running copy.
    zavreo::ChannelReply AskRunning(const std::string& request, int timeoutMs = 2000);

    // Plays effect `number` for a later start's request; true when it started. Until it is set,
    // such requests are answered as coming too early.
    void SetEffectHandler(std::function<bool(int)> handler) { effectHandler_ = std::move(handler); }

    // $XDG_RUNTIME_DIR, else /tmp/zavreo-UID when it is this user's alone, else HomeFolder().
    static QString DefaultFolder();
    // `wanted`, made when missing, if it is a folder of this user's only; else empty.
    static QString PrivateFolder(const QString& wanted);
    // ~/.cache/ZavreoZhuShou, private; where the lock goes when the shared places cannot hold it.
    static QString HomeFolder();

signals:
    // A later start asked for the main window (interface thread).
    void ShowRequested();

private:
    static int OpenLock(const QString& folder);
    // The reply line to one request line.
    std::string Answer(const std::string& line);

    QString folder_;
    int lockFd_ = -1;
    QLocalServer server_;
    std::function<bool(int)> effectHandler_;
};
