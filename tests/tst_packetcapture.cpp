#include "testsupport.h"
#include "workernetworkingpacketsniffer.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
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

// A listening TCP socket that lives in another network namespace: a helper
// thread enters the namespace, makes the socket and leaves again.
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

} // namespace

// Live captures as root: on loopback, and on a veth pair whose other end is
// in a network namespace made (and removed) by the test.
class TestPacketCapture : public QObject {
    Q_OBJECT

    // Waits until packets matching the condition arrive; returns them.
    template <typename Condition>
    static QVector<PacketInfo> collect(WorkerNetworkingPacketSniffer& worker, Condition condition,
                                       int wanted = 1) {
        QVector<PacketInfo> found;
        TestSupport::waitFor([&] {
            for (const CapturedPacket& captured : worker.takePackets())
                if (condition(captured.first))
                    found << captured.first;
            return found.size() >= wanted;
        });
        return found;
    }

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("live captures need root");
        QVERIFY(ownNetwork);
    }

    // A small datagram with its fields, then a 20,000-byte one cut to the snapshot.
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
        // Loopback addresses are not among the machine's own.
        QCOMPARE(p.direction, QString("Broadcast"));
        QCOMPARE(p.application, ownProcessName());
        QCOMPARE(packets.at(1).length, 20028u);
        QCOMPARE(packets.at(1).rawData.size(), 8192);
        QCOMPARE(packets.at(1).payload.size(), 8192 - 14 - 20);

        QSignalSpy stopped(&worker, &WorkerNetworkingPacketSniffer::captureStopped);
        worker.stopCapture();
        QVERIFY(!worker.isCapturing());
        QCOMPARE(stopped.count(), 1);
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
        QSignalSpy errors(&worker, &WorkerNetworkingPacketSniffer::errorOccurred);
        QSignalSpy stopped(&worker, &WorkerNetworkingPacketSniffer::captureStopped);
        worker.startCapture(device);
        QCOMPARE(errors.count(), 1);
        QVERIFY2(QRegularExpression(message).match(errors.first().first().toString()).hasMatch(),
                 qPrintable(errors.first().first().toString()));
        QVERIFY(!worker.isCapturing());
        QCOMPARE(stopped.count(), 0);
    }

    void vethDirectionsApplicationAndRemovedLink() {
        const QString ns = TestSupport::uniqueName(QStringLiteral("tsmns"));
        const QString hostSide = QStringLiteral("tsmv%1").arg(::getpid() % 100000);
        const QString nsSide = hostSide + QStringLiteral("p");
        QVERIFY(runIp({"netns", "add", ns}));
        auto cleanup = qScopeGuard([&] {
            QProcess::execute("ip", {"link", "del", hostSide});
            QProcess::execute("ip", {"netns", "del", ns});
        });
        QVERIFY(runIp({"link", "add", hostSide, "type", "veth", "peer", "name", nsSide, "netns", ns}));
        QVERIFY(runIp({"addr", "add", "10.199.17.1/30", "dev", hostSide}));
        QVERIFY(runIp({"link", "set", hostSide, "up"}));
        QVERIFY(runIp({"-n", ns, "addr", "add", "10.199.17.2/30", "dev", nsSide}));
        QVERIFY(runIp({"-n", ns, "link", "set", nsSide, "up"}));

        const int listener = listenInNamespace(ns, 47001);
        QVERIFY(listener >= 0);
        QTcpSocket client;
        QVERIFY(TestSupport::waitFor([&] {
            if (client.state() == QAbstractSocket::UnconnectedState)
                client.connectToHost(QHostAddress("10.199.17.2"), 47001);
            return client.waitForConnected(200);
        }));
        const int accepted = ::accept(listener, nullptr, nullptr);
        QVERIFY(accepted >= 0);

        WorkerNetworkingPacketSniffer worker;
        QSignalSpy errors(&worker, &WorkerNetworkingPacketSniffer::errorOccurred);
        QSignalSpy stopped(&worker, &WorkerNetworkingPacketSniffer::captureStopped);
        worker.startCapture(hostSide);
        QVERIFY(worker.isCapturing());
        client.write("ping");
        client.flush();
        char buffer[16];
        QCOMPARE(::read(accepted, buffer, sizeof buffer), ssize_t(4));
        QCOMPARE(::write(accepted, "pong", 4), ssize_t(4));
        QVERIFY(client.waitForReadyRead(2000));

        auto isOurs = [](const PacketInfo& p) {
            return (p.sourcePort == 47001 || p.destinationPort == 47001) &&
                   (p.payload.endsWith("ping") || p.payload.endsWith("pong"));
        };
        const auto packets = collect(worker, isOurs, 2);
        QVERIFY(packets.size() >= 2);
        for (const PacketInfo& p : packets) {
            QCOMPARE(p.application, ownProcessName());
            const bool sent = p.payload.endsWith("ping");
            QCOMPARE(p.sourceIP, QString(sent ? "10.199.17.1" : "10.199.17.2"));
            QCOMPARE(p.direction, QString(sent ? "Outgoing" : "Incoming"));
        }
        ::close(accepted);
        ::close(listener);

        // The link goes away under the running capture.
        QVERIFY(runIp({"link", "del", hostSide}));
        QVERIFY(stopped.wait(5000) || stopped.count() == 1);
        QCOMPARE(errors.count(), 1);
        QVERIFY2(errors.first().first().toString().startsWith("Error occurred during packet capture: "),
                 qPrintable(errors.first().first().toString()));
        QVERIFY(!worker.isCapturing());

        // A later capture on another interface works.
        worker.startCapture(QStringLiteral("lo"));
        QVERIFY(worker.isCapturing());
        worker.stopCapture();
    }

    void restartAndDestroyWhileCapturing() {
        auto* worker = new WorkerNetworkingPacketSniffer;
        QSignalSpy stopped(worker, &WorkerNetworkingPacketSniffer::captureStopped);
        worker->startCapture(QStringLiteral("lo"));
        worker->startCapture(QStringLiteral("lo")); // stops and joins the first
        QCOMPARE(stopped.count(), 1);
        QVERIFY(worker->isCapturing());
        delete worker; // joins the running capture thread
    }
};

QTEST_GUILESS_MAIN(TestPacketCapture)
#include "tst_packetcapture.moc"
