#include "apppalette.h"
#include "dialogservicedetails.h"
#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "tabcronjobs.h"
#include "tabservices.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workercronjobs.h"

#include <QMainWindow>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
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
    const QStringList defaultSearchPath = SystemPaths::searchPath();

    void writeStandIn(const QByteArray& body) {
        QVERIFY(TestSupport::writeScript(bin.filePath("systemctl"), body + "\n"));
    }
    void writeFixtureStandIn() {
        writeStandIn("cat '" + TestSupport::testDataPath("services/listing.txt").toUtf8() + "'");
    }
    void fill(const QList<DetailsService>& list) { services->onProcessDataReady(list); }
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

        SystemPaths::setRootPrefix(TestSupport::testDataPath("cron/root"));
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
        fill({record("nginx.service", "enabled"), record("getty@.service", "static"), record("plain", ""),
              record("nginx-debug.service", "masked")});
        QCOMPARE(shownColumn(ui.tableServices, 0), QStringList({"getty@", "nginx", "nginx-debug", "plain"}));
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

    void cronSelectionKeptAndThemeLabel() {
        ui.tabWidgetMainTabs->setCurrentIndex(4);
        SystemPaths::setRootPrefix(TestSupport::testDataPath("cron/root"));
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

    // With TESSMAR_SCREENSHOT_DIR set: the program's window on this machine's
    // real services and cron jobs, and one service's details.
    void realDataPictures() {
        if (screenshotFolder().isEmpty())
            QSKIP("TESSMAR_SCREENSHOT_DIR is not set");
        cleanupTestCase();
        MainWindow real;
        real.resize(1000, 720);
        real.show();
        QVERIFY(QTest::qWaitForWindowExposed(&real));
        Ui::MainWindow* form = real.form();
        form->tabWidgetMainTabs->setCurrentIndex(3);
        form->checkBoxShowFailedServices->setChecked(true);
        QVERIFY(TestSupport::waitFor([&] { return form->labelNumberOfServices->text().toInt() > 20; }));
        QVERIFY(real.grab().save(screenshotFolder() + "/services.png"));
        form->tabWidgetMainTabs->setCurrentIndex(4);
        QVERIFY(TestSupport::waitFor([&] { return form->tableCronJobs->rowCount() > 0; }));
        QVERIFY(real.grab().save(screenshotFolder() + "/cronjobs.png"));
        auto* dialog = real.findChild<DialogServiceDetails*>();
        dialog->setService(real.findChild<TabServices*>()->serviceAt(0));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->grab().save(screenshotFolder() + "/service-details.png"));
    }
};

QTEST_MAIN(TestServicesPages)
#include "tst_servicespages.moc"
