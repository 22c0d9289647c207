#pragma once
// One running copy per user. The rendezvous is a local socket in the abstract namespace named
// after the user's id ("ZavreoZhuShou.<uid>"), which does not depend on the runtime folder a start
// was given (su, sudo -u and other kinds of session set another one, or none) and which the kernel
// frees with the process. Beside it, as before, an flock-held lock file "ZavreoZhuShou.lock" and a
// socket "ZavreoZhuShou" in the runtime folder find a copy the abstract name cannot reach (another
// network namespace, or another user squatting the name). A later start asks the running copy,
// through whichever found it, to show its main window, and exits.
//
// Both ends check the other's user id: another user can neither drive the running copy nor
// receive what a start of this user sends.
//
// The channel carries request lines, each ended by a line feed: "show" raises the main window;
// any other line is passed on as RequestReceived, so new requests need no new channel. The
// running copy closes the connection once it has read a request.

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` empty: DefaultFolder(); `key` empty: DefaultKey().
    explicit SingleInstance(QString folder = QString(), QString key = QString(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running copy and listens for later starts.
    bool Acquire();
    // Asks the running copy to show its window; false when none answered.
    bool AskRunningToShow(int timeoutMs = 2000);
    // Sends one request line (without its line feed) to the running copy; false when no copy of
    // this user answered.
    bool SendToRunning(const QByteArray& request, int timeoutMs = 2000);

    // "ZavreoZhuShou.<uid>"; a copy on a shared frame of its own (ZAVREO_SHARED_FRAME) is a copy
    // of its own, with the frame's name added.
    static QString DefaultKey();
    // $XDG_RUNTIME_DIR, else /tmp/zavreo-UID when it is this user's alone, else HomeFolder().
    static QString DefaultFolder();
    // `wanted`, made when missing, if it is a folder of this user's only; else empty.
    static QString PrivateFolder(const QString& wanted);
    // ~/.cache/ZavreoZhuShou, private; where the lock goes when the shared places cannot hold it.
    static QString HomeFolder();

signals:
    // A later start asked for the main window (interface thread).
    void ShowRequested();
    // A later start sent another request (interface thread).
    void RequestReceived(const QByteArray& request);

private:
    enum class Found { kNone, kByKey, kInFolder };

    static int OpenLock(const QString& folder);
    // Takes the key's name; false when a copy of this user holds it (found_ then says so).
    bool ListenOnKey();
    void Accept(QLocalServer& server);
    void Read(QLocalSocket* socket);

    QString folder_;
    QString key_;
    int lockFd_ = -1;
    QLocalServer keyServer_;
    QLocalServer folderServer_;
    Found found_ = Found::kNone;
};
