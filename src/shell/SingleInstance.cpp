#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <cstdlib>

namespace {
constexpr char kInstanceName[] = "ZavreoZhuShou";
constexpr char kShowRequest[] = "show\n";
}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show")) {
                    emit ShowRequested();
                }
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance() {
    server_.close();
    if (lockFd_ >= 0) {
        close(lockFd_);
    }
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

bool SingleInstance::Acquire() {
    lockFd_ = OpenLock(folder_);
    if (lockFd_ < 0) {
        // A lock that cannot be opened must not make every start a first one: use the private
        // folder in the home instead.
        folder_ = HomeFolder();
        lockFd_ = OpenLock(folder_);
    }
    if (lockFd_ < 0) {
        // Nowhere safe to keep a lock: go on as the first copy.
        return true;
    }
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        close(lockFd_);
        lockFd_ = -1;
        return false;
    }
    // Holding the lock proves any socket left behind is stale.
    const QString socketPath = folder_ + "/" + kInstanceName;
    QLocalServer::removeServer(socketPath);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(socketPath);
    return true;
}

bool SingleInstance::AskRunningToShow(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(folder_ + "/" + kInstanceName);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShowRequest);
    socket.waitForBytesWritten(timeoutMs);
    socket.waitForDisconnected(timeoutMs);
    return true;
}
