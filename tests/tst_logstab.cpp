#include "elidetextdelegate.h"
#include "loadingoverlay.h"
#include "logspagefixture.h"
#include "testsupport.h"
#include "themecolors.h"
#include "ui_mainwindow.h"

#include <QStandardItemModel>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QtTest>

namespace {
void setWindowColour(const QColor& colour) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, colour);
    QApplication::setPalette(palette);
}

// The tooltip label shown for a one-cell table of text cut at width, with
// the pointer resting on the cell; null when none shows.
QWidget* toolTipOfCutCell(QTableView& view, ElideTextDelegate& delegate, const QString& text, int width) {
    auto* model = new QStandardItemModel(1, 1, &view);
    model->setItem(0, 0, new QStandardItem(text));
    view.setItemDelegate(&delegate);
    view.setModel(model);
    view.setColumnWidth(0, width);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return nullptr;
    const QPoint at = view.visualRect(model->index(0, 0)).center();
    QCursor::setPos(view.viewport()->mapToGlobal(at));
    QHelpEvent event(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
    if (!TestSupport::waitFor([] { return QToolTip::isVisible(); }))
        return nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible())
            return widget;
    }
    return nullptr;
}
} // namespace

// The Logs page inside a real main window, fed from a fixture root and
// stand-in tools: the first load, colours, filters, sorting, the selection,
// names other users wrote, and cells cut at their width.
class TestLogsTab : public LogsPageFixture {
    Q_OBJECT

private slots:
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
        ElideTextDelegate delegate;
        QTableView view;
        QWidget* label =
            toolTipOfCutCell(view, delegate, "systemd-networkd-wait-online-for-every-interface-x", 60);
        QVERIFY(label);
        QVERIFY2(label->height() < 2 * label->fontMetrics().lineSpacing(),
                 qPrintable(QString::number(label->height())));
        QToolTip::hideText();
    }

    // A cut message longer than a line of its tooltip wraps at its blanks
    // into lines of a readable width, not into a narrow column broken at
    // every hyphen.
    void longCutCellsWrapAtBlanks() {
        const QString message =
            "<warn> device (wlan0): Activation: failed for connection 'home-wifi-5g-extended' because the "
            "supplicant-based authentication timed out after 25 seconds; the network-manager dispatcher "
            "will retry in 10 seconds with the wpa-psk key-management settings";
        ElideTextDelegate delegate;
        QTableView view;
        QWidget* label = toolTipOfCutCell(view, delegate, message, 200);
        QVERIFY(label);
        const QStringList lines = QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText().split('\n');
        QCOMPARE(lines.join(' '), message);
        QCOMPARE(lines.size(), 3);
        for (const QString& line : lines)
            QVERIFY2(line.size() <= 100, qPrintable(line));
        QVERIFY2(label->height() < (lines.size() + 1) * label->fontMetrics().lineSpacing(),
                 qPrintable(QString::number(label->height())));
        QToolTip::hideText();
    }
};

QTEST_MAIN(TestLogsTab)
#include "tst_logstab.moc"
