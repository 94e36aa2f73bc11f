#include "capturesupport.h"
#include "connectionmapper.h"
#include "packetflow.h"
#include "testsupport.h"
#include "workernetworkingpacketsniffer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkInterface>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace CaptureSupport;

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

// A server process of its own name, listening on port of every IPv4 address
// (or, dual stack, of "::"): it answers each "ping" with "pong". Made with
// fork and plain system calls only, so the copy of this threaded program
// does nothing a forked child may not.
class ServerProcess {
public:
    ServerProcess(const char* name, quint16 port, bool dualStack) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            for (int fd = 3; fd < 4096; ++fd) // the sockets of the test are not the server's
                if (fd != ready[1])
                    ::close(fd);
            ::prctl(PR_SET_NAME, name);
            const int listener = ::socket(dualStack ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
            const int on = 1, off = 0;
            ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            sockaddr_storage address{};
            socklen_t length;
            if (dualStack) {
                ::setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
                auto* six = reinterpret_cast<sockaddr_in6*>(&address);
                six->sin6_family = AF_INET6;
                six->sin6_port = htons(port);
                length = sizeof *six;
            } else {
                auto* four = reinterpret_cast<sockaddr_in*>(&address);
                four->sin_family = AF_INET;
                four->sin_port = htons(port);
                length = sizeof *four;
            }
            if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
                ::listen(listener, 8) != 0)
                ::_exit(1);
            (void)!::write(ready[1], "r", 1);
            pollfd fds[9];
            int count = 1;
            fds[0] = {listener, POLLIN, 0};
            for (;;) {
                if (::poll(fds, nfds_t(count), -1) <= 0)
                    continue;
                if ((fds[0].revents & POLLIN) && count < 9)
                    fds[count++] = {::accept(listener, nullptr, nullptr), POLLIN, 0};
                for (int i = 1; i < count; ++i) {
                    if (!fds[i].revents)
                        continue;
                    char buffer[64];
                    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
                    if (got > 0)
                        (void)!::write(fds[i].fd, "pong", 4);
                    else
                        fds[i].fd = -1;
                }
            }
        }
        ::close(ready[1]);
        char byte = 0;
        started = pid > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~ServerProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    bool started = false;

private:
    pid_t pid = -1;
};

// Makes a socket in another network namespace: a helper thread enters it
// and runs make; the socket stays there. -1 when anything failed.
template <typename Make> int socketInNamespace(const QString& name, Make make) {
    int made = -1;
    std::thread maker([&] {
        const int nsFd = ::open(QFile::encodeName("/run/netns/" + name).constData(), O_RDONLY | O_CLOEXEC);
        if (nsFd >= 0 && ::setns(nsFd, CLONE_NEWNET) == 0)
            made = make();
        if (nsFd >= 0)
            ::close(nsFd);
    });
    maker.join();
    return made;
}

// A TCP client in another network namespace, connected to address:port.
int connectFromNamespace(const QString& name, const char* address, quint16 port) {
    return socketInNamespace(name, [&] {
        const int client = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &server.sin_addr);
        if (::connect(client, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0)
            return client;
        ::close(client);
        return -1;
    });
}

// A listening TCP socket in another network namespace.
int listenInNamespace(const QString& name, quint16 port) {
    return socketInNamespace(name, [&] {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listener, 4) == 0)
            return listener;
        ::close(listener);
        return -1;
    });
}

bool pingPong(int socket) {
    char buffer[4];
    return ::write(socket, "ping", 4) == 4 && ::read(socket, buffer, 4) == 4;
}

} // namespace

