#include "packetflow.h"
#include "testsupport.h"
#include "workernetworkingpacketsniffer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
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

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

bool runIp(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("ip"), arguments) == 0;
}

// The kernel keeps the first 15 bytes of a program's name.
QString ownProcessName() {
    return QCoreApplication::applicationName().left(15);
}

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

// A TCP client in another network namespace: a helper thread enters it and
// connects; the socket stays there.
int connectFromNamespace(const QString& name, const char* address, quint16 port) {
    int client = -1;
    std::thread maker([&] {
        const int nsFd = ::open(QFile::encodeName("/run/netns/" + name).constData(), O_RDONLY);
        if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNET) != 0)
            return;
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &server.sin_addr);
        if (::connect(client, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            ::close(client);
            client = -1;
        }
        ::close(nsFd);
    });
    maker.join();
    return client;
}

// A listening TCP socket in another network namespace.
int listenInNamespace(const QString& name, quint16 port) {
    int listener = -1;
    std::thread maker([&] {
        const int nsFd = ::open(QFile::encodeName("/run/netns/" + name).constData(), O_RDONLY);
        if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNET) != 0)
            return;
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 4) != 0) {
            ::close(listener);
            listener = -1;
        }
        ::close(nsFd);
    });
    maker.join();
    return listener;
}

bool pingPong(int socket) {
    char buffer[4];
    return ::write(socket, "ping", 4) == 4 && ::read(socket, buffer, 4) == 4;
}

// A veth pair: this end in the test's namespace, the other in a namespace
// made for it (unique name, removed with the pair).
class VethPair {
public:
    VethPair() : ns(TestSupport::uniqueName(QStringLiteral("tsmns"))) {
        ok = runIp({"netns", "add", ns}) &&
             runIp({"link", "add", host, "type", "veth", "peer", "name", "peer0", "netns", ns}) &&
             runIp({"addr", "add", "10.199.17.1/30", "dev", host}) && runIp({"link", "set", host, "up"}) &&
             runIp({"-n", ns, "addr", "add", "10.199.17.2/30", "dev", "peer0"}) &&
             runIp({"-n", ns, "link", "set", "peer0", "up"}) && runIp({"-n", ns, "link", "set", "lo", "up"});
    }
    ~VethPair() {
        QProcess ip; // the link may be gone already
        ip.setStandardErrorFile(QProcess::nullDevice());
        ip.start("ip", {"link", "del", host});
        ip.waitForFinished();
        runIp({"netns", "del", ns});
    }
    const QString ns;
    const QString host = QStringLiteral("tsmveth0");
    bool ok = false;
};

} // namespace

// Live captures as root, in the test's own network namespace: on loopback,
// and on a veth pair to a second namespace.
class TestPacketCapture : public QObject {
    Q_OBJECT

    // What the page's next fetch gets.
    static PacketBatch fetch(WorkerNetworkingPacketSniffer& worker) {
        QSignalSpy fetched(&worker, &WorkerNetworkingPacketSniffer::packetsUpdated);
        worker.fetchPackets();
        return fetched.first().first().value<PacketBatch>();
    }

