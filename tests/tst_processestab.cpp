#include "apppalette.h"
#include "displaytext.h"
#include "mainwindow.h"
#include "processscanner.h"
#include "standinmachine.h"
#include "startup.h"
#include "tabprocesses.h"
#include "testsupport.h"
#include "themecolors.h"
#include "ui_mainwindow.h"

#include <QMenu>
#include <QMessageBox>
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

// A bash child that waits on its input: it names itself with name (when
// given) and writes the name of the signal that ends it into a file.
struct Waiter {
    QProcess process;
    QTemporaryDir folder;
    DetailsProcess row;
    explicit Waiter(const QByteArray& name = QByteArray()) {
        process.start("bash", {"-c",
                               "[ -n \"$1\" ] && printf %s \"$1\" > /proc/$$/comm; "
                               "for s in TERM INT HUP; do trap \"echo $s > '$2'; exit 0\" $s; done; "
                               "echo ready; read -r line",
                               "waiter", QString::fromUtf8(name), signalFile()});
        process.waitForReadyRead(10000);
        row = record(QString::number(process.processId()), "bash");
        row.startTime = ProcessScanner::startTimeOf(process.processId()).value_or(-1);
    }
    ~Waiter() {
        process.kill();
        process.waitForFinished();
    }
    QString signalFile() const { return folder.filePath("signal"); }
    QString endedBy() const {
        QFile file(signalFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
};

// The message box a failed action opened, or null.
QMessageBox* openMessage(const QString& objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->isVisible() && box->objectName() == objectName)
            return box;
    }
    return nullptr;
}

} // namespace

// The Processes tab inside the real main window.
class TestProcessesTab : public QObject {
    Q_OBJECT
private:
    // Accounts, logs, settings and tools of the test's own; the processes are the kernel's.
    std::unique_ptr<StandInMachine> machine;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    TabProcesses* tab = nullptr;

    QTableWidget* table() const { return ui->tableProcesses; }

    QStringList column(int column) const {
        QStringList texts;
        for (int row = 0; row < table()->rowCount(); ++row)
            texts << table()->item(row, column)->text();
        return texts;
    }
    int rowOf(const QString& pid) const { return column(TabProcesses::ColumnId).indexOf(pid); }
    QString stateOf(const QString& pid) const { return column(TabProcesses::ColumnState).value(rowOf(pid)); }

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

    QAction* menuEntry(const QString& pid, int entry, std::unique_ptr<QMenu>& menu) {
        menu = tab->createContextMenu(rowPosition(rowOf(pid)));
        return menu ? menu->actions().value(entry) : nullptr;
    }

private slots:
    void initTestCase() {
        qunsetenv("SUDO_USER");          // no settings file for a real user
        QIcon::setThemeName("Brisklow"); // as the program does; it is not installed
        chooseIconThemeFallback();
        machine = std::make_unique<StandInMachine>();
        QVERIFY(machine->isValid());
        window = std::make_unique<MainWindow>();
        ui = window->form();
        tab = window->findChild<TabProcesses*>();
        QVERIFY(tab);
        // Every user's processes, so that the test's own children are listed.
        QSignalSpy spy(tab, &TabProcesses::processTableFilled);
        ui->checkBoxShowProcessesFromAllUsers->setChecked(true);
        ui->tabWidgetMainTabs->setCurrentWidget(ui->tab_2);
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(TestSupport::waitFor([&] { return spy.count() >= 2; }));
        QVERIFY(table()->rowCount() > 0);
    }

    void cleanupTestCase() {
        window.reset();
        machine.reset();
    }

