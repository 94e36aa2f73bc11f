#include "apppalette.h"
#include "dialogservicedetails.h"
#include "startup.h"
#include "systempaths.h"
#include "tabcronjobs.h"
#include "tabservices.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workercronjobs.h"

#include <QMainWindow>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QtTest>

namespace {
DetailsService record(const QString& name, const QString& state, const QString& description = "About it") {
    return DetailsService{name, state, {}, {}, {}, description};
}

QStringList shownColumn(const QTableWidget* table, int column) {
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (!table->isRowHidden(row))
            texts << table->item(row, column)->text();
    }
    return texts;
}

// A cell's tooltip as the user reads it.
QString shownToolTip(const QTableWidgetItem* item) {
    return QTextDocumentFragment::fromHtml(item->toolTip()).toPlainText();
}

QString currentName(const QTableWidget* table) {
    const int row = table->currentRow();
    return row >= 0 ? table->item(row, 0)->text() : QString();
}
} // namespace

// The Services and Cron Jobs pages on a real X display: a stand-in systemctl
// over the fixture unit folders, and the fixture cron tree.
class TestServicesPages : public QObject {
    Q_OBJECT
    QMainWindow window;
    Ui::MainWindow ui;
    TabServices* services = nullptr;
    TabCronJobs* cron = nullptr;
    QTemporaryDir bin;
    // The fixture cron tree with the modes cron asks for.
    QTemporaryDir cronRoot;
    const QStringList defaultSearchPath = SystemPaths::searchPath();

    void writeStandIn(const QByteArray& body) {
        QVERIFY(TestSupport::writeScript(bin.filePath("systemctl"), body + "\n"));
    }
    void writeFixtureStandIn() {
        writeStandIn("cat '" + TestSupport::testDataPath("services/listing.txt").toUtf8() + "'");
    }
    void fill(const QList<DetailsService>& list) { services->onProcessDataReady({list, {}}); }
    QString screenshotFolder() const { return qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR"); }

private slots:
    void initTestCase() {
        registerSharedMetaTypes();
        applyApplicationPalette(*qApp, false);
        ui.setupUi(&window);
        // tst_launch looks for the program by its window title.
        window.setWindowTitle("Services pages test");
        window.resize(1000, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(TestSupport::copyCronFixture("cron/root", cronRoot.path()));
        SystemPaths::setRootPrefix(cronRoot.path());
        cron = new TabCronJobs(&ui, &window);
        QSignalSpy cronFilled(cron, &TabCronJobs::cronJobsTableFilled);
        QVERIFY(cronFilled.wait(10000));

        SystemPaths::setRootPrefix(TestSupport::testDataPath("services/root"));
        writeFixtureStandIn();
        SystemPaths::prependSearchPath(bin.path());
        services = new TabServices(&ui, &window);
        QSignalSpy servicesFilled(services, &TabServices::servicesTableFilled);
        QVERIFY(servicesFilled.wait(10000));
        QCOMPARE(ui.labelNumberOfServices->text(), QString("6"));
    }

    void cleanupTestCase() {
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(defaultSearchPath);
    }

    void serviceRowColours_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QColor>("background");
        QTest::newRow("enabled light") << "enabled" << false << QColor(231, 255, 229);
        QTest::newRow("enabled dark") << "enabled" << true << QColor(25, 60, 25);
        QTest::newRow("disabled light") << "disabled" << false << QColor(255, 229, 229);
        QTest::newRow("static dark") << "static" << true << QColor(20, 45, 65);
        QTest::newRow("masked light") << "masked" << false << QColor(208, 208, 208);
        QTest::newRow("not-found light") << "not-found" << false << QColor(50, 50, 50);
        QTest::newRow("not-found dark") << "not-found" << true << QColor(220, 220, 220);
    }
    void serviceRowColours() {
        QFETCH(QString, state);
        QFETCH(bool, dark);
        QFETCH(QColor, background);
        applyApplicationPalette(*qApp, dark);
        const bool notFound = state == "not-found";
        const QColor text = notFound ? QColor(dark ? 50 : 230, dark ? 50 : 230, dark ? 50 : 230)
                                     : QApplication::palette().color(QPalette::Active, QPalette::Text);
        fill({record("unit.service", state)});
        applyApplicationPalette(*qApp, false);
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(ui.tableServices->item(0, column)->background().color(), background);
            QCOMPARE(ui.tableServices->item(0, column)->foreground().color(), text);
        }
        // The warning icon marks exactly the rows of units without a file.
        const QImage icon = ui.tableServices->item(0, 0)->icon().pixmap(16).toImage();
        fill({record("other.service", "enabled")});
        QCOMPARE(icon == ui.tableServices->item(0, 0)->icon().pixmap(16).toImage(), !notFound);
    }

