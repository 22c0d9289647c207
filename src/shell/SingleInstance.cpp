#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <cstdlib>
#include <memory>

namespace {
constexpr char kInstanceName[] = "ZavreoZhuShou";

// Sends one request line and reads the reply line (without its line feed). `connected` tells
// whether anyone listened; the reply is none when nobody did or no answer came within the time.
std::optional<std::string> Exchange(const QString& socketPath, const std::string& request,
                                    int timeoutMs, bool& connected) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    connected = socket.waitForConnected(timeoutMs);
    if (!connected) {
        return std::nullopt;
    }
    socket.write(request.data(), static_cast<qint64>(request.size()));
    socket.waitForBytesWritten(timeoutMs);
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < static_cast<int>(zavreo::kMaxRequestLine)) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs)) {
            if (socket.state() == QLocalSocket::ConnectedState) {
                return std::nullopt;
            }
            // Closed without a line: an older copy that knows only "show" and answers nothing.
            reply += socket.readAll();
            break;
        }
        reply += socket.readAll();
    }
    socket.disconnectFromServer();
    const int end = reply.indexOf('\n');
    return (end < 0 ? reply : reply.left(end)).toStdString();
}
}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)) {
    // One request a connection: its line is gathered, answered and the connection closed.
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            auto line = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, line] {
                if (socket->state() != QLocalSocket::ConnectedState) {
                    return;  // answered already
                }
                *line += socket->readAll();
                const int end = line->indexOf('\n');
                if (end < 0 && line->size() <= static_cast<int>(zavreo::kMaxRequestLine)) {
                    return;
                }
                if (end >= 0 && end <= static_cast<int>(zavreo::kMaxRequestLine)) {
                    const std::string reply = Answer(line->left(end).toStdString()) + "\n";
                    socket->write(reply.data(), static_cast<qint64>(reply.size()));
                }
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

std::string SingleInstance::Answer(const std::string& line) {
    const zavreo::InstanceRequest request = zavreo::ParseInstanceRequest(line);
    switch (request.kind) {
        case zavreo::InstanceRequest::Kind::kShow:
            emit ShowRequested();
            return zavreo::kReplyDone;
        case zavreo::InstanceRequest::Kind::kEffect:
            if (!effectHandler_) {
                return zavreo::kReplyNotReady;
            }
            return effectHandler_(request.effect) ? zavreo::kReplyDone : zavreo::kReplyFailed;
        case zavreo::InstanceRequest::Kind::kUnknown:
            break;
    }
    return zavreo::kReplyUnknown;
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
    bool connected = false;
    Exchange(folder_ + "/" + kInstanceName, zavreo::ShowRequestLine(), timeoutMs, connected);
    return connected;
}

zavreo::ChannelReply SingleInstance::AskRunning(const std::string& request, int timeoutMs) {
    // Where Acquire() would have looked: the folder, else the private one in the home.
    for (const QString& folder : {folder_, HomeFolder()}) {
        if (folder.isEmpty()) {
            continue;
        }
        zavreo::ChannelReply reply;
        reply.line = Exchange(folder + "/" + kInstanceName, request, timeoutMs, reply.reached);
        if (reply.reached) {
            return reply;
        }
    }
    return {};
}
