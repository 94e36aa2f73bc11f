#include "detailslogs.h"
#include "loadingoverlay.h"
#include "startup.h"
#include "workerlogs.h"

#include <QTableWidget>
#include <QtTest>

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerSharedMetaTypes(); }

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
