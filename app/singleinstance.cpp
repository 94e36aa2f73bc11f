#include "singleinstance.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

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

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), serverName(serverName) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::anotherInstanceIsRunning(int timeoutMs) {
    QLocalSocket probe;
    probe.connectToServer(serverName, QIODevice::ReadWrite);
    if (!probe.waitForConnected(timeoutMs))
        return false;
    const long uid = peerUid(probe);
    if (uid != static_cast<long>(geteuid())) {
        qWarning().noquote()
            << QStringLiteral("Ignoring the %1 socket held by user id %2").arg(serverName).arg(uid);
        return false;
    }
    return true;
}

bool SingleInstance::listen() {
    QLocalServer::removeServer(serverName);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName))
        return false;
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server->nextPendingConnection())
        socket->deleteLater();
    qDebug() << "Received new connection - raising window.";
    emit activationRequested();
}
