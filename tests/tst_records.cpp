#include "connectioninfo.h"
#include "detailsgroup.h"
#include "detailslogs.h"
#include "detailsuser.h"
#include "loadingoverlay.h"
#include "packetinfo.h"
#include "startup.h"
#include "workerlogs.h"

#include <QSignalSpy>
#include <QTableWidget>
#include <QThread>
#include <QtTest>

// Sends one record from another thread through a queued connection.
class RecordSender : public QObject {
    Q_OBJECT
signals:
    void failLogs(const QList<DetailsLogsFailLog>& records);
    void packet(const PacketInfo& packet);
};

class RecordReceiver : public QObject {
    Q_OBJECT
public:
    QList<DetailsLogsFailLog> received;
    PacketInfo receivedPacket;
public slots:
    void onFailLogs(const QList<DetailsLogsFailLog>& records) { received = records; }
    void onPacket(const PacketInfo& packet) { receivedPacket = packet; }
};

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerSharedMetaTypes(); }

    void recordsCrossThreadsWhole() {
        QThread thread;
        RecordSender sender;
        sender.moveToThread(&thread);
        RecordReceiver receiver;
        connect(&sender, &RecordSender::failLogs, &receiver, &RecordReceiver::onFailLogs,
                Qt::QueuedConnection);
        connect(&sender, &RecordSender::packet, &receiver, &RecordReceiver::onPacket, Qt::QueuedConnection);
        thread.start();

        DetailsLogsFailLog record;
        record.username = QStringLiteral("alice");
        record.logins = 4;
        record.loggedIn = true;
        record.timeSpent = QStringLiteral("0d 01:02:03");
        record.failedLogins = 2;
        record.maxFails = 5;
        record.lastLogin = QStringLiteral("Never logged in");
        PacketInfo packet;
        packet.payload = QByteArray("\x45\x00", 2);
        packet.flags = 16384;
        packet.sequenceNumber = 4000000000u;
        QMetaObject::invokeMethod(&sender, [&] {
            emit sender.failLogs({record});
            emit sender.packet(packet);
        });
        QTRY_COMPARE(receiver.received.size(), 1);
        QTRY_COMPARE(receiver.receivedPacket.flags, quint16(16384));
        thread.quit();
        thread.wait();

        const DetailsLogsFailLog& got = receiver.received.first();
        QCOMPARE(got.username, record.username);
        QCOMPARE(got.logins, 4);
        QVERIFY(got.loggedIn);
        QCOMPARE(got.timeSpent, record.timeSpent);
        QCOMPARE(got.failedLogins, 2);
        QCOMPARE(got.maxFails, 5);
        QCOMPARE(got.lastLogin, record.lastLogin);
        QCOMPARE(receiver.receivedPacket.payload, packet.payload);
        QCOMPARE(receiver.receivedPacket.sequenceNumber, 4000000000u);
    }

    void classifySeverity_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("severity");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("plain") << "Started Session 3 of user alice." << 0;
        QTest::newRow("warning in capitals") << "WARNING: low battery" << 1;
        QTest::newRow("inside a word") << "a terror of a day" << 2;
        QTest::newRow("both words") << "Warning: I/O error on sda" << 2;
    }
    void classifySeverity() {
        QFETCH(QString, message);
        QFETCH(int, severity);
        QCOMPARE(WorkerLogs::classifySeverity(message), severity);
    }

    void overlayCoversItsTable() {
        QTableWidget table(3, 2);
        table.resize(400, 300);
        auto* overlay = new LoadingOverlay(&table);
        QCOMPARE(overlay->geometry(), table.rect());
        QVERIFY(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(overlay->progress(), 0);
        overlay->hide();
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        table.resize(500, 350);
        overlay->show();
        QTRY_COMPARE(overlay->geometry(), table.rect());
        overlay->setProgress(40);
        QCOMPARE(overlay->progress(), 40);
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