    // Waits until packets matching the condition arrive; returns them.
    template <typename Condition>
    static QVector<PacketInfo> collect(WorkerNetworkingPacketSniffer& worker, Condition condition,
                                       int wanted = 1) {
        QVector<PacketInfo> found;
        TestSupport::waitFor([&] {
            for (const CapturedPacket& captured : fetch(worker).packets) {
                const PacketInfo packet = captured.info();
                if (condition(packet))
                    found << packet;
            }
            return found.size() >= wanted;
        });
        return found;
    }

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("live captures need root");
        QVERIFY(ownNetwork);
        qRegisterMetaType<CaptureEnd>(), qRegisterMetaType<PacketBatch>();
    }

    // A small datagram with its fields, then a 20,000-byte one cut to the
    // snapshot. Between two programs of this machine a packet reads as its
    // sender's: Outgoing.
    void loopbackUdpWithTheRightFields() {
        QUdpSocket receiver, sender;
        QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
        sender.connectToHost(QHostAddress::LocalHost, receiver.localPort());
        QVERIFY(sender.waitForConnected(1000));

        WorkerNetworkingPacketSniffer worker;
        worker.startCapture(QStringLiteral("lo"));
        QVERIFY(worker.isCapturing());
        sender.write("hello, loopback");
        QCOMPARE(sender.write(QByteArray(20000, 'x')), qint64(20000));
        const quint16 port = receiver.localPort();
        const QVector<PacketInfo> packets = collect(
            worker, [port](const PacketInfo& p) { return p.destinationPort == port; }, 2);
        QCOMPARE(packets.size(), 2);
        const PacketInfo& p = packets.first();
        QCOMPARE(p.protocol, QString("UDP"));
        QCOMPARE(p.sourceIP, QString("127.0.0.1"));
        QCOMPARE(p.destinationIP, QString("127.0.0.1"));
        QCOMPARE(p.sourcePort, sender.localPort());
        QCOMPARE(p.length, quint32(20 + 8 + 15));
        QCOMPARE(p.payload.mid(8), QByteArray("hello, loopback"));
        QCOMPARE(p.rawData.size(), 14 + 20 + 8 + 15);
        QCOMPARE(p.direction, QString("Outgoing"));
        QCOMPARE(p.application, ownProcessName());
        QCOMPARE(packets.at(1).length, 20028u);
        QCOMPARE(packets.at(1).rawData.size(), 8192);
        QCOMPARE(packets.at(1).payload.size(), 8192 - 14 - 20);

        QSignalSpy ended(&worker, &WorkerNetworkingPacketSniffer::captureEnded);
        worker.stopCapture();
        QVERIFY(!worker.isCapturing());
        QCOMPARE(ended.count(), 1);
    }

    // A request and its answer over loopback: one each way, never "Broadcast".
    void loopbackConversationHasBothDirections() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        QVERIFY(client.waitForConnected(1000) && server.waitForNewConnection(1000));
        QTcpSocket* accepted = server.nextPendingConnection();

        WorkerNetworkingPacketSniffer worker;
        worker.startCapture(QStringLiteral("lo"));
        client.write("question");
        QVERIFY(client.waitForBytesWritten(1000) && accepted->waitForReadyRead(1000));
        accepted->write("answer");
        QVERIFY(accepted->waitForBytesWritten(1000) && client.waitForReadyRead(1000));
        const auto packets = collect(
            worker,
            [](const PacketInfo& p) {
                return p.payload.endsWith("question") || p.payload.endsWith("answer");
            },
            2);
        QCOMPARE(packets.size(), 2);
        QSet<QString> directions;
        for (const PacketInfo& p : packets)
            directions << p.direction;
        QCOMPARE(directions, (QSet<QString>{"Outgoing", "Incoming"}));
    }

    void protocolSwitches() {
        QUdpSocket receiver, sender;
        QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 udpPort = receiver.localPort(), tcpPort = server.serverPort();

        WorkerNetworkingPacketSniffer worker;
        worker.startCapture(QStringLiteral("lo"));
        worker.setCaptureUDP(false);
        sender.writeDatagram("dropped", QHostAddress::LocalHost, udpPort);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, tcpPort);
        QVERIFY(client.waitForConnected(1000));
        // The SYN comes after the datagram: once it is here, the datagram was seen and dropped.
        const auto packets = collect(worker, [&](const PacketInfo& p) {
            return p.destinationPort == tcpPort || p.destinationPort == udpPort;
        });
        QVERIFY(!packets.isEmpty());
        QCOMPARE(packets.first().protocol, QString("TCP"));
        for (const PacketInfo& p : packets)
            QVERIFY(p.destinationPort != udpPort);
    }

    // Past the page's limit frames are counted, not kept; a reset starts afresh.
    void keepLimitCountsTheRest() {
        QUdpSocket receiver, sender;
        QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
        WorkerNetworkingPacketSniffer worker;
        worker.setKeepLimit(5);
        worker.startCapture(QStringLiteral("lo"));
        for (int i = 0; i < 8; ++i)
            sender.writeDatagram("x", QHostAddress::LocalHost, receiver.localPort());
        QVector<CapturedPacket> kept;
        QVERIFY(TestSupport::waitFor([&] {
            const PacketBatch batch = fetch(worker);
            kept += batch.packets;
            return batch.counts.notKept >= 3 && kept.size() >= 5;
        }));
        QCOMPARE(kept.size(), 5);
        worker.resetKept();
        QCOMPARE(fetch(worker).counts.notKept, 0u);
        sender.writeDatagram("y", QHostAddress::LocalHost, receiver.localPort());
        QCOMPARE(collect(worker, [](const PacketInfo& p) { return p.payload.endsWith("y"); }).size(), 1);
    }

    void openErrors_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing device") << "tsmnosuchdev0"
                                        << "^Couldn't open device tsmnosuchdev0: .+";
        QTest::newRow("no Ethernet headers")
            << "any"
            << "^Device any doesn't provide Ethernet headers - not supported$";
    }
    void openErrors() {
        QFETCH(QString, device);
        QFETCH(QString, message);
        WorkerNetworkingPacketSniffer worker;
        QSignalSpy ended(&worker, &WorkerNetworkingPacketSniffer::captureEnded);
        worker.startCapture(device, 7);
        QCOMPARE(ended.count(), 1);
        const CaptureEnd end = ended.first().first().value<CaptureEnd>();
        QVERIFY2(QRegularExpression(message).match(end.error).hasMatch(), qPrintable(end.error));
        QCOMPARE(end.captureId, 7ull);
        QVERIFY(!worker.isCapturing());
    }

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

    void removedLinkEndsTheCapture() {
        VethPair veth;
        QVERIFY(veth.ok);
        WorkerNetworkingPacketSniffer worker;
        QSignalSpy ended(&worker, &WorkerNetworkingPacketSniffer::captureEnded);
        worker.startCapture(veth.host, 3);
        QVERIFY(worker.isCapturing());
        QVERIFY(runIp({"link", "del", veth.host}));
        QVERIFY(ended.wait(5000) || ended.count() == 1);
        const CaptureEnd end = ended.first().first().value<CaptureEnd>();
        QCOMPARE(end.captureId, 3ull);
        QVERIFY2(end.error.startsWith("Error occurred during packet capture: "), qPrintable(end.error));
        QVERIFY(!worker.isCapturing());

        // A later capture on another interface works.
        worker.startCapture(QStringLiteral("lo"));
        QVERIFY(worker.isCapturing());
        worker.stopCapture();
    }

    void restartAndDestroyWhileCapturing() {
        auto* worker = new WorkerNetworkingPacketSniffer;
        QSignalSpy ended(worker, &WorkerNetworkingPacketSniffer::captureEnded);
        worker->startCapture(QStringLiteral("lo"));
        worker->startCapture(QStringLiteral("lo")); // stops and joins the first
        QCOMPARE(ended.count(), 1);
        QVERIFY(worker->isCapturing());
        delete worker; // joins the running capture thread
    }
};

QTEST_GUILESS_MAIN(TestPacketCapture)
#include "tst_packetcapture.moc"
