#include "commandrunner.h"
#include "loadingoverlay.h"
#include "logspagefixture.h"
#include "logtablemodel.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workerlogs.h"

#include <QProgressBar>
#include <QtTest>
#include <csignal>
#include <unistd.h>

// The Logs page inside a real main window, fed from a fixture root and
// stand-in tools: reloads, sources that fail, grow past their limit or
// vanish, the machine's own logs, and quitting in every state of a big load.
class TestLogsReloads : public LogsPageFixture {
    Q_OBJECT

private slots:
    // Reload shows a new veil, sized to the table as it is now, with its
    // bar in the middle and the rows paler beneath it.
    void reloadShowsAFreshVeil() {
        QTableView* sys = ui->tableLogsSysLog;
        ui->tabWidgetLogsTabs->setCurrentIndex(0);
        window->resize(1180, 760);
        QTRY_VERIFY(sys->width() > 900);
        const QPoint inRow =
            sys->visualRect(sys->model()->index(0, 2)).bottomRight() - QPoint(30, 5) + sys->viewport()->pos();
        const QColor plain = sys->grab().toImage().pixelColor(inRow);
        LoadingOverlay* first = tab->overlay(TabLogs::SysLog);

        ui->pushButtonLogsSysLogReload->click();
        LoadingOverlay* veil = tab->overlay(TabLogs::SysLog);
        QVERIFY(veil != first);
        QVERIFY(veil->isVisible());
        QCOMPARE(veil->geometry(), sys->rect());
        QCOMPARE(veil->progress(), 0);
        const QRect bar = veil->findChild<QProgressBar*>()->geometry();
        QVERIFY2(qAbs(bar.center().x() - veil->rect().center().x()) <= 1 &&
                     qAbs(bar.center().y() - veil->rect().center().y()) <= 1,
                 qPrintable(QStringLiteral("bar at %1,%2").arg(bar.center().x()).arg(bar.center().y())));
        // White at 150 of 255 over the rows as they were.
        const QColor veiled = sys->grab().toImage().pixelColor(inRow);
        const auto blend = [](int channel) { return (channel * 105 + 255 * 150) / 255; };
        QVERIFY2(
            qAbs(veiled.red() - blend(plain.red())) <= 2 &&
                qAbs(veiled.green() - blend(plain.green())) <= 2 &&
                qAbs(veiled.blue() - blend(plain.blue())) <= 2 && veiled != plain,
            qPrintable(QStringLiteral("%1 under the veil, %2 without").arg(veiled.name(), plain.name())));

        // It follows the table while it is shown.
        window->resize(1100, 700);
        QTRY_COMPARE(veil->geometry(), sys->rect());

        QVERIFY(TestSupport::waitFor([&] { return !tab->isLoading(TabLogs::SysLog); }));
        QVERIFY(!veil->isVisible());
        QTRY_COMPARE(sys->findChildren<LoadingOverlay*>().size(), 1);
        window->resize(1000, 640);
    }

    // One login tool failing leaves the others' columns and says which.
    void partialLoginRecordsSaySo() {
        QVERIFY(TestSupport::writeScript(tools.path() + "/faillog",
                                         "#!/bin/sh\necho 'cannot open' >&2\nexit 1\n"));
        reload(ui->pushButtonLogsFailLogReload, TabLogs::FailLog);
        QTableView* logins = ui->tableLogsFailLog;
        QCOMPARE(column(logins, 0), QStringList({"alice", "bob", "carol"}));
        QCOMPARE(column(logins, 1), QStringList({"2", "1", "0"}));
        QCOMPARE(column(logins, 4), QStringList({"N/A", "N/A", "N/A"}));
        QVERIFY2(tab->note(TabLogs::FailLog).contains("faillog exited with 1"),
                 qPrintable(tab->note(TabLogs::FailLog)));
        printsFixture(tools.path(), "faillog", "faillog.txt");
        reload(ui->pushButtonLogsFailLogReload, TabLogs::FailLog);
        QVERIFY(tab->note(TabLogs::FailLog).isEmpty());
        QCOMPARE(column(logins, 4), QStringList({"0", "3", "0"}));
    }

    // Past its limit a page keeps the newest lines and says how many older
    // ones it left out.
    void bigLogsSayWhatTheyLeftOut() {
        LogFileReader::Limits limits;
        limits.maxLines = 3;
        WorkerLogs::setLimits(limits);
        reload(ui->pushButtonLogsSysLogReload, TabLogs::SysLog);
        WorkerLogs::setLimits(LogFileReader::Limits());
        // The newest three lines: one is theme noise.
        QCOMPARE(shownRows(ui->tableLogsSysLog), 2);
        QVERIFY2(tab->note(TabLogs::SysLog).contains("6 older lines were left out"),
                 qPrintable(tab->note(TabLogs::SysLog)));
        reload(ui->pushButtonLogsSysLogReload, TabLogs::SysLog);
        QVERIFY(tab->note(TabLogs::SysLog).isEmpty());
        QCOMPARE(shownRows(ui->tableLogsSysLog), 8);
    }

