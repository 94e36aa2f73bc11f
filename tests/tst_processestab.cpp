#include "processscanner.h"
#include "tabprocesses.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include "systempaths.h"
#include <QMainWindow>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <QtTest>

#include <csignal>

namespace {

DetailsProcess record(const QString& pid, const QString& name, const QString& memory = "1.0 MB",
                      const QString& nice = "0") {
    DetailsProcess process;
    process.pid = pid;
    process.user = "alice";
    process.name = name;
    process.state = "S (sleeping)";
    process.cpuUsage = "0.0";
    process.memory = memory;
    process.nice = nice;
    process.iconNames = QStringList{"application-x-executable"};
    return process;
}

char kernelState(qint64 pid) {
    QFile file(QString("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray stat = file.readAll();
    const int close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat.at(close + 2) : '?';
}

} // namespace

class TestProcessesTab : public QObject {
    Q_OBJECT
private:
    QMainWindow* window = nullptr;
    Ui::MainWindow* ui = nullptr;
    TabProcesses* tab = nullptr;

    QTableWidget* table() const { return ui->tableProcesses; }

    int rowOf(const QString& pid) const {
        for (int row = 0; row < table()->rowCount(); ++row) {
            if (table()->item(row, TabProcesses::ColumnId)->text() == pid)
                return row;
        }
        return -1;
    }

    QStringList column(int column) const {
        QStringList texts;
        for (int row = 0; row < table()->rowCount(); ++row)
            texts << table()->item(row, column)->text();
        return texts;
    }

    // One fresh list from the scanner, filled into the table.
    bool refresh() {
        QSignalSpy filled(tab, &TabProcesses::processTableFilled);
        tab->updateProcessesTable();
        return filled.wait(10000);
    }

    // The centre of a row in the viewport, scrolled into view first.
    QPoint rowPosition(int row) {
        QTableWidgetItem* item = table()->item(row, TabProcesses::ColumnName);
        table()->scrollToItem(item);
        return table()->visualItemRect(item).center();
    }

private slots:
    void initTestCase() {
        window = new QMainWindow;
        ui = new Ui::MainWindow;
        ui->setupUi(window);
        ui->tabWidgetMainTabs->setCurrentWidget(ui->tab_2);
        tab = new TabProcesses(ui, window);
        // Every user's processes, so that the test's own children are listed.
        // Two lists come: the one asked for at start-up and the one the
        // check box asks for.
        QSignalSpy spy(tab, &TabProcesses::processTableFilled);
        ui->checkBoxShowProcessesFromAllUsers->setChecked(true);
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(TestSupport::waitFor([&] { return spy.count() >= 2; }));
        QVERIFY(table()->rowCount() > 0);
    }

    void cleanupTestCase() {
        delete window;
        delete ui;
    }

    void columnsAndTitles() {
        QCOMPARE(table()->columnCount(), 7);
        QStringList titles;
        for (int column = 0; column < 7; ++column)
            titles << table()->horizontalHeaderItem(column)->text();
        QCOMPARE(titles, QStringList({"Process Name", "User", "% CPU", "Memory", "ID", "Priority", "State"}));
    }

    void priorityLabel_data() {
        QTest::addColumn<int>("nice");
        QTest::addColumn<QString>("label");
        QTest::newRow("-20") << -20 << "Very High";
        QTest::newRow("-11") << -11 << "Very High";
        QTest::newRow("-10") << -10 << "High";
        QTest::newRow("-1") << -1 << "High";
        QTest::newRow("0") << 0 << "Normal";
        QTest::newRow("1") << 1 << "Low";
        QTest::newRow("10") << 10 << "Low";
        QTest::newRow("11") << 11 << "Very Low";
        QTest::newRow("19") << 19 << "Very Low";
    }
    void priorityLabel() {
        QFETCH(int, nice);
        QTEST(TabProcesses::priorityLabel(nice), "label");
    }

    void stateLabel_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("label");
        QTest::newRow("idle kernel") << "I (idle)"
                                     << "Idle";
        QTest::newRow("disk sleep") << "D (disk sleep)"
                                    << "Deep Sleep";
        QTest::newRow("running") << "R (running)"
                                 << "Running";
        QTest::newRow("sleeping") << "S (sleeping)"
                                  << "Idle";
        QTest::newRow("stopped") << "T (stopped)"
                                 << "Paused";
        QTest::newRow("traced") << "t (tracing stop)"
                                << "Paused (debug)";
        QTest::newRow("zombie") << "Z (zombie)"
                                << "Zombie";
        QTest::newRow("dead") << "X (dead)"
                              << "Dead";
        QTest::newRow("parked") << "P (parked)"
                                << "Parked";
        QTest::newRow("empty") << ""
                               << "Unknown";
    }
    void stateLabel() {
        QFETCH(QString, state);
        QTEST(TabProcesses::stateLabel(state), "label");
    }

    void filterAndCount() {
        tab->onProcessDataReady({record("10", "bash"), record("11", "Bash-helper"), record("12", "zsh")});
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("3"));
        ui->lineEditProcessFilter->setText("  BaSh ");
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("2"));
        QVERIFY(table()->isRowHidden(rowOf("12")));
        QVERIFY(!table()->isRowHidden(rowOf("11")));
        // Only names are searched.
        ui->lineEditProcessFilter->setText("alice");
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("0"));
        // A refill keeps the filter.
        ui->lineEditProcessFilter->setText("zsh");
        tab->onProcessDataReady({record("10", "bash"), record("12", "zsh"), record("13", "zsh")});
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("2"));
        ui->lineEditProcessFilter->clear();
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("3"));

        tab->onProcessDataReady({});
        QCOMPARE(table()->rowCount(), 0);
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("0"));
    }

    void numericSorting() {
        const QList<DetailsProcess> list{record("99", "a", "1.0 MB"), record("100", "b", "999 KB"),
                                         record("7", "c", "N/A"), record("1000", "d", "2.50 GB"),
                                         record("8", "e", "0 KB")};
        table()->sortByColumn(TabProcesses::ColumnId, Qt::AscendingOrder);
        tab->onProcessDataReady(list);
        QCOMPARE(column(TabProcesses::ColumnId), QStringList({"7", "8", "99", "100", "1000"}));

        table()->sortByColumn(TabProcesses::ColumnMemory, Qt::AscendingOrder);
        QCOMPARE(column(TabProcesses::ColumnMemory).mid(2), QStringList({"999 KB", "1.0 MB", "2.50 GB"}));
        // The chosen order survives a refill.
        tab->onProcessDataReady(list);
        QCOMPARE(column(TabProcesses::ColumnMemory).mid(2), QStringList({"999 KB", "1.0 MB", "2.50 GB"}));
        table()->sortByColumn(TabProcesses::ColumnId, Qt::AscendingOrder);
    }

    void selectionAndScrollSurviveRefill() {
        QList<DetailsProcess> list;
        for (int pid = 1; pid <= 400; ++pid)
            list << record(QString::number(pid), QString("proc%1").arg(pid));
        tab->onProcessDataReady(list);
        table()->selectRow(rowOf("250"));
        table()->verticalScrollBar()->setValue(120);
        const int scroll = table()->verticalScrollBar()->value();
        QVERIFY(scroll > 0);

        std::reverse(list.begin(), list.end());
        tab->onProcessDataReady(list);
        QCOMPARE(table()->item(table()->currentRow(), TabProcesses::ColumnId)->text(), QString("250"));
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table()->verticalScrollBar()->value(), scroll);

        list.removeAt(150); // pid 250
        tab->onProcessDataReady(list);
        QVERIFY(table()->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(table()->verticalScrollBar()->value(), scroll);
    }

    void noMenuWithoutALiveProcessRow() {
        tab->onProcessDataReady({record("0", "zero"), record("-1", "minus"), record("999999999", "gone")});
        // Below the last row.
        QVERIFY(!tab->createContextMenu(QPoint(10, table()->viewport()->height() - 2)));
        // IDs that kill would read as a process group or every process.
        QVERIFY(!tab->createContextMenu(rowPosition(rowOf("0"))));
        QVERIFY(!tab->createContextMenu(rowPosition(rowOf("-1"))));
        QVERIFY(!tab->createContextMenu(rowPosition(rowOf("999999999"))));
        tab->onProcessDataReady({});
        QVERIFY(!tab->createContextMenu(QPoint(10, 10)));
    }

    void refusesVanishedReusedAndSelf() {
        QVERIFY(!tab->sendSignalToProcess(0, SIGTERM, 0));
        QVERIFY(!tab->sendSignalToProcess(-1, SIGTERM, 0));
        const qint64 self = QCoreApplication::applicationPid();
        QVERIFY(!tab->sendSignalToProcess(int(self), SIGSTOP, *ProcessScanner::startTimeOf(self)));

        QProcess child;
        child.start("sleep", {"60"});
        QVERIFY(child.waitForStarted());
        const int pid = int(child.processId());
        const qint64 start = *ProcessScanner::startTimeOf(pid);
        // The ID now naming another process than the one seen: nothing is sent.
        QVERIFY(!tab->sendSignalToProcess(pid, SIGTERM, start + 1));
        QVERIFY(!child.waitForFinished(300));
        QCOMPARE(child.state(), QProcess::Running);

        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(!tab->sendSignalToProcess(pid, SIGTERM, start));
    }

    void failedKillIsAnError() {
        QProcess child;
        child.start("sleep", {"60"});
        QVERIFY(child.waitForStarted());
        const int pid = int(child.processId());
        const qint64 start = *ProcessScanner::startTimeOf(pid);

        QTemporaryDir fakeBin;
        QVERIFY(fakeBin.isValid());
        const QStringList savedPath = SystemPaths::searchPath();
        // A kill that exits non-zero without a word, then one that cannot start.
        QFile fakeKill(fakeBin.path() + "/kill");
        QVERIFY(fakeKill.open(QIODevice::WriteOnly));
        fakeKill.write("#!/bin/sh\nexit 1\n");
        fakeKill.close();
        QVERIFY(fakeKill.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        SystemPaths::setSearchPath({fakeBin.path()});
        const bool silentFailure = tab->sendSignalToProcess(pid, SIGTERM, start);
        QVERIFY(fakeKill.remove());
        const bool missingProgram = tab->sendSignalToProcess(pid, SIGTERM, start);
        SystemPaths::setSearchPath(savedPath);

        QVERIFY(!silentFailure);
        QVERIFY(!missingProgram);
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        child.waitForFinished();
    }

    void livePauseAndResumeThroughTheMenu() {
        QProcess child;
        child.start("sleep", {"60"});
        QVERIFY(child.waitForStarted());
        const QString pid = QString::number(child.processId());
        QVERIFY(refresh());
        QVERIFY(rowOf(pid) >= 0);

        std::unique_ptr<QMenu> menu = tab->createContextMenu(rowPosition(rowOf(pid)));
        QVERIFY(menu);
        QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(0)->text(), QString("Pause Process"));
        QVERIFY(actions.at(0)->isEnabled());
        QVERIFY(!actions.at(1)->isEnabled());

        QSignalSpy filled(tab, &TabProcesses::processTableFilled);
        actions.at(0)->trigger();
        QVERIFY(TestSupport::waitFor([&] { return kernelState(child.processId()) == 'T'; }));
        QVERIFY(filled.wait(10000)); // a successful signal asks for a fresh list
        QCOMPARE(table()->item(rowOf(pid), TabProcesses::ColumnState)->text(), QString("Paused"));

        menu = tab->createContextMenu(rowPosition(rowOf(pid)));
        QVERIFY(menu);
        actions = menu->actions();
        QVERIFY(!actions.at(0)->isEnabled());
        QVERIFY(actions.at(1)->isEnabled());
        actions.at(1)->trigger();
        QVERIFY(TestSupport::waitFor([&] { return kernelState(child.processId()) == 'S'; }));
        QVERIFY(refresh());
        QCOMPARE(table()->item(rowOf(pid), TabProcesses::ColumnState)->text(), QString("Idle"));

        menu = tab->createContextMenu(rowPosition(rowOf(pid)));
        menu->actions().at(3)->trigger(); // Kill Process Instantly
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(filled.wait(10000));
    }

    void liveBusyAndNicedChildren() {
        QProcess busy;
        busy.start("sh", {"-c", "while :; do :; done"});
        QVERIFY(busy.waitForStarted());
        QProcess niced;
        niced.start("nice", {"-n", "15", "sleep", "60"});
        QVERIFY(niced.waitForStarted());
        const QString busyPid = QString::number(busy.processId());
        const QString nicedPid = QString::number(niced.processId());

        const bool seen = TestSupport::waitFor(
            [&] {
                QThread::msleep(200);
                if (!refresh() || rowOf(busyPid) < 0 || rowOf(nicedPid) < 0)
                    return false;
                const int row = rowOf(busyPid);
                return table()->item(row, TabProcesses::ColumnCpu)->text().toDouble() > 0 &&
                       table()->item(row, TabProcesses::ColumnState)->text() == "Running" &&
                       table()->item(rowOf(nicedPid), TabProcesses::ColumnPriority)->text() == "Very Low";
            },
            15000);
        busy.kill();
        niced.kill();
        busy.waitForFinished();
        niced.waitForFinished();
        QVERIFY(seen);
        const int row = rowOf(nicedPid);
        for (int column = 0; column < 7; ++column)
            QCOMPARE(table()->item(row, column)->background().color(), QColor(237, 231, 246));
    }
};

QTEST_MAIN(TestProcessesTab)
#include "tst_processestab.moc"
