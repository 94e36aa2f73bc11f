#include "loadingoverlay.h"
#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "tablogs.h"
#include "testsupport.h"
#include "themecolors.h"
#include "ui_mainwindow.h"

#include <QtTest>
#include <memory>

namespace {
void copyFixture(const QString& name, const QString& target) {
    QDir().mkpath(QFileInfo(target).path());
    QVERIFY(QFile::copy(TestSupport::testDataPath("logs/" + name), target));
}

void writeFile(const QString& path, const QByteArray& data, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
    file.close();
    if (executable)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void printsFixture(const QString& folder, const QString& tool, const QString& fixture) {
    writeFile(folder + "/" + tool,
              ("#!/bin/sh\ncat '" + TestSupport::testDataPath("logs/" + fixture) + "'\n").toUtf8(), true);
}

void setWindowColour(const QColor& colour) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, colour);
    QApplication::setPalette(palette);
}

QStringList column(QTableWidget* table, int column) {
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

int visibleRows(QTableWidget* table) {
    int visible = 0;
    for (int row = 0; row < table->rowCount(); ++row)
        visible += table->isRowHidden(row) ? 0 : 1;
    return visible;
}

QList<DetailsLogsSysLog> syslogRecords(int count, const QString& prefix) {
    QList<DetailsLogsSysLog> records;
    for (int i = 0; i < count; ++i) {
        DetailsLogsSysLog record;
        record.timestamp = QStringLiteral("Mar 04 10:%1").arg(i);
        record.timeKey = i;
        record.service = QStringLiteral("app");
        record.message = QStringLiteral("%1 %2").arg(prefix).arg(i);
        records << record;
    }
    return records;
}
} // namespace

// The Logs page inside a real main window, fed from a fixture root and
// stand-in tools: the first load, colours, filters, sorting and fills that
// overlap.
class TestLogsTab : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QTemporaryDir tools;
    QStringList originalSearchPath;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    TabLogs* tab = nullptr;

    bool everyPageAnswered() const {
        QTableWidget* const tables[] = {ui->tableLogsSysLog,   ui->tableLogsAuthLog,   ui->tableLogsKernLog,
                                        ui->tableLogsDmesgLog, ui->tableLogsBootLog,   ui->tableLogsFailLog,
                                        ui->tableLogsDpkgLog,  ui->tableLogsFlatpakLog};
        for (int page = 0; page < TabLogs::PageCount; ++page)
            if (tables[page]->rowCount() == 0 && tab->unavailableReason(TabLogs::Page(page)).isEmpty())
                return false;
        return true;
    }

    void openWindow() {
        window = std::make_unique<MainWindow>();
        ui = window->form();
        tab = window->findChild<TabLogs*>();
        // Not "Tessmar": the launch test counts the program's windows on this display.
        window->setWindowTitle(QStringLiteral("Tessmar Logs page test"));
        window->resize(1000, 640);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        ui->tabWidgetMainTabs->setCurrentIndex(7);
    }

    void saveScreenshots(const QString& prefix) {
        const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOTS");
        const char* names[] = {"syslog",  "authlog", "kernlog", "dmesg",
                               "bootlog", "userlog", "debs",    "flatpak"};
        for (int page = 0; !folder.isEmpty() && page < TabLogs::PageCount; ++page) {
            ui->tabWidgetLogsTabs->setCurrentIndex(page);
            QTest::qWait(50);
            window->grab().save(folder + QStringLiteral("/%1-%2.png").arg(prefix, names[page]));
        }
        ui->tabWidgetLogsTabs->setCurrentIndex(0);
    }

