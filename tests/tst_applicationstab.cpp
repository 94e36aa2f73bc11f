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

namespace {

// The X window that has the focus, as the window manager announces it.
quint32 activeWindow() {
    QProcess xprop;
    xprop.start("xprop", {"-root", "_NET_ACTIVE_WINDOW"});
    xprop.waitForFinished(5000);
    // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x400030"
    return QString::fromUtf8(xprop.readAllStandardOutput()).trimmed().section(' ', -1).toUInt(nullptr, 16);
}

} // namespace

class TestApplicationsTab : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QMainWindow> window;
    Ui::MainWindow* ui = nullptr;
    TabApplications* tab = nullptr;
    std::vector<std::unique_ptr<QProcess>> helpers;

    QTableWidget* table() const { return ui->tableApplications; }

    // Opens a small window of another program and returns its id.
    QString openWindow(const QString& title) {
        auto process = std::make_unique<QProcess>();
        process->start("xmessage", {"-title", title, "Tessmar test window"});
        if (!process->waitForStarted(5000))
            return QString();
        helpers.push_back(std::move(process));
        QStringList ids;
        TestSupport::waitFor([&] {
            return !(ids = TestSupport::windowIdsWithTitle(title.section('\n', 0, 0).simplified())).isEmpty();
        });
        return ids.value(0);
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

    QString idOfRow(int row) const { return table()->item(row, 0)->data(Qt::UserRole).toString(); }

private slots:
    void init() {
        window = std::make_unique<QMainWindow>();
        ui = new Ui::MainWindow;
        ui->setupUi(window.get());
        tab = new TabApplications(ui, window.get());
        tab->setupApplicationTable();
    }

    void cleanup() {
        window.reset();
        delete ui;
        for (auto& helper : helpers) {
            helper->kill();
            helper->waitForFinished(5000);
        }
        helpers.clear();
    }

    void listsWindowsWithTitlesAndIcons() {
        const QString name = TestSupport::uniqueName("tessmar-list");
        const QString id = openWindow(name + "  two   blanks");
        QVERIFY(!id.isEmpty());
        QVERIFY(refresh());
        const int row = rowOf(name + " two blanks");
        QVERIFY(row >= 0);
        QCOMPARE(idOfRow(row), id);
        QVERIFY(!table()->item(row, 0)->icon().isNull());
        QCOMPARE(table()->item(row, 1)->text(), QString("Running"));
        QVERIFY(!ui->pushButtonCloseApp->isEnabled());
        QVERIFY(!ui->pushButtonSwitchTo->isEnabled());
    }

    void titleCannotForgeAWindow() {
        const QString name = TestSupport::uniqueName("tessmar-evil");
        QVERIFY(!openWindow(name + "\n0x00000bad  0 host Forged" + name).isEmpty());
        QVERIFY(refresh());
        QVERIFY(rowOf(name) >= 0);
        QCOMPARE(rowOf("Forged" + name), -1);
    }

    void overlappingTicksListOnce() {
        QSignalSpy requests(tab, &TabApplications::requestWindowList);
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        tab->updateApplicationTable();
        tab->updateApplicationTable();
        tab->updateApplicationTable();
        QCOMPARE(requests.count(), 1);
        QVERIFY(filled.wait(10000));
        tab->updateApplicationTable();
        QCOMPARE(requests.count(), 2);
        QVERIFY(filled.wait(10000));
    }

    void selectionFollowsTheWindowWhenRowsMove() {
        const QString name = TestSupport::uniqueName("tessmar-order");
        std::vector<std::unique_ptr<QWidget>> windows;
        for (const char* letter : {"b", "c", "d"}) {
            windows.push_back(std::make_unique<QWidget>());
            windows.back()->setWindowTitle(QLatin1String(letter) + name);
            windows.back()->resize(120, 60);
            windows.back()->show();
        }
        QVERIFY(
            TestSupport::waitFor([&] { return TestSupport::windowIdsWithTitle("d" + name).size() == 1; }));
        // The user sorts by title.
        table()->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
        QVERIFY(refresh());
        const int before = rowOf("c" + name);
        QVERIFY(before >= 0 && before < rowOf("d" + name));
        const QString id = idOfRow(before);
        table()->setCurrentCell(before, 0);
        QVERIFY(ui->pushButtonSwitchTo->isEnabled());

        // Renamed, the window sorts past its neighbours.
        windows[1]->setWindowTitle("e" + name);
        QVERIFY(
            TestSupport::waitFor([&] { return TestSupport::windowIdsWithTitle("e" + name).size() == 1; }));
        QVERIFY(refresh());
        // Windows of other programs may come and go meanwhile: compare
        // with the neighbour, not with the old row number.
        const int after = rowOf("e" + name);
        QVERIFY(after > rowOf("d" + name));
        QCOMPARE(table()->currentRow(), after);
        QCOMPARE(idOfRow(table()->selectedItems().value(0)->row()), id);
    }

    void failingOrWedgedListingEmptiesTheTable_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("fails") << QByteArray("echo 'Cannot open display.' >&2\nexit 1\n");
        QTest::newRow("never ends") << QByteArray("exec sleep 60\n");
        QTest::newRow("cut short") << QByteArray("echo '0x00400030  0 vm Half a list'\nexec sleep 60\n");
    }
    void failingOrWedgedListingEmptiesTheTable() {
        QFETCH(QByteArray, script);
        const QString name = TestSupport::uniqueName("tessmar-gone");
        QVERIFY(!openWindow(name).isEmpty());
        QVERIFY(refresh());
        table()->setCurrentCell(rowOf(name), 0);
        QVERIFY(ui->pushButtonCloseApp->isEnabled());

        QTemporaryDir standIns;
        QFile wmctrl(standIns.filePath("wmctrl"));
        QVERIFY(wmctrl.open(QIODevice::WriteOnly));
        wmctrl.write("#!/bin/sh\n" + script);
        wmctrl.close();
        wmctrl.setPermissions(QFile::ExeOwner | QFile::ReadOwner);
        SystemPaths::prependSearchPath(standIns.path());
        const bool filled = refresh();
        SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        QVERIFY(filled);
        QCOMPARE(table()->rowCount(), 0);
        QVERIFY(!ui->pushButtonCloseApp->isEnabled());
        QVERIFY(!ui->pushButtonSwitchTo->isEnabled());
    }

    void switchToActivatesTheWindow() {
        const QString name = TestSupport::uniqueName("tessmar-switch");
        const QString first = openWindow(name + "-first");
        const QString second = openWindow(name + "-second");
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        QVERIFY(refresh());
        const QString target =
            activeWindow() == second.toUInt(nullptr, 16) ? name + "-first" : name + "-second";
        const int row = rowOf(target);
        QVERIFY(row >= 0);
        table()->setCurrentCell(row, 0);
        QTest::mouseClick(ui->pushButtonSwitchTo, Qt::LeftButton);
        const quint32 wanted = idOfRow(row).toUInt(nullptr, 16);
        QVERIFY(TestSupport::waitFor([&] { return activeWindow() == wanted; }));
    }

    void closeAppClosesTheWindow() {
        const QString name = TestSupport::uniqueName("tessmar-close");
        QVERIFY(!openWindow("a" + name).isEmpty());
        QVERIFY(!openWindow("b" + name).isEmpty());
        table()->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
        QVERIFY(refresh());
        const int row = rowOf("a" + name);
        QVERIFY(row >= 0);
        table()->setCurrentCell(row, 0);
        QVERIFY(ui->pushButtonCloseApp->isEnabled());
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        QTest::mouseClick(ui->pushButtonCloseApp, Qt::LeftButton);
        // The window's program ends, and the table looks again by itself.
        QVERIFY(helpers.front()->waitForFinished(10000));
        QVERIFY(TestSupport::waitFor([&] { return filled.count() > 0 && rowOf("a" + name) < 0; }));
        // The next window moved up into the row: it is not selected in its place.
        QVERIFY(rowOf("b" + name) >= 0);
        QVERIFY(table()->selectedItems().isEmpty());
        QCOMPARE(table()->currentRow(), -1);
        QVERIFY(!ui->pushButtonCloseApp->isEnabled());
        QVERIFY(!ui->pushButtonSwitchTo->isEnabled());
    }
};

QTEST_MAIN(TestApplicationsTab)
#include "tst_applicationstab.moc"
