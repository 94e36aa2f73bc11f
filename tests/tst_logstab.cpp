#include "commandrunner.h"
#include "elidetextdelegate.h"
#include "loadingoverlay.h"
#include "logtablemodel.h"
#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "tablogs.h"
#include "testsupport.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workerlogs.h"

#include <QProgressBar>
#include <QStandardItemModel>
#include <QToolTip>
#include <QtTest>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace {
void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QByteArray fixture(const QString& name) {
    QFile file(TestSupport::testDataPath("logs/" + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void printsFixture(const QString& folder, const QString& tool, const QString& fixture) {
    QVERIFY(TestSupport::writeScript(folder + "/" + tool,
                                     "#!/bin/sh\ncat '" +
                                         TestSupport::testDataPath("logs/" + fixture).toUtf8() + "'\n"));
}

void setWindowColour(const QColor& colour) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, colour);
    QApplication::setPalette(palette);
}

QStringList column(QTableView* view, int column, int role = Qt::DisplayRole) {
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data(role).toString();
    return texts;
}

int shownRows(QTableView* view) {
    return view->model()->rowCount();
}

// A classic syslog line whose tag hides a right-to-left override: shown as
// written it would read "ulive".
const QByteArray spoofedLine = "Feb 10 08:00:02 deb11 u\xe2\x80\xae"
                               "evil[12]: reads \xe2\x81\xa6"
                               "as\xe2\x81\xa9"
                               " written\n";
} // namespace

