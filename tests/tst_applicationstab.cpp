#include "systempaths.h"
#include "tabapplications.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestApplicationsTab : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> ui;
    TabApplications* tab = nullptr;
    std::vector<std::unique_ptr<QProcess>> helpers;

    QTableWidget* table() const { return ui->tableApplications; }

    // Opens a window of another program; true once the window manager lists it.
    bool openWindow(const QString& title) {
        helpers.push_back(std::make_unique<QProcess>());
        helpers.back()->start("xmessage", {"-title", title, "Tessmar test window"});
        const QString listed = title.section('\n', 0, 0).simplified();
        return TestSupport::waitFor([&] { return !TestSupport::windowIdsWithTitle(listed).isEmpty(); });
    }
    bool refresh() {
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        tab->updateApplicationTable();
        return filled.wait(10000);
    }
    int rowOf(const QString& title) const {
        for (int row = 0; row < table()->rowCount(); ++row)
            if (table()->item(row, 0) && table()->item(row, 0)->text() == title)
                return row;
        return -1;
    }
    QString idOf(int row) const { return table()->item(row, 0)->data(Qt::UserRole).toString(); }
    static quint32 activeWindow() {
        QProcess xprop; // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x400030"
        xprop.start("xprop", {"-root", "_NET_ACTIVE_WINDOW"});
        xprop.waitForFinished(5000);
        return QString::fromUtf8(xprop.readAllStandardOutput())
            .trimmed()
            .section(' ', -1)
            .toUInt(nullptr, 16);
    }

private slots:
    void init() {
        window = std::make_unique<QMainWindow>();
        ui = std::make_unique<Ui::MainWindow>();
        ui->setupUi(window.get());
        tab = new TabApplications(ui.get(), window.get());
        tab->setupApplicationTable();
        // As a user sorting by title.
        table()->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    }
    void cleanup() {
        window.reset();
        for (auto& helper : helpers) {
            helper->kill();
            helper->waitForFinished(5000);
        }
        helpers.clear();
    }

    void listsWindowsButNotForgedLines() {
        const QString name = TestSupport::uniqueName("tessmar-list");
        QVERIFY(openWindow(name + "  two   blanks"));
        QVERIFY(openWindow("Evil" + name + "\n0x00000bad  0 host Forged" + name));
        QVERIFY(refresh());
        const int row = rowOf(name + " two blanks");
        QVERIFY(row >= 0);
        QCOMPARE(idOf(row), TestSupport::windowIdsWithTitle(name + " two blanks").value(0));
        QVERIFY(!table()->item(row, 0)->icon().isNull());
        QCOMPARE(table()->item(row, 1)->text(), QString("Running"));
        QVERIFY(rowOf("Evil" + name) >= 0);
        QCOMPARE(rowOf("Forged" + name), -1);
    }

    void overlappingTicksListOnce() {
        QSignalSpy requests(tab, &TabApplications::requestWindowList);
        for (int tick = 0; tick < 3; ++tick)
            tab->updateApplicationTable();
        QCOMPARE(requests.count(), 1);
        QVERIFY(QSignalSpy(tab, &TabApplications::applicationTableFilled).wait(10000));
        QVERIFY(refresh());
        QCOMPARE(requests.count(), 2);
    }

    // wmctrl prints part of a list and then hangs, as on a wedged server.
    void wedgedListingIsCutShortAndUnused() {
        const QString name = TestSupport::uniqueName("tessmar-gone");
        QVERIFY(openWindow(name));
        QVERIFY(refresh());
        table()->setCurrentCell(rowOf(name), 0);
        QTemporaryDir standIns;
        QFile wmctrl(standIns.filePath("wmctrl"));
        QVERIFY(wmctrl.open(QIODevice::WriteOnly) &&
                wmctrl.write("#!/bin/sh\necho '0x00400030  0 vm Half'\nexec sleep 60\n") > 0);
        wmctrl.close();
        wmctrl.setPermissions(QFile::ExeOwner | QFile::ReadOwner);
        SystemPaths::prependSearchPath(standIns.path());
        const bool filled = refresh();
        SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        QVERIFY(filled);
        QCOMPARE(table()->rowCount(), 0);
        QVERIFY(!ui->pushButtonCloseApp->isEnabled() && !ui->pushButtonSwitchTo->isEnabled());
    }

    void selectionFollowsTheWindowWhenRowsMove() {
        const QString name = TestSupport::uniqueName("tessmar-order");
        std::vector<std::unique_ptr<QWidget>> windows;
        for (const char* letter : {"b", "c", "d"}) {
            windows.push_back(std::make_unique<QWidget>());
            windows.back()->setWindowTitle(letter + name);
            windows.back()->show();
        }
        QVERIFY(TestSupport::waitFor([&] { return !TestSupport::windowIdsWithTitle("d" + name).isEmpty(); }));
        QVERIFY(refresh());
        const int before = rowOf("c" + name);
        QVERIFY(before >= 0 && before < rowOf("d" + name));
        const QString id = idOf(before);
        table()->setCurrentCell(before, 0);
        QVERIFY(ui->pushButtonSwitchTo->isEnabled());
        windows[1]->setWindowTitle("e" + name);
        QVERIFY(TestSupport::waitFor([&] { return !TestSupport::windowIdsWithTitle("e" + name).isEmpty(); }));
        QVERIFY(refresh());
        // Other programs' windows may come and go: compare with the neighbour.
        const int after = rowOf("e" + name);
        QVERIFY(after > rowOf("d" + name));
        QCOMPARE(table()->currentRow(), after);
        QCOMPARE(idOf(table()->selectedItems().value(0)->row()), id);
    }

    void switchToActivatesTheWindow() {
        const QString name = TestSupport::uniqueName("tessmar-switch");
        QVERIFY(openWindow(name + "-1") && openWindow(name + "-2"));
        QVERIFY(refresh());
        const bool secondActive = activeWindow() == idOf(rowOf(name + "-2")).toUInt(nullptr, 16);
        const int row = rowOf(secondActive ? name + "-1" : name + "-2");
        table()->setCurrentCell(row, 0);
        QTest::mouseClick(ui->pushButtonSwitchTo, Qt::LeftButton);
        QVERIFY(TestSupport::waitFor([&] { return activeWindow() == idOf(row).toUInt(nullptr, 16); }));
    }

    void closeAppClosesTheWindow() {
        const QString name = TestSupport::uniqueName("tessmar-close");
        QVERIFY(openWindow("a" + name) && openWindow("b" + name));
        QVERIFY(refresh());
        table()->setCurrentCell(rowOf("a" + name), 0);
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        QTest::mouseClick(ui->pushButtonCloseApp, Qt::LeftButton);
        // The program ends, and the table looks again by itself.
        QVERIFY(helpers.front()->waitForFinished(10000));
        QVERIFY(TestSupport::waitFor([&] { return filled.count() > 0 && rowOf("a" + name) < 0; }));
        // The next window moved up into the row: it is not selected in its place.
        QVERIFY(rowOf("b" + name) >= 0);
        QVERIFY(table()->selectedItems().isEmpty() && table()->currentRow() == -1);
        QVERIFY(!ui->pushButtonCloseApp->isEnabled() && !ui->pushButtonSwitchTo->isEnabled());
    }
};

QTEST_MAIN(TestApplicationsTab)
#include "tst_applicationstab.moc"