private slots:
    void initTestCase() {
        qunsetenv("SUDO_USER");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        registerSharedMetaTypes();
        SystemPaths::setRootPrefix(root.path());
        writeFile(root.path() + "/etc/debian_version", "12.5\n");
        // An old month-name syslog on a new release; no auth.log or kern.log.
        copyFixture("syslog.classic", root.path() + "/var/log/syslog");
        copyFixture("boot.log", root.path() + "/var/log/boot.log");
        copyFixture("dpkg.log", root.path() + "/var/log/dpkg.log");
        copyFixture("passwd", root.path() + "/etc/passwd");
        printsFixture(tools.path(), "dmesg", "dmesg.txt");
        printsFixture(tools.path(), "faillog", "faillog.txt");
        printsFixture(tools.path(), "last", "last.txt");
        printsFixture(tools.path(), "who", "who.txt");
        // Eleven Flatpak changes, newest time text first, so that only the
        // running number gives the order 1, 2, ... 10, 11.
        QByteArray history = "Time\tChange\tApplication\tVersion\tType\tRemote\n";
        for (int i = 1; i <= 11; ++i)
            history += QStringLiteral(
                           "Mon 04 Mar 2025 10:%1:00 CET\tdeploy %2\torg.example.App%3\t1.%3\tapp\tflathub\n")
                           .arg(60 - i)
                           .arg(i % 3 == 0   ? "uninstall"
                                : i % 3 == 1 ? "install"
                                             : "update")
                           .arg(i)
                           .toUtf8();
        writeFile(tools.path() + "/history.txt", history);
        writeFile(tools.path() + "/flatpak", ("#!/bin/sh\ncat '" + tools.path() + "/history.txt'\n").toUtf8(),
                  true);
        originalSearchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());

        openWindow();
        QVERIFY(TestSupport::waitFor([this] { return tab->isInitialized() && everyPageAnswered(); }));
    }
    void cleanupTestCase() {
        window.reset();
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(originalSearchPath);
    }

    void everyPageShowsItsSourceOrWhyNot() {
        QCOMPARE(ui->tableLogsSysLog->rowCount(), 7);
        QVERIFY(tab->unavailableReason(TabLogs::AuthLog).contains("rsyslog"));
        QVERIFY(tab->unavailableReason(TabLogs::KernLog).contains("/var/log/kern.log"));
        QCOMPARE(ui->tableLogsAuthLog->rowCount(), 0);
        QCOMPARE(ui->labelLogsAuthLogEntries->text(), QStringLiteral("0"));
        QCOMPARE(ui->tableLogsDmesgLog->rowCount(), 8);
        QCOMPARE(ui->tableLogsBootLog->rowCount(), 6);
        QCOMPARE(ui->tableLogsFailLog->rowCount(), 3);
        QCOMPARE(ui->tableLogsDpkgLog->rowCount(), 14);
        QCOMPARE(ui->labelLogsDpkgLogEntries->text(), QStringLiteral("14"));
        QCOMPARE(ui->tableLogsFlatpakLog->rowCount(), 11);
        for (int page = 0; page < TabLogs::PageCount; ++page)
            QVERIFY(!tab->overlay(TabLogs::Page(page))->isVisible());
        saveScreenshots("logs");
    }

    void pagesSortByWhatTheColumnMeans() {
        // Newest first, December of the year before last.
        const QStringList times = column(ui->tableLogsSysLog, 0);
        QCOMPARE(times.first(), QStringLiteral("Feb 10 08:00:01"));
        QCOMPARE(times.last(), QStringLiteral("Dec 31 23:59:58"));
        QCOMPARE(times.indexOf("Jan  1 00:00:01") + 1, times.indexOf("Dec 31 23:59:59"));
        QCOMPARE(column(ui->tableLogsDmesgLog, 0),
                 QStringList({"0.000000", "0.000000", "0.004000", "0.004000", "1.234567", "12.000001",
                              "100.5", "1000.000000"}));
        QStringList ids;
        for (int row = 0; row < ui->tableLogsFlatpakLog->rowCount(); ++row)
            ids << ui->tableLogsFlatpakLog->item(row, 0)->data(Qt::UserRole).toString();
        QCOMPARE(ids, QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}));
        // Boot and login pages keep the order of their source.
        QCOMPARE(column(ui->tableLogsFailLog, 0), QStringList({"alice", "bob", "carol"}));
    }

    void rowsAreColouredInBothPalettes_data() {
        QTest::addColumn<QColor>("windowColour");
        QTest::addColumn<QString>("labelColour");
        QTest::newRow("light") << QColor(239, 239, 239) << "#0007cd";
        QTest::newRow("dark") << QColor(35, 35, 35) << "#7FA8FF";
    }
    void rowsAreColouredInBothPalettes() {
        QFETCH(QColor, windowColour);
        QFETCH(QString, labelColour);
        const QPalette original = QApplication::palette();
        setWindowColour(windowColour);
        QSignalSpy refilled(tab, &TabLogs::requestUpdateLogsFlatpakLogTable);
        emit window->themeChanged();
        QCOMPARE(refilled.count(), 1);
        QTest::qWait(300);
        QVERIFY(TestSupport::waitFor([this] { return everyPageAnswered(); }));
        QVERIFY(ui->label_10->styleSheet().contains(labelColour));
        QVERIFY(ui->tabWidgetLogsTabs->styleSheet().contains(labelColour));

        const auto background = [](QTableWidget* table, int row, int col = 0) {
            return table->item(row, col)->background().color();
        };
        QTableWidget* dpkg = ui->tableLogsDpkgLog;
        for (int row = 0; row < dpkg->rowCount(); ++row) {
            const QString action = dpkg->item(row, 1)->text();
            const QColor expected = action == "install"   ? statusColorGreen()
                                    : action == "upgrade" ? statusColorAmber()
                                                          : statusColorRed();
            QCOMPARE(background(dpkg, row, 3), expected);
        }
        QTableWidget* sys = ui->tableLogsSysLog;
        for (int row = 0; row < sys->rowCount(); ++row) {
            const bool warning = sys->item(row, 2)->text().contains("WARNING");
            QCOMPARE(background(sys, row, 1), warning ? statusColorAmber() : statusColorGreen());
            QCOMPARE(sys->item(row, 0)->data(Qt::UserRole).toString(), warning ? "warning" : "information");
            QVERIFY(!sys->item(row, 0)->icon().isNull() && sys->item(row, 1)->icon().isNull());
        }
        QTableWidget* logins = ui->tableLogsFailLog;
        QCOMPARE(background(logins, 0), statusColorGreen()); // alice, no failures
        QCOMPARE(background(logins, 1), statusColorRed());   // bob, 3 failures
        QVERIFY(logins->item(1, 4)->textAlignment() & Qt::AlignRight);
        QCOMPARE(logins->item(1, 2)->text(), QStringLiteral("Yes"));
        QApplication::setPalette(original);
    }

    void kindButtonsAndFilterNarrowTogether() {
        QTableWidget* sys = ui->tableLogsSysLog;
        ui->pushButtonLogsSysLogInfo->click();
        QCOMPARE(visibleRows(sys), 1);
        QCOMPARE(ui->labelLogsSysLogEntries->text(), QStringLiteral("1"));
        ui->lineEditLogsSysLogFilter->setText("cron");
        QCOMPARE(visibleRows(sys), 0);
        ui->pushButtonLogsSysLogInfo->click();
        ui->lineEditLogsSysLogFilter->setText("  CRON ");
        QCOMPARE(visibleRows(sys), 2); // CRON, and anacron's cron.daily
        // Sorted by another column, also when reloaded, the filter still
        // hides the right rows.
        sys->sortItems(1);
        ui->pushButtonLogsSysLogReload->click();
        QVERIFY(TestSupport::waitFor([&] { return !tab->overlay(TabLogs::SysLog)->isVisible(); }));
        for (int row = 1; row < sys->rowCount(); ++row)
            QVERIFY(!(*sys->item(row, 1) < *sys->item(row - 1, 1)));
        ui->lineEditLogsSysLogFilter->setText("warning");
        QCOMPARE(visibleRows(sys), 1);
        for (int row = 0; row < sys->rowCount(); ++row)
            QCOMPARE(!sys->isRowHidden(row), sys->item(row, 2)->text().contains("WARNING"));
        sys->sortItems(0, Qt::DescendingOrder);
        ui->lineEditLogsSysLogFilter->clear();
        QCOMPARE(visibleRows(sys), 7);

        // "[ OK ]" also stands for lines without a status.
        ui->pushButtonLogsBootLogInfo->click();
        QCOMPARE(visibleRows(ui->tableLogsBootLog), 2);
        ui->pushButtonLogsBootLogInfo->click();
        ui->pushButtonLogsDpkgLogRemove->click();
        QCOMPARE(ui->labelLogsDpkgLogEntries->text(), QStringLiteral("11"));
        ui->pushButtonLogsDpkgLogRemove->click();
        ui->pushButtonLogsFlatpakLogRemove->click();
        QCOMPARE(visibleRows(ui->tableLogsFlatpakLog), 8);
        ui->pushButtonLogsFlatpakLogRemove->click();
    }

    void progressFollowsTheFill() {
        QProgressBar* bar = tab->overlay(TabLogs::SysLog)->findChild<QProgressBar*>();
        QVERIFY(bar);
        bar->setValue(0);
        QSignalSpy progress(bar, &QProgressBar::valueChanged);
        tab->onSysLogDataReady(syslogRecords(250, "p"));
        QCOMPARE(progress.count(), 2);
        QCOMPARE(progress.at(0).first().toInt(), 40);
        QCOMPARE(progress.at(1).first().toInt(), 80);
        QCOMPARE(ui->labelLogsSysLogEntries->text(), QStringLiteral("250"));
    }

    // A second answer for a page that arrives while the page fills, and a
    // Reload clicked meanwhile: one veil, and the newest list alone.
    void newestListWinsAndOneVeilRemains() {
        QTableWidget* sys = ui->tableLogsSysLog;
        bool reloaded = false;
        QTimer::singleShot(0, this, [&] {
            QVERIFY(tab->isFilling(TabLogs::SysLog));
            ui->pushButtonLogsSysLogReload->click();
            reloaded = tab->overlay(TabLogs::SysLog)->isVisible();
            tab->onSysLogDataReady(syslogRecords(300, "newest"));
        });
        tab->onSysLogDataReady(syslogRecords(20000, "older"));
        QVERIFY(reloaded);
        // Either the list that arrived during the fill, or, if the Reload's
        // answer came in before that list was shown, the Reload's: never
        // the older list, and never two mixed.
        const QStringList messages = column(sys, 2);
        QVERIFY2(sys->rowCount() == 300 || sys->rowCount() == 7,
                 qPrintable(QString::number(sys->rowCount())));
        for (const QString& message : messages)
            QVERIFY2(!message.startsWith("older") && (sys->rowCount() == 7 || message.startsWith("newest")),
                     qPrintable(message));
        QCOMPARE(sys->findChildren<LoadingOverlay*>().size(), 1);
        // The Reload's own answer (the fixture syslog) comes last.
        QVERIFY(TestSupport::waitFor([&] { return sys->rowCount() == 7; }));
        QVERIFY(!tab->overlay(TabLogs::SysLog)->isVisible());
    }

    void aSourceThatVanishesSaysSo() {
        QFile::remove(root.path() + "/var/log/dpkg.log");
        ui->pushButtonLogsDpkgLogReload->click();
        QVERIFY(TestSupport::waitFor([this] { return !tab->unavailableReason(TabLogs::DpkgLog).isEmpty(); }));
        QCOMPARE(ui->tableLogsDpkgLog->rowCount(), 0);
        QCOMPARE(ui->labelLogsDpkgLogEntries->text(), QStringLiteral("0"));
        QVERIFY(!tab->overlay(TabLogs::DpkgLog)->isVisible());
        copyFixture("dpkg.log", root.path() + "/var/log/dpkg.log");
        ui->pushButtonLogsDpkgLogReload->click();
        QVERIFY(TestSupport::waitFor([this] { return ui->tableLogsDpkgLog->rowCount() == 14; }));
        QVERIFY(tab->unavailableReason(TabLogs::DpkgLog).isEmpty());
    }

    // Pictures of the page as a user of this machine sees it: its own logs
    // and tools, read only.
    void thisMachineScreenshots() {
        if (qEnvironmentVariableIsEmpty("TESSMAR_SCREENSHOTS"))
            QSKIP("set TESSMAR_SCREENSHOTS to a folder for pictures");
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(originalSearchPath);
        openWindow();
        QVERIFY(TestSupport::waitFor([this] { return tab->isInitialized() && everyPageAnswered(); }, 30000));
        saveScreenshots("logs-machine");
    }
};

QTEST_MAIN(TestLogsTab)
#include "tst_logstab.moc"
