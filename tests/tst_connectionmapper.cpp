#include "connectionmapper.h"
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
                                const QString& destination, quint16 destinationPort) {
        ConnectionInfo info;
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
        QCOMPARE(entries.size(), 7);
        QCOMPARE(entries[0].localAddress, QString("192.168.1.10"));
        QCOMPARE(int(entries[0].localPort), 22);
        QCOMPARE(entries[0].remoteAddress, QString("192.168.1.5"));
        QCOMPARE(int(entries[0].remotePort), 0xC822);
        QCOMPARE(entries[0].inode, quint64(777));
        QCOMPARE(int(entries[5].localPort), 0);
        QCOMPARE(entries[6].inode, quint64(0));
    }

    void namesPackets_data() {
        QTest::addColumn<ConnectionInfo>("info");
        QTest::addColumn<QString>("name");
        QTest::newRow("server to client, first socket's process unknown")
            << query("TCP", "192.168.1.10", 22, "192.168.1.5", 51234) << "sshd";
        QTest::newRow("client to server, other ports")
            << query("TCP", "192.168.1.5", 40000, "192.168.1.10", 22) << "sshd";
        QTest::newRow("comm empty: exe file name")
            << query("TCP", "127.0.0.1", 8080, "127.0.0.1", 54321) << "webserverd";
        QTest::newRow("socket shared by two processes: the first by name")
            << query("TCP", "0.0.0.0", 80, "0.0.0.0", 0) << "first";
        QTest::newRow("listening socket matches no packet")
            << query("TCP", "192.168.1.10", 80, "192.168.1.99", 41000) << "Unknown";
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
        const ConnectionInfo ssh = query("TCP", "192.168.1.10", 22, "192.168.1.5", 51234);
        QCOMPARE(mapper.getApplicationName(ssh), QString("Unknown"));
        mapper.startRefreshing();
        QCOMPARE(mapper.getApplicationName(ssh), QString("sshd"));
        mapper.stopRefreshing();
    }
};

QTEST_GUILESS_MAIN(TestConnectionMapper)
#include "tst_connectionmapper.moc"
