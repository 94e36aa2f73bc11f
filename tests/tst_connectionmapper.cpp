#include "connectionmapper.h"
#include "flownamer.h"
#include "systempaths.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The connection table over a fixture /proc: socket tables, fd links, comm files.
class TestConnectionMapper : public QObject {
    Q_OBJECT

    QTemporaryDir root;

    void writeFile(const QString& path, const QByteArray& content) {
        QVERIFY(QDir().mkpath(QFileInfo(root.filePath(path)).path()));
        QFile file(root.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // Adds a line to one of the fixture's socket tables.
    void appendToTable(const char* table, const QByteArray& line) {
        QFile file(root.filePath(QStringLiteral("proc/net/") + QLatin1String(table)));
        QVERIFY(file.open(QIODevice::Append));
        file.write(line);
    }
    void addProcess(const QString& pid, const QByteArray& comm, const QStringList& inodes,
                    const QString& exe = QString()) {
        writeFile(QStringLiteral("proc/%1/comm").arg(pid), comm);
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("proc/%1/fd").arg(pid))));
        for (int i = 0; i < inodes.size(); ++i)
            QVERIFY(QFile::link(QStringLiteral("socket:[%1]").arg(inodes[i]),
                                root.filePath(QStringLiteral("proc/%1/fd/%2").arg(pid).arg(i + 3))));
        if (!exe.isEmpty())
            QVERIFY(QFile::link(exe, root.filePath(QStringLiteral("proc/%1/exe").arg(pid))));
    }
    static ConnectionInfo query(const QString& protocol, const QString& source, quint16 sourcePort,
                                const QString& destination, quint16 destinationPort,
                                const QString& direction = QString()) {
        ConnectionInfo info;
        info.direction = direction;
        info.protocol = protocol;
        info.localAddress = source;
        info.localPort = sourcePort;
        info.remoteAddress = destination;
        info.remotePort = destinationPort;
        return info;
    }