// Live captures as root, in the test's own network namespace, on a veth pair
// to a second namespace: every packet of a connection of this machine is
// named after its own program, however short the connection.
class TestPacketNaming : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareLiveCaptures(ownNetwork); }

    // Two servers of this machine, one IPv4 only and one dual stack, each
    // talked to from the other namespace, the second over a connection
    // opened after the capture started, and this program as a client there:
    // every packet is named after its own program (a server never after the
    // other), from half a second after the connection on at the latest, and
    // reads Incoming or Outgoing by the side it was sent from.
    void serversAreNamedAndNeverSwapped() {
        ServerProcess ipv4Server("tsmipv4srv", 9090, false);
        ServerProcess dualServer("tsmdualsrv", 9091, true);
        QVERIFY(ipv4Server.started && dualServer.started);
        VethPair veth;
        QVERIFY(veth.ok);
        QTRY_VERIFY(QNetworkInterface::interfaceFromName(veth.host).flags() & QNetworkInterface::IsRunning);

        // The IPv4 server's connection is in the tables from the start; the
        // dual-stack one opens later, between the same two hosts.
        int clients[2] = {-1, -1};
        QVERIFY(TestSupport::waitFor([&] {
            clients[0] = connectFromNamespace(veth.ns, "10.199.17.1", 9090);
            return clients[0] >= 0;
        }));
        WorkerNetworkingPacketSniffer worker;
        worker.startCapture(veth.host);
        QVERIFY(worker.isCapturing());
        QElapsedTimer clock;
        clock.start();
        const qint64 opened = QDateTime::currentMSecsSinceEpoch();
        clients[1] = connectFromNamespace(veth.ns, "10.199.17.1", 9091);
        QVERIFY(clients[1] >= 0);
        // And this program as the client of a server over there: no
        // listening socket here names it, only fresh tables do.
        const int remoteListener = listenInNamespace(veth.ns, 7000);
        QVERIFY(remoteListener >= 0);
        QTcpSocket outgoing;
        outgoing.connectToHost(QHostAddress("10.199.17.2"), 7000);
        QVERIFY(outgoing.waitForConnected(2000));
        const int remoteEnd = ::accept(remoteListener, nullptr, nullptr);
        QVERIFY(remoteEnd >= 0);
        auto closeAll = qScopeGuard([&] {
            for (int fd : {clients[0], clients[1], remoteEnd, remoteListener})
                ::close(fd);
        });
        QVector<PacketInfo> packets;
        while (clock.elapsed() < 1200) {
            QVERIFY(pingPong(clients[0]) && pingPong(clients[1]));
            outgoing.write("ping");
            QVERIFY(outgoing.waitForBytesWritten(1000));
            char buffer[4];
            QVERIFY(::read(remoteEnd, buffer, 4) == 4);
            QTest::qWait(20); // the worker's tables refresh on this thread
            for (const CapturedPacket& captured : fetch(worker).packets)
                packets << captured.info();
        }
        worker.stopCapture();
        for (const CapturedPacket& captured : fetch(worker).packets)
            packets << captured.info();

        int late = 0;
        for (const PacketInfo& p : qAsConst(packets)) {
            const quint16 serverPort = p.sourceIP == "10.199.17.1" ? p.sourcePort : p.destinationPort;
            const quint16 remotePort = p.sourceIP == "10.199.17.1" ? p.destinationPort : p.sourcePort;
            QString server, other = "none";
            if (serverPort == 9090 || serverPort == 9091) {
                server = serverPort == 9090 ? "tsmipv4srv" : "tsmdualsrv";
                other = serverPort == 9090 ? "tsmdualsrv" : "tsmipv4srv";
            } else if (remotePort == 7000) {
                server = ownProcessName();
            } else {
                continue;
            }
            QVERIFY2(p.application != other, qPrintable(p.timestamp + " " + p.application));
            QDateTime time = QDateTime::fromString(p.timestamp, "yyyy-MM-dd HH:mm:ss.zzz");
            time.setTimeSpec(Qt::UTC);
            const qint64 at = time.toMSecsSinceEpoch();
            if (at >= opened + 500) {
                ++late;
                QVERIFY2(
                    p.application == server,
                    qPrintable(QString("%1 %2 port %3").arg(p.timestamp, p.application).arg(remotePort)));
            }
            QCOMPARE(p.direction, QString(p.sourceIP == "10.199.17.1" ? "Outgoing" : "Incoming"));
        }
        QVERIFY2(late > 30, qPrintable(QString::number(late)));
    }

    // Connections this program opens after the capture started and closes
    // after three exchanges 20 ms apart are named after this program in
    // every packet: those fetched before the socket was found are named by
    // the rename a later fetch brings, and the other end's close, sent after
    // newer tables lost the closed socket, keeps the name. Three of them,
    // one after another.
    void shortConnectionsAreNamed() {
        VethPair veth;
        QVERIFY(veth.ok);
        QTRY_VERIFY(QNetworkInterface::interfaceFromName(veth.host).flags() & QNetworkInterface::IsRunning);
        const int remoteListener = listenInNamespace(veth.ns, 7001);
        QVERIFY(remoteListener >= 0);
        auto closeListener = qScopeGuard([&] { ::close(remoteListener); });
        WorkerNetworkingPacketSniffer worker;
        worker.startCapture(veth.host);
        QVERIFY(worker.isCapturing());
        const auto* mapper = worker.findChild<ConnectionMapper*>();
        QVERIFY(mapper);

        QVector<CapturedPacket> fetched; // as the page would show them
        // Fetches often for a while, as a page could, and renames what it has.
        auto fetchFor = [&](int milliseconds) {
            QElapsedTimer clock;
            clock.start();
            do {
                const PacketBatch batch = fetch(worker);
                for (const FlowRename& rename : batch.renames)
                    for (CapturedPacket& packet : fetched) {
                        PacketDecoder::FrameSummary summary;
                        if (packet.application == "Unknown" &&
                            PacketDecoder::summarizeFrame(packet.frame, packet.length, summary) &&
                            PacketFlow::of(summary) == rename.flow)
                            rename.apply(packet, summary);
                    }
                fetched += batch.packets;
                QTest::qWait(2); // the worker's tables refresh on this thread
            } while (clock.elapsed() < milliseconds);
        };
        QVector<quint16> clientPorts;
        int previousRemoteEnd = -1;
        for (int connection = 0; connection < 3; ++connection) {
            const int client = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in server{};
            server.sin_family = AF_INET;
            server.sin_port = htons(7001);
            ::inet_pton(AF_INET, "10.199.17.2", &server.sin_addr);
            // The tables are made on this thread: none is being made now.
            const quint64 tablesBefore = mapper->generation();
            QCOMPARE(::connect(client, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);
            const int remoteEnd = ::accept(remoteListener, nullptr, nullptr);
            QVERIFY(remoteEnd >= 0);
            sockaddr_in local{};
            socklen_t length = sizeof local;
            QCOMPARE(::getsockname(client, reinterpret_cast<sockaddr*>(&local), &length), 0);
            clientPorts << ntohs(local.sin_port);
            for (int i = 0; i < 3; ++i) {
                char buffer[4];
                QVERIFY(::write(client, "ping", 4) == 4 && ::read(remoteEnd, buffer, 4) == 4);
                QVERIFY(::write(remoteEnd, "pong", 4) == 4 && ::read(client, buffer, 4) == 4);
                if (i < 2)
                    fetchFor(20);
            }
            // On a busy machine the look-up can come later than 40 ms: the
            // connection closes once tables made after it opened are in, as
            // it would after 40 ms on an idle one.
            QElapsedTimer waited;
            waited.start();
            while (mapper->generation() == tablesBefore && waited.elapsed() < 10000)
                fetchFor(5);
            QVERIFY(mapper->generation() > tablesBefore);
            ::close(client);
            if (previousRemoteEnd >= 0) // this connection's lookup has dropped its socket
                ::close(previousRemoteEnd);
            previousRemoteEnd = remoteEnd;
            fetchFor(150);
        }
        ::close(previousRemoteEnd);
        fetchFor(500); // the closing exchanges, and a while after them

        QMap<quint16, int> packets;
        for (const CapturedPacket& captured : qAsConst(fetched)) {
            const PacketInfo p = captured.info();
            const quint16 port = clientPorts.contains(p.sourcePort) ? p.sourcePort : p.destinationPort;
            if (p.protocol != "TCP" || !clientPorts.contains(port))
                continue;
            ++packets[port];
            QVERIFY2(p.application == ownProcessName(),
                     qPrintable(QString("%1 %2 port %3").arg(p.timestamp, p.application).arg(port)));
        }
        for (quint16 port : qAsConst(clientPorts)) // handshake, exchanges, close
            QVERIFY2(packets.value(port) >= 10, qPrintable(QString::number(packets.value(port))));
    }
};

QTEST_GUILESS_MAIN(TestPacketNaming)
#include "tst_packetnaming.moc"