    void aSourceThatVanishesSaysSo() {
        QFile::remove(root.path() + "/var/log/dpkg.log");
        reload(ui->pushButtonLogsDpkgLogReload, TabLogs::DpkgLog);
        QVERIFY(!tab->unavailableReason(TabLogs::DpkgLog).isEmpty());
        QCOMPARE(shownRows(ui->tableLogsDpkgLog), 0);
        QCOMPARE(ui->labelLogsDpkgLogEntries->text(), QStringLiteral("0"));
        QVERIFY(!tab->overlay(TabLogs::DpkgLog)->isVisible());
        writeFile(root.path() + "/var/log/dpkg.log", fixture("dpkg.log"));
        reload(ui->pushButtonLogsDpkgLogReload, TabLogs::DpkgLog);
        QCOMPARE(shownRows(ui->tableLogsDpkgLog), 14);
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
        QVERIFY(TestSupport::waitFor([this] { return everyPageAnswered(); }, 30000));
        saveScreenshots("logs-machine");
        SystemPaths::setRootPrefix(root.path());
        SystemPaths::prependSearchPath(tools.path());
    }

    // SIGTERM ends the program within a second whatever the Logs page is
    // doing with a big log: reading it, sorting it, holding it, reading it
    // again. The log's lines carry a priority before their time, so each
    // goes through the line patterns: a read takes seconds.
    void sigtermEndsTheProgramAtOnce_data() {
        QTest::addColumn<QString>("state");
        for (const char* state : {"reading", "sorting", "loaded", "reloading"})
            QTest::newRow(state) << QString(state);
    }
    void sigtermEndsTheProgramAtOnce() {
        QFETCH(QString, state);
        static QTemporaryDir bigRoot;
        if (!QFile::exists(bigRoot.filePath("var/log/syslog"))) {
            QByteArray text;
            for (int i = 0; i < 1000000; ++i)
                text +=
                    QStringLiteral("<30>Mar %1 %2:%3:%4 deb11 app%5[%6]: line %7 of a log that takes long\n")
                        .arg(1 + i / 86400 % 28, 2)
                        .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                        .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                        .arg(i % 60, 2, 10, QLatin1Char('0'))
                        .arg(i % 97)
                        .arg(i % 30000)
                        .arg(i)
                        .toUtf8();
            writeFile(bigRoot.filePath("var/log/syslog"), text);
            writeFile(bigRoot.filePath("etc/debian_version"), "11.9\n");
        }
        window.reset();
        SystemPaths::setRootPrefix(bigRoot.path());
        installQuitHandling(*QCoreApplication::instance());
        CommandRunner::resetAbort();
        openWindow();
        LogTableModel* rows = tab->model(TabLogs::SysLog);
        const auto reading = [&] {
            return tab->overlay(TabLogs::SysLog)->progress() > 0 && tab->isLoading(TabLogs::SysLog);
        };
        if (state == "reading") {
            QVERIFY(TestSupport::waitFor(reading, 60000));
        } else {
            QVERIFY(TestSupport::waitFor([&] { return !tab->isLoading(TabLogs::SysLog); }, 120000));
            QCOMPARE(rows->rowCount(), 1000000);
            if (state == "sorting") {
                ui->tableLogsSysLog->sortByColumn(2, Qt::AscendingOrder);
                QVERIFY(rows->isSorting());
            } else if (state == "reloading") {
                ui->pushButtonLogsSysLogReload->click();
                QVERIFY(TestSupport::waitFor(reading, 60000));
            }
        }
        QElapsedTimer quitting;
        quitting.start();
        ::kill(::getpid(), SIGTERM);
        QCOMPARE(QCoreApplication::exec(), 0);
        window.reset();
        const qint64 elapsed = quitting.elapsed();
        qInfo("%s: quit took %lld ms", qPrintable(state), elapsed);
        CommandRunner::resetAbort();
        SystemPaths::setRootPrefix(root.path());
        // A read that ignored quitting would take seconds more; the address
        // sanitizer makes every step several times slower.
#if defined(__SANITIZE_ADDRESS__)
        const qint64 budgetMs = 4000;
#else
        const qint64 budgetMs = 1000;
#endif
        QVERIFY2(elapsed < budgetMs, qPrintable(QString::number(elapsed)));
    }
};

QTEST_MAIN(TestLogsReloads)
#include "tst_logsreloads.moc"