    // Label and row colour at each boundary, in the palette in force, and
    // again after the desktop turned dark or light.
    void priorityLabelAndColour_data() {
        QTest::addColumn<int>("nice");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("status"); // 0 red, 1 amber, 2 green, 3 blue, 4 lavender
        QTest::newRow("-11") << -11 << "Very High" << 0;
        QTest::newRow("-10") << -10 << "High" << 1;
        QTest::newRow("-1") << -1 << "High" << 1;
        QTest::newRow("0") << 0 << "Normal" << 2;
        QTest::newRow("1") << 1 << "Low" << 3;
        QTest::newRow("10") << 10 << "Low" << 3;
        QTest::newRow("11") << 11 << "Very Low" << 4;
    }
    void priorityLabelAndColour() {
        QFETCH(int, nice);
        QFETCH(int, status);
        const QPalette original = QApplication::palette();
        for (const bool dark : {false, true}) {
            applyApplicationPalette(*qApp, dark);
            tab->onProcessDataReady({record("42", "x", "1.0 MB", QString::number(nice))});
            const QColor expected[] = {statusColorRed(), statusColorAmber(), statusColorGreen(),
                                       statusColorBlue(), QColor(237, 231, 246)};
            QTEST(table()->item(0, TabProcesses::ColumnPriority)->text(), "label");
            for (int column = 0; column < 7; ++column)
                QCOMPARE(table()->item(0, column)->background().color(), expected[status]);
        }
        QApplication::setPalette(original);
    }

    // A theme change refills the table from a fresh scan in the new colours.
    void themeChangeRepaintsTheRows() {
        const QPalette original = QApplication::palette();
        for (const bool dark : {true, false}) {
            applyApplicationPalette(*qApp, dark);
            QSignalSpy filled(tab, &TabProcesses::processTableFilled);
            emit window->themeChanged();
            QVERIFY(filled.wait(10000));
            const int row = column(TabProcesses::ColumnPriority).indexOf("Normal");
            QVERIFY(row >= 0);
            QCOMPARE(table()->item(row, TabProcesses::ColumnName)->background().color(), statusColorGreen());
        }
        QApplication::setPalette(original);
    }