private slots:
    void initTestCase() {
        QVERIFY(root.isValid());
        for (const char* table : {"tcp", "udp", "tcp6", "udp6"}) {
            QFile fixture(TestSupport::testDataPath(QStringLiteral("net/") + QLatin1String(table)));
            QVERIFY(fixture.open(QIODevice::ReadOnly));
            writeFile(QStringLiteral("proc/net/") + QLatin1String(table), fixture.readAll());
        }
        addProcess("812", "sshd\n", {"778"});
        addProcess("900", "\n", {"901"}, "/usr/sbin/webserverd");
        addProcess("901", "client\n", {"902"});
        addProcess("42", "first\n", {"900"});
        addProcess("420", "second\n", {"900"});
        addProcess("1000", "other\n", {"12345"});
        // Two servers of one host: IPv4 only on 9090, dual stack on 9091.
        addProcess("43", "ipv4d\n", {"905", "906"});
        addProcess("44", "dualstackd\n", {"962", "963"});
        addProcess("45", "dualclient\n", {"964"});
        QVERIFY(QDir().mkpath(root.filePath("proc/self-not-a-pid/fd")));
        SystemPaths::setRootPrefix(root.path());
    }
    void cleanupTestCase() { SystemPaths::setRootPrefix(QString()); }

    void addressAndPortConversions() {
        auto address = [](const char* hex) { return ConnectionMapper::hexToIpAddress(hex); };
        QCOMPARE(address("0100007F"), QString("127.0.0.1"));
        QCOMPARE(address("0A01A8C0"), QString("192.168.1.10")); // lowest byte first
        QCOMPARE(address("ZZ01A8C0"), QString("0.0.0.0"));
        QCOMPARE(address("0100007"), QString("0.0.0.0"));
        QCOMPARE(address("00000000000000000000000001000000"), QString("::1"));
        QCOMPARE(address("0000000000000000FFFF00000A01A8C0"), QString("::ffff:192.168.1.10"));

        QCOMPARE(int(ConnectionMapper::hexToPort("0016")), 22);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Invalid hex length for port:"));
        QCOMPARE(int(ConnectionMapper::hexToPort("016")), 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Failed to convert port hex to ushort:"));
        QCOMPARE(int(ConnectionMapper::hexToPort("00G1")), 0);
    }

    void parsesTablesAndSkipsMalformedLines() {
        QFile fixture(TestSupport::testDataPath("net/tcp"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Invalid hex length for port:"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Invalid address format in"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Unexpected format in"));
        const QList<ConnectionInfo> entries = ConnectionMapper::parseProcNetTable(fixture.readAll(), "TCP");
        // Lines 6 (no colon) and 7 (too few fields) are skipped; a short port reads 0.
        QCOMPARE(entries.size(), 9);
        QCOMPARE(entries[0].localAddress, QString("192.168.1.10"));
        QCOMPARE(int(entries[0].localPort), 22);
        QCOMPARE(entries[0].remoteAddress, QString("192.168.1.5"));
        QCOMPARE(int(entries[0].remotePort), 0xC822);
        QCOMPARE(entries[0].inode, quint64(777));
        QCOMPARE(int(entries[5].localPort), 0);
        QCOMPARE(entries[6].inode, quint64(0));

        // A dual-stack socket of an IPv4 connection reads as that IPv4 socket.
        QFile tcp6(TestSupport::testDataPath("net/tcp6"));
        QVERIFY(tcp6.open(QIODevice::ReadOnly));
        const QList<ConnectionInfo> six = ConnectionMapper::parseProcNetTable(tcp6.readAll(), "TCP6");
        QCOMPARE(six.size(), 5);
        QCOMPARE(six[0].protocol, QString("TCP6"));
        QCOMPARE(six[0].localAddress, QString("::1"));
        QCOMPARE(six[3].protocol, QString("TCP"));
        QCOMPARE(six[3].localAddress, QString("192.168.1.10"));
        QCOMPARE(six[3].remoteAddress, QString("192.168.1.5"));
    }

    void namesPackets_data() {
        QTest::addColumn<ConnectionInfo>("info");
        QTest::addColumn<QString>("name");
        QTest::newRow("both ends of a connection, either way")
            << query("TCP", "192.168.1.10", 22, "192.168.1.5", 0xC823) << "sshd";
        QTest::newRow("reply of the same connection")
            << query("TCP", "192.168.1.5", 0xC823, "192.168.1.10", 22) << "sshd";
        // The socket of port 0xC822 has no known process; the one beside it
        // between the same hosts must not lend its name.
        QTest::newRow("same hosts, other ports: no guess")
            << query("TCP", "192.168.1.10", 22, "192.168.1.5", 0xC822) << "Unknown";
        QTest::newRow("client to a port nobody listens on")
            << query("TCP", "192.168.1.5", 40000, "192.168.1.10", 22) << "Unknown";
        QTest::newRow("comm empty: exe file name")
            << query("TCP", "127.0.0.1", 8080, "127.0.0.1", 54321) << "webserverd";
        QTest::newRow("dual-stack server's IPv4 connection")
            << query("TCP", "192.168.1.5", 0xD000, "192.168.1.10", 9091) << "dualstackd";
        QTest::newRow("dual-stack server's answer")
            << query("TCP", "192.168.1.10", 9091, "192.168.1.5", 0xD000) << "dualstackd";
        QTest::newRow("dual-stack client's IPv4 connection")
            << query("TCP", "192.168.1.5", 443, "192.168.1.10", 0xB000) << "dualclient";
        QTest::newRow("IPv4 server of the same host")
            << query("TCP", "192.168.1.5", 0xC000, "192.168.1.10", 9090) << "ipv4d";
        QTest::newRow("new connection to the dual-stack listener")
            << query("TCP", "192.168.1.5", 0xE000, "192.168.1.10", 9091) << "dualstackd";
        QTest::newRow("new connection to the IPv4 listener")
            << query("TCP", "192.168.1.5", 0xE000, "192.168.1.10", 9090) << "ipv4d";
        QTest::newRow("listener shared by two processes: the first by name")
            << query("TCP", "192.168.1.99", 41000, "192.168.1.10", 80, "Incoming") << "first";
        QTest::newRow("another host's port 80 is not our listener")
            << query("TCP", "192.168.1.10", 41000, "192.168.1.99", 80, "Outgoing") << "Unknown";
        QTest::newRow("DNS query") << query("UDP", "192.168.1.10", 57842, "192.168.1.1", 53) << "DNS";
        QTest::newRow("DNS answer") << query("udp", "192.168.1.1", 53, "192.168.1.10", 57842) << "DNS";
        QTest::newRow("UDP off port 53 is not DNS")
            << query("UDP", "192.168.1.10", 5000, "192.168.1.1", 6000) << "Unknown";
        QTest::newRow("SSDP sent to the group")
            << query("UDP", "192.168.1.10", 40000, "239.255.255.250", 1900) << "SSDP - Service Discovery";
    }
    void namesPackets() {
        QFETCH(ConnectionInfo, info);
        QFETCH(QString, name);
        ConnectionMapper mapper;
        mapper.refreshConnections();
        QCOMPARE(mapper.getApplicationName(info), name);
    }

    void nothingIsReadUntilRefreshed() {
        ConnectionMapper mapper;
        const ConnectionInfo ssh = query("TCP", "192.168.1.10", 22, "192.168.1.5", 0xC823);
        QCOMPARE(mapper.getApplicationName(ssh), QString("Unknown"));
        mapper.startRefreshing();
        QCOMPARE(mapper.getApplicationName(ssh), QString("sshd"));
        mapper.stopRefreshing();
    }

    // A connection opened after the last refresh: a missed lookup brings
    // the next refresh forward, and asking twice refreshes once. That
    // refresh looks only for the new socket's process; the sockets known
    // before keep theirs.
    void missedLookupRefreshesSoon() {
        ConnectionMapper mapper;
        mapper.startRefreshing();
        const ConnectionInfo late = query("UDP", "192.168.1.10", 0x1234, "192.168.1.7", 0x4321);
        QCOMPARE(mapper.getApplicationName(late), QString("Unknown"));
        addProcess("77", "latecomer\n", {"977"});
        appendToTable("udp", "  102: 0A01A8C0:1234 0701A8C0:4321 01 00000000:00000000 00:00000000 00000000  "
                             "1000        0 977 2 0000000000000000 0\n");
        const quint64 before = mapper.generation();
        mapper.requestRefresh();
        mapper.requestRefresh();
        QTRY_COMPARE_WITH_TIMEOUT(mapper.getApplicationName(late), QString("latecomer"), 1000);
        QCOMPARE(mapper.generation(), before + 1);
        QCOMPARE(mapper.getApplicationName(query("TCP", "192.168.1.10", 22, "192.168.1.5", 0xC823)),
                 QString("sshd"));
        mapper.stopRefreshing();
    }

    // Misses are answered at once, also right after a refresh, up to five
    // refreshes in a second; the next waits until the oldest is a second old.
    void refreshesAtOnceUpToFiveASecond() {
        ConnectionMapper mapper;
        mapper.startRefreshing();
        for (int refresh = 2; refresh <= ConnectionMapper::RefreshesPerSecond; ++refresh) {
            const quint64 before = mapper.generation();
            mapper.requestRefresh();
            QCoreApplication::processEvents(); // the request reaches the mapper
            QCOMPARE(mapper.generation(), before + 1);
        }
        const quint64 before = mapper.generation();
        mapper.requestRefresh();
        QCoreApplication::processEvents();
        QCOMPARE(mapper.generation(), before);
        QTRY_COMPARE_WITH_TIMEOUT(mapper.generation(), before + 1, 2000);
        mapper.stopRefreshing();
    }

    // The last packets of a connection the tables list as closed (no inode,
    // as in TIME_WAIT) ask for no refresh: fresh tables cannot name them,
    // and a burst of them would use up the refreshes a new connection needs.
    // A connection the tables do not list asks for one.
    void closedConnectionsAskForNoRefresh() {
        appendToTable("tcp",
                      "  11: 0A01A8C0:2000 0501A8C0:0050 06 00000000:00000000 03:00000F9A 00000000     "
                      "0        0 0 3 0000000000000000\n");
        ConnectionMapper mapper;
        mapper.startRefreshing();
        FlowNamer namer(&mapper);
        namer.start({0xC0A8010A});
        auto packetTo = [&](quint16 sourcePort) {
            PacketDecoder::FrameSummary summary;
            summary.protocol = 6;
            summary.sourceAddress = 0xC0A8010A;
            summary.sourcePort = sourcePort;
            summary.destinationAddress = 0xC0A80105;
            summary.destinationPort = 0x50;
            CapturedPacket packet;
            namer.name(summary, 1, packet);
            QCoreApplication::processEvents(); // a request reaches the mapper
            return packet.application;
        };
        const quint64 before = mapper.generation();
        QCOMPARE(packetTo(0x2000), QString("Unknown"));
        QCOMPARE(mapper.generation(), before);
        QCOMPARE(packetTo(0x2001), QString("Unknown"));
        QCOMPARE(mapper.generation(), before + 1);
        mapper.stopRefreshing();
    }
};

QTEST_GUILESS_MAIN(TestConnectionMapper)
#include "tst_connectionmapper.moc"
