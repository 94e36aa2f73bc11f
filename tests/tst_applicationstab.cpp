#include "privatedesktop.h"
#include "rawxwindows.h"
#include "systempaths.h"
#include "tabapplications.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QMainWindow>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

// The listings of a worker of the test's own, on a display of the test's own.
struct PrivateListing {
    explicit PrivateListing(const PrivateDesktop& desktop) : display(desktop.name()), worker(32) {}
    // True when the worker answered; windows holds the answer.
    bool refresh() {
        QSignalSpy answer(&worker, &WorkerApplications::windowListUpdated);
        {
            // The worker opens its connection at its first listing.
            DisplayOverride onDesktop(display);
            worker.fetchWindowList();
        }
        if (answer.isEmpty())
            return false;
        windows = answer.first().first().value<QList<DetailsApplicationWindow>>();
        return true;
    }
    // The title of the window's row in the last answer; none without a row.
    std::optional<QString> titleOf(quint32 window) const {
        for (const DetailsApplicationWindow& listed : windows) {
            if (listed.id == WindowListParser::idText(window))
                return listed.title;
        }
        return std::nullopt;
    }
    QByteArray display;
    WorkerApplications worker;
    QList<DetailsApplicationWindow> windows;
};

// The Applications tab against real windows under the test's window manager.
class TestApplicationsTab : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> ui;
    TabApplications* tab = nullptr;
    std::vector<std::unique_ptr<QProcess>> helpers;

    QTableWidget* table() const { return ui->tableApplications; }
    static bool shown(const QString& title) {
        return TestSupport::waitFor([&] { return !TestSupport::windowIdsWithTitle(title).isEmpty(); });
    }
    // Opens a window of another program; true once the window manager lists it.
    bool openWindow(const QString& title) {
        helpers.push_back(std::make_unique<QProcess>());
        helpers.back()->start("xmessage", {"-title", title, "Tessmar test window"});
        return shown(title.section('\n', 0, 0).simplified());
    }
    bool refresh() {
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        tab->updateApplicationTable();
        return filled.wait(10000);
    }
    int rowOf(const QString& title) const {
        const QList<QTableWidgetItem*> items = table()->findItems(title, Qt::MatchExactly);
        return items.isEmpty() ? -1 : items.first()->row();
    }
    QString idOf(int row) const { return table()->item(row, 0)->data(Qt::UserRole).toString(); }
    int rowOfWindow(quint32 window) const {
        const QString id = WindowListParser::idText(window);
        for (int row = 0; row < table()->rowCount(); ++row) {
            if (idOf(row) == id)
                return row;
        }
        return -1;
    }
    // Refills until the table lists every one of windows.
    bool listed(const QVector<quint32>& windows) {
        return TestSupport::waitFor([&] {
            return refresh() && std::all_of(windows.begin(), windows.end(),
                                            [&](quint32 window) { return rowOfWindow(window) >= 0; });
        });
    }
    QRgb iconColour(quint32 window) const {
        const QImage icon = table()->item(rowOfWindow(window), 0)->icon().pixmap(32).toImage();
        return icon.isNull() ? 0 : icon.pixel(16, 16);
    }
    bool nothingSelected() const {
        return table()->selectedItems().isEmpty() && !ui->pushButtonCloseApp->isEnabled() &&
               !ui->pushButtonSwitchTo->isEnabled();
    }
    static quint32 activeWindow() {
        QProcess xprop; // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x400030"
        xprop.start("xprop", {"-root", "_NET_ACTIVE_WINDOW"});
        xprop.waitForFinished(5000);
        const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
        return line.section(' ', -1).toUInt(nullptr, 16);
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

    void overlappingTicksListOnce() {
        WorkerApplications* worker = tab->listingWorker();
        QSignalSpy listings(worker, &WorkerApplications::windowListUpdated);
        // Everything asked of the worker before this has run once it returns.
        const auto waitForWorker = [worker] {
            QMetaObject::invokeMethod(
                worker, [] {}, Qt::BlockingQueuedConnection);
        };
        tab->updateApplicationTable();
        QVERIFY(refresh()); // its tick is skipped: the first listing still runs
        waitForWorker();
        QCOMPARE(listings.count(), 1);
        QVERIFY(refresh());
        waitForWorker();
        QCOMPARE(listings.count(), 2);
    }

    // A title with a right-to-left override shows the control as a mark, so
    // that "…<RLO>exe.gnp" cannot pass for "….png.exe".
    void spoofedTitleShowsItsControls() {
        const QString name = TestSupport::uniqueName("tessmar-spoof");
        QWidget window;
        window.setWindowTitle(name + QChar(0x202E) + "exe.gnp");
        window.show();
        QVERIFY(shown(window.windowTitle()) && refresh());
        QVERIFY(rowOf(name + "<U+202E>exe.gnp") >= 0);
        QCOMPARE(idOf(rowOf(name + "<U+202E>exe.gnp")),
                 TestSupport::windowIdsWithTitle(window.windowTitle()).value(0));
    }

    // A title that prints other windows' lines, one with a title of its own
    // choosing and one on every desktop, changes neither: each window shows
    // its own title, the forging one the first line of its.
    void forgedLinesChangeNoOtherWindow() {
        const QString name = TestSupport::uniqueName("tessmar-forge");
        QWidget forger;
        forger.setWindowTitle("a" + name);
        forger.show();
        QVERIFY(shown("a" + name) && openWindow("b" + name) && openWindow("c" + name));
        const QString b = TestSupport::windowIdsWithTitle("b" + name).value(0);
        const QString c = TestSupport::windowIdsWithTitle("c" + name).value(0);
        forger.setWindowTitle("a" + name + "\n" + b + "  0 host Forged" + name + "\n" + c + " -1 host x");
        QVERIFY(shown("Forged" + name) && refresh());
        QVERIFY(rowOf("a" + name) >= 0 && rowOf("Forged" + name) < 0);
        QVERIFY(rowOf("b" + name) >= 0 && rowOf("c" + name) >= 0);
        QCOMPARE(idOf(rowOf("b" + name)), b);
        QCOMPARE(idOf(rowOf("c" + name)), c);
    }

    // Every window the window manager lists has its row with its own title,
    // whatever it says of its host and however its title is written.
    void everyManagedWindowHasItsRow_data() {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QString>("shown");
        const QString name = TestSupport::uniqueName("tessmar-shape");
        QTest::newRow("blank title") << QByteArray("_NET_WM_NAME") << QByteArray("UTF8_STRING")
                                     << QByteArray("   ") << QByteArray("vm") << QString("");
        QTest::newRow("one word, empty host")
            << QByteArray("WM_NAME") << QByteArray("STRING") << name.toUtf8() << QByteArray("") << name;
        QTest::newRow("host with a line break")
            << QByteArray("WM_NAME") << QByteArray("STRING") << ("b" + name).toUtf8()
            << QByteArray("vm\n0x0  0 x y") << "b" + name;
        // Latin-1 by default, then JIS X 0208 in the right half: "café あ".
        QTest::newRow("COMPOUND_TEXT") << QByteArray("WM_NAME") << QByteArray("COMPOUND_TEXT")
                                       << QByteArray(name.toLatin1() + QByteArray("caf\xe9 \x1b$)B\xa4\xa2"))
                                       << QByteArray("vm") << name + QString::fromUtf8("caf\u00e9 \u3042");
        // 4 KB are read: the cut falls inside the 2,048th "é".
        const QString e = QString::fromUtf8("\u00e9");
        QTest::newRow("long UTF-8 STRING cut inside a letter")
            << QByteArray("WM_NAME") << QByteArray("STRING") << ("x" + e.repeated(3000)).toUtf8()
            << QByteArray("vm") << "x" + e.repeated(2047);
    }
    void everyManagedWindowHasItsRow() {
        QFETCH(QByteArray, property);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, title);
        QFETCH(QByteArray, host);
        RawXWindows x;
        const quint32 window = x.create(false);
        x.setText(window, x.atom(property.constData()), x.atom(type.constData()), title);
        x.setText(window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, host);
        x.createUnfocused(); // a neighbour, so the row is not alone
        xcb_map_window(x.raw(), window);
        x.sync();
        QVERIFY(listed({window}));
        QTEST(table()->item(rowOfWindow(window), 0)->text(), "shown");
    }

    // wmctrl prints no more than 1,024 windows; the window manager's list
    // holds them all. On a display of the test's own, as the listings of
    // the next test: the window manager takes seconds to manage a thousand
    // windows, while the windows of the tests beside would wait.
    void windowOpenedAfterManyOthersIsListed() {
        window.reset(); // no worker of the tab's may read DISPLAY while it points elsewhere
        PrivateDesktop desktop;
        QVERIFY(desktop.isReady());
        RawXWindows x(desktop.name().constData());
        for (int i = 0; i < 1030; ++i)
            x.createUnfocused();
        const quint32 last = x.createUnfocused();
        const QString title = TestSupport::uniqueName("tessmar-last");
        x.setText(last, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title.toUtf8());
        x.sync();
        PrivateListing listing(desktop);
        QVERIFY(
            TestSupport::waitFor([&] { return listing.refresh() && listing.titleOf(last) == title; }, 60000));
        QCOMPARE(listing.windows.size(), 1031);
    }

    // Another program maps and destroys windows without pause, among 300
    // that stay (reading them all takes wmctrl long enough to meet a window
    // that has gone, every time): every listing still answers, with windows
    // opened and closed meanwhile as they are.
    void listingWhileWindowsComeAndGo() {
        window.reset();
        PrivateDesktop desktop;
        QVERIFY(desktop.isReady());
        RawXWindows x(desktop.name().constData());
        QVector<quint32> many;
        for (int i = 0; i < 300; ++i)
            many.append(x.createUnfocused());
        const quint32 staying = x.createUnfocused(), leaving = x.createUnfocused();
        x.sync();
        PrivateListing listing(desktop);
        QVERIFY(
            TestSupport::waitFor([&] { return listing.refresh() && listing.windows.size() == 302; }, 30000));
        std::atomic<bool> stop{false};
        std::thread churn([&stop, &desktop] {
            // Twenty windows alive at any moment, one closed at random every
            // 10 ms: as fast as the window manager keeps up with.
            RawXWindows other(desktop.name().constData());
            QVector<quint32> alive;
            while (!stop) {
                alive.append(other.createUnfocused());
                if (alive.size() > 20)
                    other.destroy(alive.takeAt(QRandomGenerator::global()->bounded(alive.size())));
                other.sync();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        int answered = 0;
        for (int i = 0; i < 5; ++i)
            answered += listing.refresh() ? 1 : 0;
        x.destroy(leaving);
        const quint32 coming = x.createUnfocused();
        x.sync();
        const bool followed = TestSupport::waitFor([&] {
            return listing.refresh() && listing.titleOf(coming) && !listing.titleOf(leaving) &&
                   listing.titleOf(staying);
        });
        stop = true;
        churn.join();
        QCOMPARE(answered, 5);
        QVERIFY(followed);
    }

    // WM_NAME of type STRING, as many small programs write it: UTF-8 where
    // its bytes are UTF-8, else Latin-1.
    void stringTitlesAsWritten() {
        RawXWindows x;
        const QString title = TestSupport::uniqueName("tessmar-string") + QString::fromUtf8("-caf\u00e9");
        const quint32 utf8 = x.create(true), latin1 = x.create(true);
        x.setText(utf8, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title.toUtf8());
        x.setText(latin1, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title.toLatin1());
        x.sync();
        QVERIFY(listed({utf8, latin1}));
        QCOMPARE(table()->item(rowOfWindow(utf8), 0)->text(), title);
        QCOMPARE(table()->item(rowOfWindow(latin1), 0)->text(), title);
    }

    // The row shows the window's own icon at its size, and its new icon at
    // the next refill once it changed.
    void rowShowsTheIconAndItsChange() {
        RawXWindows x;
        const quint32 window = x.create(true);
        x.setText(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                  TestSupport::uniqueName("tessmar-icon").toUtf8());
        x.setIcon(window, {{{16, 16}, 0xFFFF0000}, {{64, 64}, 0xFF00FF00}});
        x.sync();
        QVERIFY(listed({window}));
        QCOMPARE(table()->item(rowOfWindow(window), 0)->icon().availableSizes(), QList<QSize>{QSize(32, 32)});
        QCOMPARE(iconColour(window), 0xFF00FF00);
        // Made once: a new icon at every refill fills Qt's pixmap cache.
        const qint64 made = table()->item(rowOfWindow(window), 0)->icon().cacheKey();
        QVERIFY(refresh());
        QCOMPARE(table()->item(rowOfWindow(window), 0)->icon().cacheKey(), made);
        x.setIcon(window, {{{32, 32}, 0xFF0000FF}});
        x.sync();
        QVERIFY(refresh());
        QCOMPARE(iconColour(window), 0xFF0000FF);
    }

    void selectionFollowsTheWindowWhenRowsMove() {
        const QString name = TestSupport::uniqueName("tessmar-order");
        std::vector<std::unique_ptr<QWidget>> windows;
        for (const char* letter : {"b", "c", "d"}) {
            windows.push_back(std::make_unique<QWidget>());
            windows.back()->setWindowTitle(letter + name);
            windows.back()->show();
        }
        QVERIFY(shown("d" + name) && refresh());
        const int before = rowOf("c" + name);
        QVERIFY(before >= 0 && before < rowOf("d" + name));
        const QString id = idOf(before);
        table()->setCurrentCell(before, 0);
        windows[1]->setWindowTitle("e" + name);
        QVERIFY(shown("e" + name) && refresh());
        // Other programs' windows may come and go: compare with the neighbour.
        const int after = rowOf("e" + name);
        QVERIFY(after > rowOf("d" + name));
        QCOMPARE(table()->currentRow(), after);
        QCOMPARE(idOf(table()->selectedItems().value(0)->row()), id);
    }

    // Another program's windows are listed, runs of blanks as one, and a
    // title cannot forge a line. Switch To makes each the active window in
    // turn; Close App ends the selected one, and the window that moves up
    // into its row is not selected in its place.
    void listSwitchToAndClose() {
        const QString name = TestSupport::uniqueName("tessmar-list");
        const QString first = "a" + name + " two blanks", second = "b" + name;
        QVERIFY(openWindow("a" + name + "  two   blanks"));
        QVERIFY(openWindow(second + "\n0x00000bad  0 host Forged" + name));
        QVERIFY(refresh());
        QVERIFY(rowOf(first) >= 0 && rowOf(second) >= 0 && rowOf("Forged" + name) < 0);
        QCOMPARE(idOf(rowOf(first)), TestSupport::windowIdsWithTitle(first).value(0));
        QVERIFY(!table()->item(rowOf(first), 0)->icon().isNull());
        for (const QString& title : {second, first}) {
            table()->setCurrentCell(rowOf(title), 0);
            const quint32 id = idOf(rowOf(title)).toUInt(nullptr, 16);
            QTest::mouseClick(ui->pushButtonSwitchTo, Qt::LeftButton);
            QVERIFY(TestSupport::waitFor([id] { return activeWindow() == id; }));
        }
        QSignalSpy filled(tab, &TabApplications::applicationTableFilled);
        QTest::mouseClick(ui->pushButtonCloseApp, Qt::LeftButton);
        QVERIFY(helpers.front()->waitForFinished(10000));
        QVERIFY(TestSupport::waitFor([&] { return filled.count() > 0 && rowOf(first) < 0; }));
        QVERIFY(rowOf(second) >= 0 && nothingSelected());
    }
};

QTEST_MAIN(TestApplicationsTab)
#include "tst_applicationstab.moc"
