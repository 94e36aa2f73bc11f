#include "apppalette.h"
#include "startup.h"
#include "systempaths.h"
#include "tabcronjobs.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workercronjobs.h"

#include <QMainWindow>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

// The Cron Jobs page on a real X display, over the fixture cron tree.
class TestCronJobsTab : public QObject {
    Q_OBJECT
    QMainWindow* window = nullptr;
    Ui::MainWindow* ui = nullptr;
    TabCronJobs* tab = nullptr;

    QTableWidget* table() const { return ui->tableCronJobs; }

    QStringList shownRows(int column) const {
        QStringList texts;
        for (int row = 0; row < table()->rowCount(); ++row) {
            if (!table()->isRowHidden(row))
                texts << table()->item(row, column)->text();
        }
        return texts;
    }

private slots:
    void initTestCase() {
        registerSharedMetaTypes();
        applyApplicationPalette(*qApp, false);
        SystemPaths::setRootPrefix(TestSupport::testDataPath("cron/root"));
        window = new QMainWindow;
        ui = new Ui::MainWindow;
        ui->setupUi(window);
        // tst_launch looks for the program by its window title.
        window->setWindowTitle("Cron Jobs page test");
        ui->tabWidgetMainTabs->setCurrentWidget(ui->tableCronJobs->parentWidget());
        tab = new TabCronJobs(ui, window);
        QSignalSpy filled(tab, &TabCronJobs::cronJobsTableFilled);
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(TestSupport::waitFor([&] { return !filled.isEmpty(); }));
    }

    void cleanupTestCase() {
        delete window;
        delete ui;
        SystemPaths::setRootPrefix(QString());
    }

    void init() { ui->lineEditCronJobsFilter->clear(); }

    void showsTheCollection() {
        QCOMPARE(table()->rowCount(), 18);
        QCOMPARE(ui->labelCronJobsEntries->text(), QString("18"));
        QStringList shownColumns;
        for (int column = 0; column < 6; ++column) {
            if (!table()->isColumnHidden(column))
                shownColumns << table()->horizontalHeaderItem(column)->text();
        }
        QCOMPARE(shownColumns, QStringList({"Name", "Schedule", "Command"}));
        // Sorted by name; periodic scripts show their fixed sentence.
        QCOMPARE(table()->item(0, 0)->text(), QString("alice"));
        const int dpkg = shownRows(0).indexOf("dpkg");
        QCOMPARE(table()->item(dpkg, 1)->text(), QString("Every day at 06:25"));
        QCOMPARE(table()->item(dpkg, 2)->text(), QString("Custom script file"));
        QCOMPARE(table()->item(dpkg, 4)->text(), QString("/etc/cron.daily/dpkg"));
        QVERIFY(shownRows(1).contains("Every hour at minute 5-55/10"));
    }

    // The hidden Type column is searched; the name and location are not.
    void filter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("shown");
        QTest::newRow("type, any case") << " USER " << 5;
        QTest::newRow("system") << "system" << 13;
        QTest::newRow("command") << "run-parts" << 4;
        QTest::newRow("file name only") << "crontab" << 0;
        QTest::newRow("name and location only") << "sysstat" << 0;
    }
    void filter() {
        QFETCH(QString, text);
        QFETCH(int, shown);
        ui->lineEditCronJobsFilter->setText(text);
        QCOMPARE(shownRows(0).size(), shown);
        QCOMPARE(ui->labelCronJobsEntries->text(), QString::number(shown));
    }

    void selectionKeptAcrossRefill() {
        const QList<DetailsCronJob> collected = WorkerCronJobs::collectCronJobs();
        QList<DetailsCronJob> jobs;
        for (int copy = 0; copy < 10; ++copy)
            jobs += collected;
        tab->onCronJobsDataReady(jobs);
        table()->selectRow(shownRows(0).lastIndexOf("php"));
        table()->verticalScrollBar()->setValue(3);
        tab->onCronJobsDataReady(jobs);
        QCOMPARE(table()->currentRow(), shownRows(0).indexOf("php"));
        QCOMPARE(table()->verticalScrollBar()->value(), 3);
        tab->onCronJobsDataReady({});
        QCOMPARE(ui->labelCronJobsEntries->text(), QString("0"));
        tab->onCronJobsDataReady(collected);
    }

    // Only the explanatory label follows the theme.
    void themeColoursTheLabel() {
        const QBrush before = table()->item(0, 0)->background();
        applyApplicationPalette(*qApp, true);
        tab->onThemeChanged();
        QCOMPARE(ui->labelCronJobsInfo->styleSheet(), QString("QLabel {color: #7FA8FF;}"));
        QCOMPARE(table()->item(0, 0)->background(), before);
        applyApplicationPalette(*qApp, false);
        tab->onThemeChanged();
        QCOMPARE(ui->labelCronJobsInfo->styleSheet(), QString("QLabel {color: #0007CD;}"));
    }
};

QTEST_MAIN(TestCronJobsTab)
#include "tst_cronjobstab.moc"