// The Logs page inside a real main window, fed from a fixture root and
// stand-in tools: the first load, colours, filters, sorting, reloads,
// names other users wrote, and quitting in every state of a big load.
class TestLogsTab : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QTemporaryDir tools;
    QStringList originalSearchPath;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    TabLogs* tab = nullptr;

    bool everyPageAnswered() const {
        for (int page = 0; page < TabLogs::PageCount; ++page)
            if (tab->isLoading(TabLogs::Page(page)))
                return false;
        return tab->isInitialized();
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

    void reload(QPushButton* button, TabLogs::Page page) {
        button->click();
        QVERIFY(TestSupport::waitFor([&] { return !tab->isLoading(page); }));
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
        // An old month-name syslog on a new release, with a spoofing tag;
        // no auth.log or kern.log.
        writeFile(root.path() + "/var/log/syslog", fixture("syslog.classic") + spoofedLine);
        writeFile(root.path() + "/var/log/boot.log", fixture("boot.log"));
        writeFile(root.path() + "/var/log/dpkg.log", fixture("dpkg.log"));
        writeFile(root.path() + "/etc/passwd", fixture("passwd"));
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
        QVERIFY(TestSupport::writeScript(tools.path() + "/flatpak",
                                         ("#!/bin/sh\ncat '" + tools.path() + "/history.txt'\n").toUtf8()));
        originalSearchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());

        openWindow();
        QVERIFY(TestSupport::waitFor([this] { return everyPageAnswered(); }));
    }
    void cleanupTestCase() {
        window.reset();
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(originalSearchPath);
    }

    void everyPageShowsItsSourceOrWhyNot() {
        QCOMPARE(shownRows(ui->tableLogsSysLog), 8);
        QCOMPARE(ui->labelLogsSysLogEntries->text(), QStringLiteral("8"));
        QVERIFY(tab->unavailableReason(TabLogs::AuthLog).contains("rsyslog"));
        QVERIFY(tab->unavailableReason(TabLogs::KernLog).contains("/var/log/kern.log"));
        QCOMPARE(shownRows(ui->tableLogsAuthLog), 0);
        QCOMPARE(ui->labelLogsAuthLogEntries->text(), QStringLiteral("0"));
        QCOMPARE(shownRows(ui->tableLogsDmesgLog), 8);
        QCOMPARE(shownRows(ui->tableLogsBootLog), 6);
        QCOMPARE(shownRows(ui->tableLogsFailLog), 3);
        QCOMPARE(shownRows(ui->tableLogsDpkgLog), 14);
        QCOMPARE(ui->labelLogsDpkgLogEntries->text(), QStringLiteral("14"));
        QCOMPARE(shownRows(ui->tableLogsFlatpakLog), 11);
        for (int page = 0; page < TabLogs::PageCount; ++page) {
            QVERIFY(!tab->overlay(TabLogs::Page(page))->isVisible());
            QVERIFY(tab->note(TabLogs::Page(page)).isEmpty());
        }
        // An upgrade names the version it installed first.
        QVERIFY(column(ui->tableLogsDpkgLog, 3).contains("2025b-0+deb12u2 (was 2025b-0+deb12u1)"));
        saveScreenshots("logs");
    }

    void pagesSortByWhatTheColumnMeans() {
        // Newest first, December of the year before last.
        const QStringList times = column(ui->tableLogsSysLog, 0);
        QCOMPARE(times.first(), QStringLiteral("Feb 10 08:00:02"));
        QCOMPARE(times.last(), QStringLiteral("Dec 31 23:59:58"));
        QCOMPARE(times.indexOf("Jan  1 00:00:01") + 1, times.indexOf("Dec 31 23:59:59"));
        QCOMPARE(column(ui->tableLogsDmesgLog, 0),
                 QStringList({"0.000000", "0.000000", "0.004000", "0.004000", "1.234567", "12.000001",
                              "100.5", "1000.000000"}));
        // Flatpak changes by their running number, not their time text.
        QCOMPARE(column(ui->tableLogsFlatpakLog, 2).first(), QStringLiteral("org.example.App1"));
        QCOMPARE(column(ui->tableLogsFlatpakLog, 2).last(), QStringLiteral("org.example.App11"));
        // Boot and login pages keep the order of their source; a header
        // click does not sort them.
        ui->tableLogsFailLog->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
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
        QVERIFY(TestSupport::waitFor([this] { return everyPageAnswered(); }));
        QVERIFY(ui->label_10->styleSheet().contains(labelColour));
        QVERIFY(ui->tabWidgetLogsTabs->styleSheet().contains(labelColour));

        const auto background = [](QTableView* view, int row, int col) {
            return view->model()->index(row, col).data(Qt::BackgroundRole).value<QBrush>().color();
        };
        QTableView* dpkg = ui->tableLogsDpkgLog;
        const QStringList actions = column(dpkg, 1);
        for (int row = 0; row < actions.size(); ++row) {
            const QColor expected = actions[row] == "install"   ? statusColorGreen()
                                    : actions[row] == "upgrade" ? statusColorAmber()
                                                                : statusColorRed();
            QCOMPARE(background(dpkg, row, 3), expected);
        }
        QTableView* sys = ui->tableLogsSysLog;
        const QStringList messages = column(sys, 2);
        for (int row = 0; row < messages.size(); ++row) {
            const bool warning = messages[row].contains("WARNING");
            QCOMPARE(background(sys, row, 1), warning ? statusColorAmber() : statusColorGreen());
            QCOMPARE(sys->model()->index(row, 0).data(Qt::UserRole).toString(),
                     warning ? "warning" : "information");
            QVERIFY(!sys->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
            QVERIFY(!sys->model()->index(row, 1).data(Qt::DecorationRole).isValid());
        }
        QTableView* logins = ui->tableLogsFailLog;
        QCOMPARE(background(logins, 0, 0), statusColorGreen()); // alice, no failures
        QCOMPARE(background(logins, 1, 0), statusColorRed());   // bob, 3 failures
        QVERIFY(logins->model()->index(1, 4).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        QCOMPARE(logins->model()->index(1, 2).data().toString(), QStringLiteral("Yes"));
        QApplication::setPalette(original);
    }

    void kindButtonsAndFilterNarrowTogether() {
        QTableView* sys = ui->tableLogsSysLog;
        ui->pushButtonLogsSysLogInfo->click();
        QCOMPARE(shownRows(sys), 1);
        QCOMPARE(ui->labelLogsSysLogEntries->text(), QStringLiteral("1"));
        ui->lineEditLogsSysLogFilter->setText("cron");
        QCOMPARE(shownRows(sys), 0);
        ui->pushButtonLogsSysLogInfo->click();
        ui->lineEditLogsSysLogFilter->setText("  CRON ");
        QCOMPARE(shownRows(sys), 2); // CRON, and anacron's cron.daily
        // Sorted by another column, also when reloaded, the filter still
        // keeps the right rows.
        sys->sortByColumn(1, Qt::AscendingOrder);
        reload(ui->pushButtonLogsSysLogReload, TabLogs::SysLog);
        QCOMPARE(column(sys, 1), QStringList({"CRON", "anacron"}));
        ui->lineEditLogsSysLogFilter->setText("warning");
        QCOMPARE(column(sys, 2), QStringList({"[system] WARNING: failed to activate"}));
        sys->sortByColumn(0, Qt::DescendingOrder);
        ui->lineEditLogsSysLogFilter->clear();
        QCOMPARE(shownRows(sys), 8);

        // "[ OK ]" also stands for lines without a status.
        ui->pushButtonLogsBootLogInfo->click();
        QCOMPARE(shownRows(ui->tableLogsBootLog), 2);
        ui->pushButtonLogsBootLogInfo->click();
        ui->pushButtonLogsDpkgLogRemove->click();
        QCOMPARE(ui->labelLogsDpkgLogEntries->text(), QStringLiteral("11"));
        ui->pushButtonLogsDpkgLogRemove->click();
        ui->pushButtonLogsFlatpakLogRemove->click();
        QCOMPARE(shownRows(ui->tableLogsFlatpakLog), 8);
        ui->pushButtonLogsFlatpakLogRemove->click();
    }

    // The selected row stays selected through a filter and a refill.
    void theSelectionFollowsItsRow() {
        QTableView* sys = ui->tableLogsSysLog;
        const int row = column(sys, 1).indexOf("sshd");
        sys->selectRow(row);
        ui->lineEditLogsSysLogFilter->setText("accepted");
        QCOMPARE(sys->currentIndex().row(), 0);
        QCOMPARE(sys->currentIndex().siblingAtColumn(1).data().toString(), QStringLiteral("sshd"));
        ui->lineEditLogsSysLogFilter->clear();
        tab->onThemeChanged();
        QVERIFY(TestSupport::waitFor([this] { return everyPageAnswered(); }));
        QCOMPARE(sys->currentIndex().siblingAtColumn(1).data().toString(), QStringLiteral("sshd"));
    }

    // Names other users wrote reach the screen with their direction marks
    // made visible: the tag cannot pass for "ulive".
    void namesCannotSpoofThePage() {
        QTableView* sys = ui->tableLogsSysLog;
        const int row = column(sys, 2).indexOf(QRegularExpression("reads .*"));
        QVERIFY(row >= 0);
        const QModelIndex service = sys->model()->index(row, 1);
        QCOMPARE(service.data().toString(), QStringLiteral("u<U+202E>evil"));
        QCOMPARE(service.siblingAtColumn(2).data().toString(),
                 QStringLiteral("reads <U+2066>as<U+2069> written"));
        // The filter still finds the name as it was written.
        ui->lineEditLogsSysLogFilter->setText(QString::fromUtf8("u\xe2\x80\xae"
                                                                "evil"));
        QCOMPARE(shownRows(sys), 1);
        ui->lineEditLogsSysLogFilter->clear();
    }

    // A cell cut at its width shows the whole text as its tooltip; one that
    // fits shows none.
    void cutCellsCarryTheirWholeText() {
        QTableView* sys = ui->tableLogsSysLog;
        ui->tabWidgetLogsTabs->setCurrentIndex(0);
        const QModelIndex service = sys->model()->index(column(sys, 1).indexOf("dbus-daemon"), 1);
        auto* delegate = static_cast<ElideTextDelegate*>(sys->itemDelegate());
        const auto tipAtWidth = [&](int width) {
            sys->setColumnWidth(1, width);
            QStyleOptionViewItem option;
            option.initFrom(sys->viewport());
            option.rect = sys->visualRect(service);
            return delegate->toolTipFor(option, service);
        };
        QVERIFY2(tipAtWidth(40).contains(">dbus-daemon<"), qPrintable(tipAtWidth(40)));
        QCOMPARE(tipAtWidth(300), QString());
        // As the view asks for it, pointing at the cut cell.
        sys->setColumnWidth(1, 40);
        const QPoint at = sys->visualRect(service).center();
        QHelpEvent event(QEvent::ToolTip, at, sys->viewport()->mapToGlobal(at));
        QApplication::sendEvent(sys->viewport(), &event);
        QTRY_VERIFY(QToolTip::text().contains(">dbus-daemon<"));
        QToolTip::hideText();
        sys->setColumnWidth(1, 130);
    }

    // A long name full of hyphens shows on one line of its tooltip, as on the
    // Services page, not broken at every hyphen.
    void cutNamesStayOnOneLine() {
        const QString name = "systemd-networkd-wait-online-for-every-interface-x";
        QStandardItemModel model(1, 1);
        model.setItem(0, 0, new QStandardItem(name));
        QTableView view;
        ElideTextDelegate delegate;
        view.setItemDelegate(&delegate);
        view.setModel(&model);
        view.setColumnWidth(0, 60);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QPoint at = view.visualRect(model.index(0, 0)).center();
        QHelpEvent event(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &event);
        QTRY_VERIFY(QToolTip::isVisible());
        QWidget* label = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("QTipLabel") && widget->isVisible())
                label = widget;
        }
        QVERIFY(label);
        QVERIFY2(label->height() < 2 * label->fontMetrics().lineSpacing(),
                 qPrintable(QString::number(label->height())));
        QToolTip::hideText();
    }

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

QTEST_MAIN(TestLogsTab)
#include "tst_logstab.moc"
