#include "capturedpacket.h"
#include "framestore.h"
#include "packetdecoder.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QtTest>

namespace {

void put16(QByteArray& b, int at, quint16 v) {
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xFF);
}
void put32(QByteArray& b, int at, quint32 v) {
    put16(b, at, quint16(v >> 16));
    put16(b, at + 2, quint16(v & 0xFFFF));
}

// An Ethernet frame carrying IPv4: header length ihlWords * 4, a transport
// header of the right size for TCP (20) or UDP (8), then payloadBytes bytes.
QByteArray frame(quint8 protocol, int payloadBytes = 4, int ihlWords = 5) {
    const int ipHeader = ihlWords * 4;
    const int transportHeader = protocol == 6 ? 20 : 8;
    QByteArray b(14 + ipHeader + transportHeader + payloadBytes, '\0');
    const char macs[] = "\x02\x00\x00\x00\x00\x01\x0a\x1b\x2c\x3d\x4e\x5f";
    memcpy(b.data(), macs, 12);
    put16(b, 12, 0x0800);
    b[14] = char(0x40 | ihlWords);
    put16(b, 16, quint16(ipHeader + transportHeader + payloadBytes));
    put16(b, 18, 0x1234); // identification
    put16(b, 20, 0x4000); // don't fragment
    b[22] = char(64);     // TTL
    b[23] = char(protocol);
    put16(b, 24, 0xb1e6);     // header checksum
    put32(b, 26, 0xC0A8010A); // 192.168.1.10
    put32(b, 30, 0x0A000001); // 10.0.0.1
    const int t = 14 + ipHeader;
    put16(b, t, 40000);
    put16(b, t + 2, 443);
    if (protocol == 6) {
        put32(b, t + 4, 0xDEADBEEF);
        put32(b, t + 8, 0x01020304);
        put16(b, t + 14, 29200);
        put16(b, t + 16, 0x00FF);
    } else if (protocol == 17) {
        put16(b, t + 4, quint16(8 + payloadBytes));
        put16(b, t + 6, 0xABCD);
    }
    for (int i = 0; i < payloadBytes; ++i)
        b[t + transportHeader + i] = char('A' + i % 26);
    return b;
}

bool decode(const QByteArray& bytes, PacketInfo& packet) {
    return PacketDecoder::decodeEthernetFrame(reinterpret_cast<const uchar*>(bytes.constData()),
                                              size_t(bytes.size()), packet);
}

} // namespace

class TestPacketDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodesTcp() {
        PacketInfo p;
        QVERIFY(decode(frame(6, 10), p));
        QCOMPARE(p.protocol, QString("TCP"));
        QCOMPARE(p.sourceIP, QString("192.168.1.10"));
        QCOMPARE(p.destinationIP, QString("10.0.0.1"));
        QCOMPARE(int(p.sourcePort), 40000);
        QCOMPARE(int(p.destinationPort), 443);
        QCOMPARE(p.sequenceNumber, 0xDEADBEEFu);
        QCOMPARE(p.acknowledgmentNumber, 0x01020304u);
        QCOMPARE(int(p.windowSize), 29200);
        QCOMPARE(p.sourceMAC, QString("0a:1b:2c:3d:4e:5f"));
        QCOMPARE(p.destinationMAC, QString("02:00:00:00:00:01"));
        QCOMPARE(int(p.etherType), 0x0800);
        QCOMPARE(int(p.ttl), 64);
        QCOMPARE(int(p.identification), 0x1234);
        QCOMPARE(int(p.flags), 16384);
        QCOMPARE(int(p.ipChecksum), 0xb1e6);
        QCOMPARE(p.length, 50u);
        QCOMPARE(p.payload.size(), 30);
        QCOMPARE(p.payload.right(10), QByteArray("ABCDEFGHIJ"));
    }

    // Everything but the TCP fields: other protocols, header options,
    // Ethernet padding, a payload cut by the snapshot, and fragments.
    void decodes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("sourcePort");
        QTest::addColumn<int>("checksum");
        QTest::addColumn<int>("flags");
        QTest::addColumn<uint>("length");
        QTest::addColumn<int>("payload");
        QTest::newRow("UDP") << frame(17, 3) << "UDP" << 40000 << 0xABCD << 16384 << 31u << 11;
        QTest::newRow("ICMP") << frame(1, 0) << "1" << 0 << 0 << 16384 << 28u << 8;
        QTest::newRow("IHL 6") << frame(6, 2, 6) << "TCP" << 40000 << 0xFF << 16384 << 46u << 22;
        // 44 bytes padded to 60 on the wire: the padding is not payload.
        QTest::newRow("padding") << frame(17, 2) + QByteArray(16, '\0') << "UDP" << 40000 << 0xABCD << 16384
                                 << 30u << 10;
        // A 20,000-byte datagram of which the capture kept 8,192 bytes.
        QTest::newRow("clamped") << frame(17, 20000 - 28).left(8192) << "UDP" << 40000 << 0xABCD << 16384
                                 << 20000u << 8192 - 14 - 20;
        for (const auto& [name, field, flags, port] :
             {std::tuple{"first fragment", 0x2000, 8192, 40000},
              std::tuple{"later fragment", 0x2000 | 185, 8192, 0}, std::tuple{"last fragment", 185, 0, 0}}) {
            QByteArray b = frame(17, 4);
            put16(b, 20, quint16(field));
            QTest::newRow(name) << b << "UDP" << port << (port ? 0xABCD : 0) << flags << 32u << 12;
        }
    }
    void decodes() {
        QFETCH(QByteArray, bytes);
        PacketInfo p;
        QVERIFY(decode(bytes, p));
        QTEST(p.protocol, "protocol");
        QTEST(int(p.sourcePort), "sourcePort");
        QTEST(int(p.transportChecksum), "checksum");
        QTEST(int(p.flags), "flags");
        QTEST(uint(p.length), "length");
        QTEST(p.payload.size(), "payload");
        QCOMPARE(p.rawData, bytes);

        // A kept packet shows, column by column, what its record says.
        CapturedPacket kept;
        kept.frame = reinterpret_cast<const uchar*>(bytes.constData());
        kept.length = quint32(bytes.size());
        kept.time = 1718193600123456;
        kept.direction = PacketDirection::Incoming;
        const PacketInfo record = kept.info();
        QCOMPARE(record.payload, p.payload);
        QCOMPARE(record.timestamp, QString("2024-06-12 12:00:00.123"));
        const QStringList columns = {record.timestamp,
                                     record.sourceIP,
                                     QString::number(record.sourcePort),
                                     record.destinationIP,
                                     QString::number(record.destinationPort),
                                     record.protocol,
                                     QString::number(record.length),
                                     "Incoming"};
        for (int column = 1; column <= 8; ++column)
            QCOMPARE(kept.columnText(column), columns.at(column - 1));
    }

    // The capture thread's ring: frames come out whole and in order across
    // the wrap of the buffer, and a full ring refuses a frame.
    void ringKeepsFramesWholeAcrossTheWrap() {
        FrameRing ring(256);
        QVERIFY(ring.isValid());
        QByteArray big(300, 'x');
        QVERIFY(!ring.push(0, reinterpret_cast<const uchar*>(big.constData()), quint32(big.size())));
        int pushed = 0, taken = 0;
        for (int round = 0; round < 200; ++round) {
            for (int i = 0; i < 1 + round % 4; ++i) {
                const QByteArray frame(1 + (pushed * 37) % 90, char('a' + pushed % 26));
                if (!ring.push(pushed, reinterpret_cast<const uchar*>(frame.constData()),
                               quint32(frame.size())))
                    break;
                ++pushed;
            }
            ring.drain(
                [&](qint64 time, const uchar* data, quint32 length) {
                    QCOMPARE(time, qint64(taken));
                    QCOMPARE(QByteArray(reinterpret_cast<const char*>(data), int(length)),
                             QByteArray(1 + (taken * 37) % 90, char('a' + taken % 26)));
                    ++taken;
                },
                1 + round % 3);
        }
        ring.drain([&](qint64, const uchar*, quint32) { ++taken; }, 1000);
        QCOMPARE(taken, pushed);
        QVERIFY(ring.isEmpty());
        QVERIFY(pushed > 300); // many times round the buffer
    }

    // Frames whose headers do not fit in what was captured, or that lie about
    // their lengths, are dropped rather than read past their end.
    void dropsWhatDoesNotFit_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray b;
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("Ethernet header only") << frame(6).left(14);
        QTest::newRow("IPv4 header cut") << frame(6).left(30);
        QTest::newRow("TCP header cut") << frame(6, 0).left(14 + 20 + 12);
        QTest::newRow("UDP header cut") << frame(17, 0).left(14 + 20 + 5);
        b = frame(6);
        b[14] = char(0x44);
        QTest::newRow("IHL 4") << b;
        b = frame(6, 0);
        b[14] = char(0x4F);
        QTest::newRow("IHL 15 beyond the frame") << b;
        b = frame(6);
        put16(b, 16, 12);
        QTest::newRow("total length below header length") << b;
        b = frame(6);
        put16(b, 16, 30);
        QTest::newRow("total length ends inside the TCP header") << b;
        b = frame(6);
        put16(b, 12, 0x86DD);
        QTest::newRow("IPv6") << b;
    }
    void dropsWhatDoesNotFit() {
        QFETCH(QByteArray, bytes);
        PacketInfo p;
        QVERIFY(!decode(bytes, p));
    }

    // Formatted without a time-zone lookup, as Qt formats UTC.
    void timestampsMatchQt() {
        QCOMPARE(PacketDecoder::formatTimestamp(0, 0), QString("1970-01-01 00:00:00.000"));
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i) {
            const qint64 seconds = qint64(random.bounded(4102444800.0));
            const qint64 micro = random.bounded(1000000);
            QCOMPARE(PacketDecoder::formatTimestamp(seconds, micro),
                     QDateTime::fromMSecsSinceEpoch(seconds * 1000 + micro / 1000, Qt::UTC)
                         .toString("yyyy-MM-dd HH:mm:ss.zzz"));
        }
    }

#ifdef PACKET_DECODER_FUZZER
    void libFuzzerFindsNothing() {
        QProcess fuzzer;
        fuzzer.setProcessChannelMode(QProcess::MergedChannels);
        fuzzer.start(PACKET_DECODER_FUZZER, {"-max_total_time=20", "-seed=1", "-max_len=9000"});
        QVERIFY(fuzzer.waitForFinished(120000));
        const QByteArray output = fuzzer.readAll();
        QVERIFY2(fuzzer.exitStatus() == QProcess::NormalExit && fuzzer.exitCode() == 0,
                 output.right(3000).constData());
        QVERIFY(output.contains("Done"));
    }
#endif
};

QTEST_GUILESS_MAIN(TestPacketDecoder)
#include "tst_packetdecoder.moc"
