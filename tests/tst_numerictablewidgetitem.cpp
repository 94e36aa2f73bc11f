#include "numerictablewidgetitem.h"

#include <QTableWidget>
#include <QtTest>

// Cells that sort by the number in their text, as the Processes and Logs
// tables use them.
class TestNumericTableWidgetItem : public QObject {
    Q_OBJECT
private slots:
    void numericValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "42" << 42.0;
        QTest::newRow("decimal") << "10.5" << 10.5;
        QTest::newRow("megabytes") << "999.9 MB" << 999900.0;
        QTest::newRow("gigabytes") << "2.50 GB" << 2500000.0;
        QTest::newRow("both units") << "1 GB MB" << 1e6;
        QTest::newRow("no blank before unit") << "12.3MB" << 0.0;
        QTest::newRow("decimal comma") << "1,5 MB" << 0.0;
        QTest::newRow("N/A") << "N/A" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("not a number") << "nan" << 0.0;
        QTest::newRow("infinite") << "inf GB" << 0.0;
        QTest::newRow("seconds since boot") << "12345.678901" << 12345.678901;
    }
    void numericValue() {
        QFETCH(QString, text);
        QTEST(NumericTableWidgetItem::toNumericValue(text), "value");
    }

    void tableSortsByValue() {
        QTableWidget table(0, 1);
        const QStringList texts{"2.50 GB",  "999 KB", "N/A", "1.0 MB", "0 KB",
                                "999.9 MB", "512 KB", "",    "nan"};
        table.setRowCount(texts.size());
        for (int row = 0; row < texts.size(); ++row)
            table.setItem(row, 0, new NumericTableWidgetItem(texts.at(row)));
        table.sortItems(0, Qt::AscendingOrder);
        QStringList sorted;
        for (int row = 0; row < table.rowCount(); ++row)
            sorted << table.item(row, 0)->text();
        // The four zero values keep some order among themselves; the rest is by size.
        QCOMPARE(QSet<QString>(sorted.begin(), sorted.begin() + 4),
                 QSet<QString>({"N/A", "0 KB", "", "nan"}));
        QCOMPARE(sorted.mid(4), QStringList({"512 KB", "999 KB", "1.0 MB", "999.9 MB", "2.50 GB"}));

        table.sortItems(0, Qt::DescendingOrder);
        QCOMPARE(table.item(0, 0)->text(), QString("2.50 GB"));
    }
};

QTEST_MAIN(TestNumericTableWidgetItem)
#include "tst_numerictablewidgetitem.moc"