    void filterAndCount() {
        tab->onProcessDataReady({record("10", "bash"), record("11", "Bash-helper"), record("12", "zsh")});
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("3"));
        ui->lineEditProcessFilter->setText("  BaSh ");
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("2"));
        QVERIFY(table()->isRowHidden(rowOf("12")));
        // A refill keeps the filter.
        ui->lineEditProcessFilter->setText("zsh");
        tab->onProcessDataReady({record("10", "bash"), record("12", "zsh"), record("13", "zsh")});
        QCOMPARE(ui->labelNumberOfProcesses->text(), QString("2"));
        ui->lineEditProcessFilter->clear();
    }

    void sorting_data() {
        QTest::addColumn<int>("sortColumn");
        QTest::addColumn<QStringList>("ascending");
        QTest::newRow("ID, numerically")
            << int(TabProcesses::ColumnId) << QStringList{"7", "8", "99", "100", "1000"};
        // "N/A" sorts with the zeros, in either order.
        QTest::newRow("Memory, by size")
            << int(TabProcesses::ColumnMemory) << QStringList{"999 KB", "1.0 MB", "2.50 GB"};
        QTest::newRow("Priority, by level") << int(TabProcesses::ColumnPriority)
                                            << QStringList{"Very Low", "Low", "Normal", "High", "Very High"};
    }
    void sorting() {
        QFETCH(int, sortColumn);
        QFETCH(QStringList, ascending);
        const QList<DetailsProcess> list{record("99", "a", "1.0 MB", "5"),
                                         record("100", "b", "999 KB", "-15"), record("7", "c", "N/A", "0"),
                                         record("1000", "d", "2.50 GB", "19"),
                                         record("8", "e", "0 KB", "-5")};
        table()->sortByColumn(sortColumn, Qt::AscendingOrder);
        tab->onProcessDataReady(list);
        QCOMPARE(column(sortColumn).mid(5 - ascending.size()), ascending);
        // The chosen order survives a refill.
        tab->onProcessDataReady(list);
        QCOMPARE(column(sortColumn).mid(5 - ascending.size()), ascending);
        table()->sortByColumn(TabProcesses::ColumnId, Qt::AscendingOrder);
    }

    // A refill that only changes values (no process comes or goes) re-sorts
    // when the sort column's values changed, by the new values.
    void changedValuesReorderTheRows_data() {
        QTest::addColumn<int>("sortColumn");
        QTest::newRow("% CPU") << int(TabProcesses::ColumnCpu);
        QTest::newRow("Memory") << int(TabProcesses::ColumnMemory);
        QTest::newRow("Priority, within one label") << int(TabProcesses::ColumnPriority);
    }
    void changedValuesReorderTheRows() {
        QFETCH(int, sortColumn);
        // Each column puts process 3 first, descending (a lower nice value is
        // the higher priority).
        QList<DetailsProcess> list{record("1", "a", "1.0 MB", "4"), record("2", "b", "2.0 MB", "3"),
                                   record("3", "c", "3.0 MB", "2")};
        for (int i = 0; i < list.size(); ++i)
            list[i].cpuUsage = QString::number(i + 1) + ".0";
        table()->sortByColumn(sortColumn, Qt::DescendingOrder);
        tab->onProcessDataReady(list);
        QCOMPARE(column(TabProcesses::ColumnId), QStringList({"3", "2", "1"}));
        // The same processes, their figures turned around.
        std::swap(list[0].cpuUsage, list[2].cpuUsage);
        std::swap(list[0].memory, list[2].memory);
        std::swap(list[0].nice, list[2].nice);
        tab->onProcessDataReady(list);
        QCOMPARE(column(TabProcesses::ColumnId), QStringList({"1", "2", "3"}));
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

        // Refills while the user holds Ctrl (as when Ctrl+clicking) keep the row selected.
        std::reverse(list.begin(), list.end());
        QTest::keyPress(table(), Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::keyboardModifiers(), Qt::ControlModifier);
        tab->onProcessDataReady(list);
        tab->onProcessDataReady(list);
        QTest::keyRelease(table(), Qt::Key_Control);
        QCOMPARE(table()->item(table()->currentRow(), TabProcesses::ColumnId)->text(), QString("250"));
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(table()->verticalScrollBar()->value(), scroll);

        list.removeAt(150); // pid 250
        tab->onProcessDataReady(list);
        QVERIFY(table()->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(table()->verticalScrollBar()->value(), scroll);
    }

    void noMenuWithoutAProcessRow() {
        tab->onProcessDataReady({record("0", "zero"), record("-1", "minus")});
        // Below the last row.
        QVERIFY(!tab->createContextMenu(QPoint(10, table()->viewport()->height() - 2)));
        // IDs that kill would read as a process group or every process.
        QVERIFY(!tab->createContextMenu(rowPosition(rowOf("0"))));
        QVERIFY(!tab->createContextMenu(rowPosition(rowOf("-1"))));
    }

    // The row's process is the one the scan saw: a process that ended, or whose
    // ID now names a process started later, gets no signal, and a message
    // says why. End Process Gracefully asks with SIGTERM, which a program can
    // answer by cleaning up.
    void signalReachesOnlyTheProcessTheRowShowed() {
        Waiter shown, reused, gone;
        QVERIFY(shown.row.startTime > 0 && reused.row.startTime > 0);
        reused.row.startTime -= 1; // the row was read before the ID was given again
        gone.process.kill();
        QVERIFY(gone.process.waitForFinished());
        tab->onProcessDataReady({shown.row, reused.row, gone.row});

        std::unique_ptr<QMenu> menu;
        for (const Waiter* target : {&reused, &gone}) {
            menuEntry(target->row.pid, 3, menu)->trigger(); // Kill Process Instantly
            QMessageBox* message = openMessage("messageBoxSignalFailed");
            QVERIFY(message);
            QVERIFY2(message->text().contains(target == &gone ? "already ended" : "another process"),
                     qPrintable(message->text()));
            QVERIFY(message->text().contains(target->row.pid));
            message->close();
        }
        QVERIFY(!reused.process.waitForFinished(300));
        menuEntry(shown.row.pid, 2, menu)->trigger(); // End Process Gracefully
        QVERIFY(shown.process.waitForFinished(5000));
        QCOMPARE(shown.endedBy(), QString("TERM"));
        QCOMPARE(reused.process.state(), QProcess::Running);
        QVERIFY(!openMessage("messageBoxSignalFailed"));
        QVERIFY(!tab->sendSignalToProcess(int(QCoreApplication::applicationPid()), SIGSTOP,
                                          *ProcessScanner::startTimeOf(QCoreApplication::applicationPid())));
        QVERIFY(openMessage("messageBoxSignalFailed"));
        openMessage("messageBoxSignalFailed")->close();
    }

    // A process that names itself with a right-to-left override cannot pass
    // for "png.exe": the control shows in the table as a visible mark.
    void spoofedNameShowsItsControls() {
        const QByteArray spoofing = "\xE2\x80\xAE"
                                    "exe.gnp"; // U+202E, then "exe.gnp"
        Waiter child(spoofing);
        const QString pid = child.row.pid;
        QVERIFY(TestSupport::waitFor([&] { return refresh() && rowOf(pid) >= 0; }));
        QTableWidgetItem* name = table()->item(rowOf(pid), TabProcesses::ColumnName);
        QCOMPARE(name->text(), QString("<U+202E>exe.gnp"));
        QVERIFY(!hasBidiControl(name->text()));
        // The menu and its messages still name the process as the kernel does.
        std::unique_ptr<QMenu> menu;
        QAction* kill = menuEntry(pid, 3, menu);
        QVERIFY(kill && !kill->icon().isNull());
        for (QAction* action : menu->actions())
            QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
    }

    // A row is made safe to show and given its program's icon both when it
    // is made and when it is taken over by another process.
    void rowsShowNamesSafelyWithIcons() {
        const QString spoofed = QString::fromUtf8("\xE2\x80\xAE"
                                                  "exe.gnp");
        const auto checkRow = [&](const char* how) {
            QCOMPARE(table()->rowCount(), 1);
            QTableWidgetItem* name = table()->item(0, TabProcesses::ColumnName);
            QVERIFY2(name->text() == QString("<U+202E>exe.gnp"), how);
            QVERIFY2(!name->icon().isNull(), how);
        };
        tab->onProcessDataReady({});
        QCOMPARE(table()->rowCount(), 0);
        tab->onProcessDataReady({record("50", spoofed)});
        checkRow("a new row");
        tab->onProcessDataReady({record("51", "plain")});
        QVERIFY(!table()->item(0, TabProcesses::ColumnName)->icon().isNull());
        tab->onProcessDataReady({record("52", spoofed)});
        checkRow("a row taken over");
    }

    // Pause, Resume and Kill through the menu; the state shown follows at once.
    void livePauseAndResumeThroughTheMenu() {
        Waiter child;
        const QString pid = child.row.pid;
        QVERIFY(TestSupport::waitFor([&] { return refresh() && rowOf(pid) >= 0; }));

        std::unique_ptr<QMenu> menu;
        QAction* pause = menuEntry(pid, 0, menu);
        QVERIFY(pause->isEnabled() && !menu->actions().at(1)->isEnabled());
        QSignalSpy filled(tab, &TabProcesses::processTableFilled);
        pause->trigger();
        QVERIFY(filled.wait(10000)); // a successful signal asks for a fresh list
        QVERIFY(TestSupport::waitFor([&] { return kernelState(child.process.processId()) == 'T'; }));
        QVERIFY(TestSupport::waitFor([&] { return refresh() && stateOf(pid) == "Paused"; }));

        QAction* resume = menuEntry(pid, 1, menu);
        QVERIFY(resume->isEnabled() && !menu->actions().at(0)->isEnabled());
        resume->trigger();
        QVERIFY(TestSupport::waitFor([&] { return refresh() && stateOf(pid) == "Idle"; }));

        menuEntry(pid, 3, menu)->trigger(); // Kill Process Instantly
        QVERIFY(child.process.waitForFinished(10000));
        QCOMPARE(child.process.exitStatus(), QProcess::CrashExit);
        QVERIFY(child.endedBy().isEmpty()); // SIGKILL cannot be caught
    }
};

QTEST_MAIN(TestProcessesTab)
#include "tst_processestab.moc"
