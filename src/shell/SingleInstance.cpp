#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <cstdlib>

namespace {
constexpr char kInstanceName[] = "ZavreoZhuShou";
constexpr char kShowRequest[] = "show";
constexpr char kPendingProperty[] = "pendingRequest";
constexpr qsizetype kMaxRequestBytes = 64 * 1024;

// The user id of the process at the other end of a connected local socket, or -1.
long PeerUid(qintptr descriptor) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
        return -1;
    }
    return static_cast<long>(peer.uid);
}

bool SameUser(const QLocalSocket& socket) {
    return PeerUid(socket.socketDescriptor()) == static_cast<long>(getuid());
}

}  // namespace

SingleInstance::SingleInstance(QString folder, QString key, QObject* parent)
    : QObject(parent),
      folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)),
      key_(key.isEmpty() ? DefaultKey() : std::move(key)) {
    connect(&keyServer_, &QLocalServer::newConnection, this, [this] { Accept(keyServer_); });
    connect(&folderServer_, &QLocalServer::newConnection, this, [this] { Accept(folderServer_); });
}

SingleInstance::~SingleInstance() {
    keyServer_.close();
    folderServer_.close();
    if (lockFd_ >= 0) {
        close(lockFd_);
    }
}

QString SingleInstance::DefaultKey() {
    QString key = QStringLiteral("%1.%2").arg(QLatin1String(kInstanceName)).arg(getuid());
    const QByteArray frame = qgetenv("ZAVREO_SHARED_FRAME");
    if (!frame.isEmpty()) {
        key += QStringLiteral(":") + QString::fromLocal8Bit(frame);
    }
    return key;
}

void SingleInstance::Accept(QLocalServer& server) {
    while (QLocalSocket* socket = server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Anyone may connect to a name in the abstract namespace: only this user is heard.
        if (!SameUser(*socket)) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    }
}

void SingleInstance::Read(QLocalSocket* socket) {
    // A request may come in pieces: what has no line feed yet waits for the rest.
    QByteArray buffer = socket->property(kPendingProperty).toByteArray() + socket->readAll();
    bool handled = false;
    for (qsizetype end = buffer.indexOf('\n'); end >= 0; end = buffer.indexOf('\n')) {
        const QByteArray request = buffer.left(end).trimmed();
        buffer.remove(0, end + 1);
        handled = true;
        if (request == kShowRequest) {
            emit ShowRequested();
        } else if (!request.isEmpty()) {
            emit RequestReceived(request);
        }
    }
    if (handled || buffer.size() > kMaxRequestBytes) {
        socket->disconnectFromServer();
        return;
    }
    socket->setProperty(kPendingProperty, buffer);
}

QString SingleInstance::DefaultFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QString::fromLocal8Bit(runtime);
    }
    const QString shared = PrivateFolder(QStringLiteral("/tmp/zavreo-%1").arg(getuid()));
    return shared.isEmpty() ? HomeFolder() : shared;
}

QString SingleInstance::HomeFolder() {
    const QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        return QString();
    }
    const QByteArray cache = home + "/.cache";
    mkdir(cache.constData(), 0700);
    return PrivateFolder(QString::fromLocal8Bit(cache) + "/ZavreoZhuShou");
}

QString SingleInstance::PrivateFolder(const QString& wanted) {
    const QByteArray path = wanted.toLocal8Bit();
    mkdir(path.constData(), 0700);
    struct stat info {};
    // A folder someone else made (or a link to one) in the shared /tmp must not hold the lock and
    // the socket: they could be taken over or pointed elsewhere.
    if (lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
        (info.st_mode & 077) == 0) {
        return wanted;
    }
    return QString();
}

// The lock file itself is never a link (which could point at any file) nor anything but a
// regular file of this user.
int SingleInstance::OpenLock(const QString& folder) {
    if (folder.isEmpty()) {
        return -1;
    }
    const QString path = folder + "/" + kInstanceName + ".lock";
    const int fd = open(path.toLocal8Bit().constData(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid())) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SingleInstance::ListenOnKey() {
    keyServer_.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (keyServer_.listen(key_)) {
        return true;
    }
    QLocalSocket probe;
    probe.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    probe.connectToServer(key_);
    if (probe.waitForConnected(1000) && SameUser(probe)) {
        found_ = Found::kByKey;
        return false;
    }
    // Held by another user, or by nothing that answers: the lock file decides alone.
    return true;
}

bool SingleInstance::Acquire() {
    if (!ListenOnKey()) {
        return false;
    }
    lockFd_ = OpenLock(folder_);
    if (lockFd_ < 0) {
        // A lock that cannot be opened must not make every start a first one: use the private
        // folder in the home instead.
        folder_ = HomeFolder();
        lockFd_ = OpenLock(folder_);
    }
    if (lockFd_ < 0) {
        // Nowhere safe to keep a lock: the key's name alone finds this copy.
        return true;
    }
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        close(lockFd_);
        lockFd_ = -1;
        keyServer_.close();
        found_ = Found::kInFolder;
        return false;
    }
    // Holding the lock proves any socket left behind is stale.
    const QString socketPath = folder_ + "/" + kInstanceName;
    QLocalServer::removeServer(socketPath);
    folderServer_.setSocketOptions(QLocalServer::UserAccessOption);
    folderServer_.listen(socketPath);
    return true;
}

bool SingleInstance::AskRunningToShow(int timeoutMs) {
    return SendToRunning(kShowRequest, timeoutMs);
}

bool SingleInstance::SendToRunning(const QByteArray& request, int timeoutMs) {
    // Where Acquire found the running copy; without a call to it, the key first.
    const auto connectTo = [&](QLocalSocket& socket, Found where) {
        if (where == Found::kByKey) {
            socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
            socket.connectToServer(key_);
        } else {
            socket.setSocketOptions(QLocalSocket::NoOptions);
            socket.connectToServer(folder_ + "/" + kInstanceName);
        }
        return socket.waitForConnected(timeoutMs) && SameUser(socket);
    };
    QLocalSocket socket;
    bool connected = false;
    for (const Found where : {Found::kByKey, Found::kInFolder}) {
        if (found_ == Found::kNone || found_ == where) {
            socket.abort();
            connected = connectTo(socket, where);
            if (connected) {
                break;
            }
        }
    }
    if (!connected) {
        return false;
    }
    socket.write(request + "\n");
    socket.waitForBytesWritten(timeoutMs);
    socket.waitForDisconnected(timeoutMs);
    return true;
}
