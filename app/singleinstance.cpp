#include "singleinstance.h"

#include <QDebug>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "tessmar.instance", QtWarningMsg)

namespace {
// The user id of the process at the other end of a connected local socket, or -1.
long peerUid(const QLocalSocket& socket) {
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0)
        return -1;
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return -1;
    return static_cast<long>(credentials.uid);
}
} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& socketName, QObject* parent)
    : QObject(parent), folder(folder), socketName(socketName) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const {
    return folder + QLatin1Char('/') + socketName;
}

bool SingleInstance::anotherInstanceIsRunning(int timeoutMs) {
    QLocalSocket probe;
    probe.connectToServer(socketPath(), QIODevice::ReadWrite);
    if (!probe.waitForConnected(timeoutMs))
        return false;
    const long uid = peerUid(probe);
    if (uid != static_cast<long>(geteuid())) {
        qWarning().noquote()
            << QStringLiteral("Ignoring the %1 socket held by user id %2").arg(socketName).arg(uid);
        return false;
    }
    return true;
}

// The folder must be a real directory (no symbolic link) of our own, which
// no one else can write to or look into.
bool SingleInstance::preparePrivateFolder() const {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        qWarning().noquote() << QStringLiteral("Cannot create %1: %2")
                                    .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    const bool ours = fd >= 0 && ::fstat(fd, &info) == 0 && info.st_uid == geteuid();
    const bool private_ = ours && ((info.st_mode & 07777) == 0700 || ::fchmod(fd, 0700) == 0);
    if (fd >= 0)
        ::close(fd);
    if (!private_)
        qWarning().noquote() << QStringLiteral("%1 is not a folder of our own; not using it").arg(folder);
    return private_;
}

bool SingleInstance::listen() {
    if (!preparePrivateFolder())
        return false;
    QLocalServer::removeServer(socketPath());
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath()))
        return false;
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection())
        socket->deleteLater();
    qCDebug(lcInstance) << "Received new connection - raising window.";
    emit activationRequested();
}
