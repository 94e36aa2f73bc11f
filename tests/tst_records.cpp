#include "loadingoverlay.h"
#include "numerictablewidgetitem.h"
#include "workerlogs.h"

#include <QTableWidget>
#include <QtTest>

// Small pieces the tables share: log severities, numeric cells and the
// loading veil.
class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void classifySeverity_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("severity");
        QTest::newRow("plain") << "Started Session 3 of user alice." << 0;
        QTest::newRow("warning in capitals") << "WARNING: low battery" << 1;
        QTest::newRow("inside a word") << "a terror of a day" << 2;
        QTest::newRow("both words") << "Warning: I/O error on sda" << 2;
    }
    void classifySeverity() {
        QFETCH(QString, message);
        QTEST(WorkerLogs::classifySeverity(message), "severity");
    }

    // Cells sort by the number in their text; what is not a finite number is 0.
    void numericValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "42" << 42.0;
        QTest::newRow("megabytes") << "999.9 MB" << 999900.0;
        QTest::newRow("both units") << "1 GB MB" << 1e6;
        QTest::newRow("no blank before unit") << "12.3MB" << 0.0;
        QTest::newRow("decimal comma") << "1,5 MB" << 0.0;
        QTest::newRow("N/A") << "N/A" << 0.0;
        QTest::newRow("not a number") << "nan" << 0.0;
        QTest::newRow("infinite") << "inf GB" << 0.0;
    }
    void numericValue() {
        QFETCH(QString, text);
        QTEST(NumericTableWidgetItem::toNumericValue(text), "value");
    }

    // The veil covers its table again when shown after the table was resized.
    void overlayCoversItsTable() {
        QTableWidget table(3, 2);
        auto* overlay = new LoadingOverlay(&table);
        overlay->hide();
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        table.resize(500, 350);
        overlay->show();
        QTRY_COMPARE(overlay->geometry(), table.rect());
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
