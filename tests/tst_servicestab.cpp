#include "apppalette.h"
#include "dialogservicedetails.h"
#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "tabservices.h"
#include "testsupport.h"
#include "ui_dialogservicedetails.h"
#include "ui_mainwindow.h"

#include <QMainWindow>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
DetailsService record(const QString& name, const QString& state, const QString& description = "About it") {
    DetailsService service;
    service.unitName = name;
    service.unitFileState = state;
    service.description = description;
    return service;
}

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}
} // namespace

// The Services page on a real X display, fed by a stand-in systemctl over
// the fixture unit folders.
class TestServicesTab : public QObject {
    Q_OBJECT
    QMainWindow* window = nullptr;
    Ui::MainWindow* ui = nullptr;
    TabServices* tab = nullptr;
    QTemporaryDir bin;
    const QStringList defaultSearchPath = SystemPaths::searchPath();

    QTableWidget* table() const { return ui->tableServices; }

    void writeStandIn(const QByteArray& body) {
        QFile script(bin.filePath("systemctl"));
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    void writeFixtureStandIn() {
        writeStandIn("cat '" + TestSupport::testDataPath("services/listing.txt").toUtf8() + "'");
    }

    void fill(const QList<DetailsService>& services) { tab->onProcessDataReady(services); }

    QString currentName() const {
        const int row = table()->currentRow();
        return row >= 0 && table()->item(row, 0) ? table()->item(row, 0)->text() : QString();
    }

    QStringList shownNames() const {
        QStringList names;
        for (int row = 0; row < table()->rowCount(); ++row) {
            if (!table()->isRowHidden(row))
                names << table()->item(row, 0)->text();
        }
        return names;
    }

private slots:
    void initTestCase() {
        registerSharedMetaTypes();
        applyApplicationPalette(*qApp, false);
        SystemPaths::setRootPrefix(TestSupport::testDataPath("services/root"));
        writeFixtureStandIn();
        SystemPaths::prependSearchPath(bin.path());

        window = new QMainWindow;
        ui = new Ui::MainWindow;
        ui->setupUi(window);
        // tst_launch looks for the program by its window title.
        window->setWindowTitle("Services page test");
        ui->tabWidgetMainTabs->setCurrentWidget(ui->tableServices->parentWidget());
        tab = new TabServices(ui, window);
        QSignalSpy firstFill(tab, &TabServices::servicesTableFilled);
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(TestSupport::waitFor([&] { return !firstFill.isEmpty(); }));
        QCOMPARE(table()->rowCount(), 6);
        QCOMPARE(ui->labelNumberOfServices->text(), QString("6"));
    }

    void cleanupTestCase() {
        delete window;
        delete ui;
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(defaultSearchPath);
    }

    void init() { ui->lineEditServicesFilter->clear(); }

    void rowColours_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QColor>("background");
        QTest::newRow("enabled light") << "enabled" << false << rgb(231, 255, 229);
        QTest::newRow("enabled dark") << "enabled" << true << rgb(25, 60, 25);
        QTest::newRow("disabled light") << "disabled" << false << rgb(255, 229, 229);
        QTest::newRow("disabled dark") << "disabled" << true << rgb(65, 25, 25);
        QTest::newRow("static light") << "static" << false << rgb(229, 248, 255);
        QTest::newRow("static dark") << "static" << true << rgb(20, 45, 65);
        QTest::newRow("masked light") << "masked" << false << rgb(208, 208, 208);
        QTest::newRow("masked dark") << "masked" << true << rgb(55, 55, 55);
        QTest::newRow("alias light") << "alias" << false << rgb(255, 236, 195);
        QTest::newRow("generated dark") << "generated" << true << rgb(70, 50, 20);
        QTest::newRow("not-found light") << "not-found" << false << rgb(50, 50, 50);
        QTest::newRow("not-found dark") << "not-found" << true << rgb(220, 220, 220);
    }
    void rowColours() {
        QFETCH(QString, state);
        QFETCH(bool, dark);
        QFETCH(QColor, background);
        applyApplicationPalette(*qApp, dark);
        const bool notFound = state == "not-found";
        const QColor text = notFound ? (dark ? rgb(50, 50, 50) : rgb(230, 230, 230))
                                     : QApplication::palette().color(QPalette::Active, QPalette::Text);
        fill({record("unit.service", state)});
        applyApplicationPalette(*qApp, false);
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(table()->item(0, column)->background().color(), background);
            QCOMPARE(table()->item(0, column)->foreground().color(), text);
        }
        // The warning icon marks exactly the rows of units without a file.
        const QImage icon = table()->item(0, 0)->icon().pixmap(16).toImage();
        QVERIFY(!icon.isNull());
        fill({record("other.service", "enabled")});
        QCOMPARE(icon == table()->item(0, 0)->icon().pixmap(16).toImage(), !notFound);
    }

    void namesStatesAndFilter() {
        fill({record("nginx.service", "enabled"), record("getty@.service", "static"), record("plain", ""),
              record("ssh.SERVICE", "disabled"), record("nginx-debug.service", "masked")});
        QCOMPARE(shownNames(), QStringList({"getty@", "nginx", "nginx-debug", "plain", "ssh.SERVICE"}));
        QStringList states;
        for (int row = 0; row < 5; ++row)
            states << table()->item(row, 1)->text();
        QCOMPARE(states, QStringList({"Static", "Enabled", "Masked", "", "Disabled"}));

        ui->lineEditServicesFilter->setText("  NGINX ");
        QCOMPARE(shownNames(), QStringList({"nginx", "nginx-debug"}));
        QCOMPARE(ui->labelNumberOfServices->text(), QString("2"));
        // The description is not searched; the filter holds across a refill.
        ui->lineEditServicesFilter->setText("about");
        QCOMPARE(ui->labelNumberOfServices->text(), QString("0"));
        ui->lineEditServicesFilter->setText("nginx");
        fill({record("nginx.service", "enabled"), record("nginx-full.service", "enabled"),
              record("nginx-light.service", "enabled")});
        QCOMPARE(ui->labelNumberOfServices->text(), QString("3"));
        fill({});
        QCOMPARE(ui->labelNumberOfServices->text(), QString("0"));
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 0);
    }

    void selectionAndScrollKept() {
        QList<DetailsService> services;
        for (int i = 0; i < 300; ++i)
            services << record(QString("unit%1.service").arg(i, 3, 10, QChar('0')), "enabled");
        fill(services);
        table()->selectRow(150);
        table()->verticalScrollBar()->setValue(40);
        // Sorted by name: a new first row moves the selected one down.
        services.prepend(record("aaa.service", "disabled"));
        fill(services);
        QCOMPARE(currentName(), QString("unit150"));
        QCOMPARE(table()->currentRow(), 151);
        QCOMPARE(table()->verticalScrollBar()->value(), 40);
        services.removeAt(151);
        fill(services);
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 0);
        QCOMPARE(table()->verticalScrollBar()->value(), 40);
    }

    // A theme flip asks for one listing and repaints every row in the new palette.
    void themeFlipRelists() {
        QSignalSpy requests(tab, &TabServices::requestUpdateServicesTable);
        QSignalSpy filled(tab, &TabServices::servicesTableFilled);
        applyApplicationPalette(*qApp, true);
        tab->onThemeChanged();
        QVERIFY(filled.wait(10000));
        QCOMPARE(requests.count(), 1);
        QCOMPARE(table()->rowCount(), 6);
        for (int row = 0; row < table()->rowCount(); ++row) {
            const QColor background = table()->item(row, 0)->background().color();
            QVERIFY(background == rgb(25, 60, 25) || background == rgb(65, 25, 25));
        }
        applyApplicationPalette(*qApp, false);
    }

    void checkBoxListsEveryState() {
        QSignalSpy filled(tab, &TabServices::servicesTableFilled);
        ui->checkBoxShowFailedServices->setChecked(true);
        QVERIFY(filled.wait(10000));
        QCOMPARE(table()->rowCount(), 10);
        ui->checkBoxShowFailedServices->setChecked(false);
        QVERIFY(filled.wait(10000));
        QCOMPARE(table()->rowCount(), 6);
    }

    // A failing or hanging systemctl shows on the page; the window keeps working.
    void failureIsShown_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("fails") << QByteArray("echo 'Failed to connect to bus' >&2; exit 1")
                               << "systemctl exited with 1: Failed to connect to bus";
        QTest::newRow("hangs") << QByteArray("exec sleep 60") << "systemctl did not finish in time";
    }
    void failureIsShown() {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        writeStandIn(body);
        QSignalSpy filled(tab, &TabServices::servicesTableFilled);
        QSignalSpy typed(ui->lineEditServicesFilter, &QLineEdit::textChanged);
        tab->updateServicesTable();
        QTest::keyClicks(ui->lineEditServicesFilter, "x");
        QCOMPARE(typed.count(), 1);
        QVERIFY(filled.wait(15000));
        QVERIFY2(tab->failureMessage().endsWith(message), qPrintable(tab->failureMessage()));
        QCOMPARE(table()->rowCount(), 0);
        QCOMPARE(ui->labelNumberOfServices->text(), QString("0"));
        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            window->grab().save(folder + "/services-failure-" + QTest::currentDataTag() + ".png");

        writeFixtureStandIn();
        tab->updateServicesTable();
        QVERIFY(filled.wait(10000));
        QCOMPARE(tab->failureMessage(), QString());
    }

    // Opening a row shows its record in the details dialog, as plain text.
    void detailsDialog() {
        fill({record("nginx.service", "enabled", "<b>Web</b> server"), record("cups.service", "static")});
        QString serviceName;
        QString description;
        int startupType = -1;
        bool startEnabled = true;
        QTimer::singleShot(0, this, [&] {
            DialogServiceDetails* dialog = tab->detailsDialog();
            auto* form = dialog->findChild<QTextEdit*>("textEdit");
            serviceName = dialog->findChild<QLabel*>("label_2")->text();
            description = form->toPlainText();
            startupType = dialog->findChild<QComboBox*>("comboBox")->currentIndex();
            startEnabled = dialog->findChild<QPushButton*>("pushButton_2")->isEnabled();
            const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
            if (!folder.isEmpty())
                dialog->grab().save(folder + "/service-details.png");
            dialog->accept();
        });
        emit table()->activated(table()->model()->index(1, 0));
        QCOMPARE(serviceName, QString("nginx.service"));
        QCOMPARE(description, QString("<b>Web</b> server"));
        QCOMPARE(startupType, 0);
        QVERIFY(!startEnabled);
    }

    // With TESSMAR_SCREENSHOT_DIR set: the program's own window on this
    // machine's real services and cron jobs, and one service's details.
    void realDataPictures() {
        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (folder.isEmpty())
            QSKIP("TESSMAR_SCREENSHOT_DIR is not set");
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(defaultSearchPath);
        MainWindow real;
        real.resize(1000, 720);
        real.show();
        QVERIFY(QTest::qWaitForWindowExposed(&real));
        Ui::MainWindow* form = real.form();
        form->tabWidgetMainTabs->setCurrentIndex(3);
        QVERIFY(TestSupport::waitFor([&] { return form->tableServices->rowCount() > 0; }));
        form->checkBoxShowFailedServices->setChecked(true);
        QVERIFY(TestSupport::waitFor([&] { return form->labelNumberOfServices->text().toInt() > 20; }));
        QTest::qWait(200);
        QVERIFY(real.grab().save(folder + "/services.png"));
        form->tabWidgetMainTabs->setCurrentIndex(4);
        QVERIFY(TestSupport::waitFor([&] { return form->tableCronJobs->rowCount() > 0; }));
        QTest::qWait(200);
        QVERIFY(real.grab().save(folder + "/cronjobs.png"));

        auto* dialog = real.findChild<DialogServiceDetails*>();
        QVERIFY(dialog);
        auto* services = real.findChild<TabServices*>();
        dialog->setService(services->serviceAt(0));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->grab().save(folder + "/service-details-real.png"));
        dialog->hide();
    }
};

QTEST_MAIN(TestServicesTab)
#include "tst_servicestab.moc"