    void serviceNamesAndFilter() {
        const QString longDescription = "Network <b>Time</b> Synchronization & a description too long to fit";
        fill({record("nginx.service", "enabled"), record("getty@.service", "static", longDescription),
              record("plain", ""), record("nginx-debug.service", "masked")});
        QCOMPARE(shownColumn(ui.tableServices, 0), QStringList({"getty@", "nginx", "nginx-debug", "plain"}));
        // Cut-off names and descriptions show whole, as text, in the tooltip.
        QCOMPARE(shownToolTip(ui.tableServices->item(0, 0)), QString("getty@.service"));
        QCOMPARE(shownToolTip(ui.tableServices->item(0, 2)), longDescription);
        QCOMPARE(shownToolTip(ui.tableServices->item(0, 1)), QString("Static"));
        QCOMPARE(shownColumn(ui.tableServices, 1), QStringList({"Static", "Enabled", "Masked", ""}));
        ui.lineEditServicesFilter->setText("  NGINX ");
        QCOMPARE(ui.labelNumberOfServices->text(), QString("2"));
        ui.lineEditServicesFilter->setText("about"); // descriptions are not searched
        QCOMPARE(ui.labelNumberOfServices->text(), QString("0"));
        ui.lineEditServicesFilter->setText("nginx");
        fill({record("nginx.service", "enabled"), record("nginx-full.service", "enabled"), record("x", "")});
        QCOMPARE(ui.labelNumberOfServices->text(), QString("2"));
        ui.lineEditServicesFilter->clear();
    }

    void serviceSelectionAndScrollKept() {
        ui.tabWidgetMainTabs->setCurrentIndex(3);
        QList<DetailsService> list;
        for (int i = 0; i < 300; ++i)
            list << record(QString("unit%1.service").arg(i, 3, 10, QChar('0')), "enabled");
        fill(list);
        ui.tableServices->selectRow(150);
        ui.tableServices->verticalScrollBar()->setValue(40);
        list.prepend(record("aaa.service", "disabled")); // sorted first: the selected row moves down
        fill(list);
        QCOMPARE(currentName(ui.tableServices), QString("unit150"));
        QCOMPARE(ui.tableServices->verticalScrollBar()->value(), 40);
        list.removeAt(151);
        fill(list);
        QVERIFY(ui.tableServices->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(ui.tableServices->verticalScrollBar()->value(), 40);
    }

    // A theme flip asks for one listing, painted in the new palette.
    void serviceThemeFlipAndCheckBox() {
        QSignalSpy requests(services, &TabServices::requestUpdateServicesTable);
        QSignalSpy filled(services, &TabServices::servicesTableFilled);
        applyApplicationPalette(*qApp, true);
        services->onThemeChanged();
        QVERIFY(filled.wait(10000));
        QCOMPARE(requests.count(), 1);
        QCOMPARE(ui.tableServices->item(0, 0)->background().color(), QColor(25, 60, 25));
        applyApplicationPalette(*qApp, false);
        ui.checkBoxShowFailedServices->setChecked(true);
        QVERIFY(filled.wait(10000));
        QCOMPARE(ui.tableServices->rowCount(), 10);
        ui.checkBoxShowFailedServices->setChecked(false);
        QVERIFY(filled.wait(10000));
        QCOMPARE(ui.tableServices->rowCount(), 6);
    }

    // A failing or hanging systemctl shows on the page while the window works on.
    void serviceFailureIsShown_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("fails") << QByteArray("echo 'Failed to connect to bus' >&2; exit 1")
                               << "systemctl exited with 1: Failed to connect to bus";
        QTest::newRow("hangs") << QByteArray("exec sleep 60") << "systemctl did not finish in time";
    }
    void serviceFailureIsShown() {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        writeStandIn(body);
        QSignalSpy filled(services, &TabServices::servicesTableFilled);
        services->updateServicesTable();
        QTest::keyClicks(ui.lineEditServicesFilter, "x");
        QCOMPARE(ui.lineEditServicesFilter->text(), QString("x"));
        QVERIFY(filled.wait(15000));
        QVERIFY2(services->failureMessage().endsWith(message), qPrintable(services->failureMessage()));
        QCOMPARE(ui.tableServices->rowCount(), 0);
        QCOMPARE(ui.labelNumberOfServices->text(), QString("0"));
        if (!screenshotFolder().isEmpty())
            window.grab().save(screenshotFolder() + "/services-failure-" + QTest::currentDataTag() + ".png");
        ui.lineEditServicesFilter->clear();
        writeFixtureStandIn();
        services->updateServicesTable();
        QVERIFY(filled.wait(10000));
        QCOMPARE(services->failureMessage(), QString());
    }

