#include "capturesupport.h"
#include "testsupport.h"
#include "workernetworkingpacketsniffer.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

using namespace CaptureSupport;

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

} // namespace

// Live captures as root, in the test's own network namespace: what a
// capture keeps, and how it starts and ends, on loopback and on a veth pair
// to a second namespace.
class TestPacketCapture : public QObject {
    Q_OBJECT

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
    void initTestCase() { prepareLiveCaptures(ownNetwork); }

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