    // Opening a row shows its record in the details dialog, as plain text.
    void serviceDetailsDialog() {
        fill({record("nginx.service", "enabled", "<b>Web</b> server"), record("cups.service", "static")});
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            DialogServiceDetails* dialog = services->detailsDialog();
            shown << dialog->findChild<QLabel*>("label_2")->text()
                  << dialog->findChild<QTextEdit*>("textEdit")->toPlainText()
                  << dialog->findChild<QComboBox*>("comboBox")->currentText()
                  << QString::number(dialog->findChild<QPushButton*>("pushButton_2")->isEnabled());
            dialog->accept();
        });
        emit ui.tableServices->activated(ui.tableServices->model()->index(1, 0));
        QCOMPARE(shown, QStringList({"nginx.service", "<b>Web</b> server", "Automatic", "0"}));
    }

    void cronJobsShown() {
        QStringList shownColumns;
        for (int column = 0; column < 6; ++column) {
            if (!ui.tableCronJobs->isColumnHidden(column))
                shownColumns << ui.tableCronJobs->horizontalHeaderItem(column)->text();
        }
        QCOMPARE(shownColumns, QStringList({"Name", "Schedule", "Command"}));
        const int dpkg = shownColumn(ui.tableCronJobs, 0).indexOf("dpkg");
        QCOMPARE(ui.tableCronJobs->item(dpkg, 1)->text(), QString("Every day at 06:25"));
    }

    // The hidden Type column is searched; the name and location are not.
    void cronFilter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("shown");
        QTest::newRow("none") << "" << 18;
        QTest::newRow("type, any case") << " USER " << 5;
        QTest::newRow("system") << "system" << 13;
        QTest::newRow("command") << "run-parts" << 4;
        QTest::newRow("name and location only") << "sysstat" << 0;
    }
    void cronFilter() {
        QFETCH(QString, text);
        QFETCH(int, shown);
        ui.lineEditCronJobsFilter->setText(text);
        QCOMPARE(ui.labelCronJobsEntries->text(), QString::number(shown));
        ui.lineEditCronJobsFilter->clear();
    }

    // A personal crontab is its owner's text: on screen its bidirectional
    // controls show as visible codes and markup stays text, in the cells
    // and in the tooltips that show the whole of them.
    void cronTextOnScreen() {
        const QString rlo = QString(QChar(0x202E));
        QTemporaryDir root;
        QDir().mkpath(root.filePath("etc"));
        QDir().mkpath(root.filePath("var/spool/cron/crontabs"));
        QFile passwd(root.filePath("etc/passwd"));
        QVERIFY(passwd.open(QIODevice::WriteOnly));
        passwd.write(QString("mal" + rlo + "lory:x:1001:1001::/home/m:/bin/sh\n").toUtf8());
        passwd.close();
        QFile crontab(root.filePath("var/spool/cron/crontabs/mal" + rlo + "lory"));
        QVERIFY(crontab.open(QIODevice::WriteOnly));
        crontab.write(QString("*/5 9-17 * * mon-fri /home/m/" + rlo + "gnp.exe   <img src=\"/root/x.png\">\n")
                          .toUtf8());
        crontab.close();
        // As crontab(1) leaves it: cron ignores a personal crontab of any other mode.
        QVERIFY(crontab.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        SystemPaths::setRootPrefix(root.path());
        const QList<DetailsCronJob> jobs = WorkerCronJobs::collectCronJobs();
        SystemPaths::setRootPrefix(TestSupport::testDataPath("services/root"));
        QCOMPARE(jobs.size(), 1);
        cron->onCronJobsDataReady(jobs);

        const QString command = "/home/m/<U+202E>gnp.exe   <img src=\"/root/x.png\">";
        QCOMPARE(ui.tableCronJobs->item(0, TabCronJobs::ColumnName)->text(), QString("mal<U+202E>lory"));
        QCOMPARE(ui.tableCronJobs->item(0, TabCronJobs::ColumnCommand)->text(), command);
        QCOMPARE(shownToolTip(ui.tableCronJobs->item(0, TabCronJobs::ColumnCommand)), command);
        QCOMPARE(shownToolTip(ui.tableCronJobs->item(0, TabCronJobs::ColumnName)),
                 QString("mal<U+202E>lory"));
        QTableWidgetItem* schedule = ui.tableCronJobs->item(0, TabCronJobs::ColumnSchedule);
        QCOMPARE(schedule->text(), QString("Every 5 minutes, 09:00-17:55, Mon-Fri"));
        QCOMPARE(shownToolTip(schedule),
                 QString("Every 5 minutes, 09:00-17:55, Mon-Fri\nSchedule: */5 9-17 * * mon-fri"));
        for (int column = 0; column < ui.tableCronJobs->columnCount(); ++column) {
            QVERIFY(!ui.tableCronJobs->item(0, column)->text().contains(rlo));
            QVERIFY(!ui.tableCronJobs->item(0, column)->toolTip().contains(rlo));
        }
    }

    void cronSelectionKeptAndThemeLabel() {
        ui.tabWidgetMainTabs->setCurrentIndex(4);
        SystemPaths::setRootPrefix(cronRoot.path());
        const QList<DetailsCronJob> collected = WorkerCronJobs::collectCronJobs();
        SystemPaths::setRootPrefix(TestSupport::testDataPath("services/root"));
        QList<DetailsCronJob> jobs;
        for (int copy = 0; copy < 10; ++copy)
            jobs += collected;
        cron->onCronJobsDataReady(jobs);
        ui.tableCronJobs->selectRow(shownColumn(ui.tableCronJobs, 0).lastIndexOf("php"));
        QScrollBar* scrollBar = ui.tableCronJobs->verticalScrollBar();
        QVERIFY(TestSupport::waitFor([&] { return scrollBar->maximum() > 3; }));
        scrollBar->setValue(3);
        cron->onCronJobsDataReady(jobs);
        QCOMPARE(ui.tableCronJobs->currentRow(), shownColumn(ui.tableCronJobs, 0).indexOf("php"));
        QCOMPARE(scrollBar->value(), 3);

        applyApplicationPalette(*qApp, true);
        cron->onThemeChanged();
        QCOMPARE(ui.labelCronJobsInfo->styleSheet(), QString("QLabel {color: #7FA8FF;}"));
        applyApplicationPalette(*qApp, false);
        cron->onThemeChanged();
        QCOMPARE(ui.labelCronJobsInfo->styleSheet(), QString("QLabel {color: #0007CD;}"));
        cron->onCronJobsDataReady({});
        QCOMPARE(ui.labelCronJobsEntries->text(), QString("0"));
    }

    // With TESSMAR_SCREENSHOT_DIR set: the two pages over the fixtures, every
    // state shown, and one service's details.
    void pictures() {
        if (screenshotFolder().isEmpty())
            QSKIP("TESSMAR_SCREENSHOT_DIR is not set");
        QSignalSpy servicesFilled(services, &TabServices::servicesTableFilled);
        ui.checkBoxShowFailedServices->setChecked(true);
        QVERIFY(servicesFilled.wait(10000));
        ui.tabWidgetMainTabs->setCurrentIndex(3);
        QVERIFY(window.grab().save(screenshotFolder() + "/services.png"));
        SystemPaths::setRootPrefix(cronRoot.path());
        cron->onCronJobsDataReady(WorkerCronJobs::collectCronJobs());
        SystemPaths::setRootPrefix(TestSupport::testDataPath("services/root"));
        ui.tabWidgetMainTabs->setCurrentIndex(4);
        QVERIFY(window.grab().save(screenshotFolder() + "/cronjobs.png"));
        // The tooltip of a cut schedule, as the pointer over it shows it.
        QTableWidget* table = ui.tableCronJobs;
        const int sysstat = shownColumn(table, 0).indexOf("sysstat");
        const QRect cell = table->visualItemRect(table->item(sysstat, TabCronJobs::ColumnSchedule));
        QHelpEvent hover(QEvent::ToolTip, cell.center(), table->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(table->viewport(), &hover);
        QVERIFY(TestSupport::waitFor([] { return QToolTip::isVisible(); }));
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("QTipLabel"))
                QVERIFY(QTest::qWaitForWindowExposed(widget));
        }
        window.repaint();
        QVERIFY(window.screen()->grabWindow(0).save(screenshotFolder() + "/cronjobs-tooltip.png"));
        QToolTip::hideText();
        DialogServiceDetails* dialog = services->detailsDialog();
        dialog->setService(services->serviceAt(0));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->grab().save(screenshotFolder() + "/service-details.png"));
        dialog->hide();
    }
};

QTEST_MAIN(TestServicesPages)
#include "tst_servicespages.moc"
