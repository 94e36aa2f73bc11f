#include "tablogs.h"

#include "elidetextdelegate.h"
#include "loadingoverlay.h"
#include "mainwindow.h"
#include "numerictablewidgetitem.h"
#include "textfinder.h"
#include "themecolors.h"
#include "timesortingtablewidgetitem.h"
#include "ui_mainwindow.h"
#include "userrolesortingtablewidgetitem.h"
#include "workerlogs.h"
#include "workerthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QVBoxLayout>
#include <vector>

Q_LOGGING_CATEGORY(lcTabLogs, "tessmar.logs.tab", QtWarningMsg)

namespace {
// A fill lets the window breathe this often; the progress and the count are
// updated every 100 rows regardless.
const int YieldIntervalMs = 40;

struct Column {
    const char* title;
    int width; // 0 for the stretch column
};

struct TableLayout {
    std::vector<Column> columns;
    int stretchColumn;
    int hiddenColumn; // -1 for none
    Qt::SortOrder startOrder;
    std::vector<int> searchedColumns;
    bool sortsAfterFill;
};

const TableLayout& layoutOf(TabLogs::Page page) {
    static const TableLayout layouts[TabLogs::PageCount] = {
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 130},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         2,
         -1,
         Qt::DescendingOrder,
         {1, 2},
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder,
         {2, 3},
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 150},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Component"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder,
         {2, 3},
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 130}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder,
         {1},
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Status"), 100}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder,
         {1},
         false},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Username"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Logins"), 62},
          {QT_TRANSLATE_NOOP("TabLogs", "Logged In"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Time Spent"), 115},
          {QT_TRANSLATE_NOOP("TabLogs", "Failed Logins"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Max Fails"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Last Login"), 0}},
         6,
         -1,
         Qt::AscendingOrder,
         {0},
         false},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 170},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Package Name"), 240},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 0}},
         3,
         -1,
         Qt::AscendingOrder,
         {2},
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 70},
          {QT_TRANSLATE_NOOP("TabLogs", "App ID"), 0},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Type"), 70}},
         2,
         -1,
         Qt::AscendingOrder,
         {2},
         true},
    };
    return layouts[page];
}

// The kind each of a page's three buttons stands for, in button order.
const std::array<QString, 3>& kindWordsOf(TabLogs::Page page) {
    static const std::array<QString, 3> severities = {QStringLiteral("information"),
                                                      QStringLiteral("warning"), QStringLiteral("error")};
    static const std::array<QString, 3> packages = {QStringLiteral("install"), QStringLiteral("upgrade"),
                                                    QStringLiteral("remove")};
    static const std::array<QString, 3> flatpaks = {QStringLiteral("install"), QStringLiteral("update"),
                                                    QStringLiteral("uninstall")};
    if (page == TabLogs::DpkgLog)
        return packages;
    if (page == TabLogs::FlatpakLog)
        return flatpaks;
    return severities;
}

std::array<QBrush, 3> severityBrushes() {
    return {QBrush(TabLogs::severityColor(0)), QBrush(TabLogs::severityColor(1)),
            QBrush(TabLogs::severityColor(2))};
}

const QBrush& brushOf(const std::array<QBrush, 3>& brushes, int severity) {
    return brushes[severity == 1 || severity == 2 ? severity : 0];
}

// Row colours by package action, computed once per fill.
struct ActionBrushes {
    QBrush green = statusColorGreen(), amber = statusColorAmber(), red = statusColorRed(),
           blue = statusColorBlue();
    const QBrush& of(const QString& action) const {
        if (action == QLatin1String("install"))
            return green;
        if (action == QLatin1String("upgrade") || action == QLatin1String("update"))
            return amber;
        if (action == QLatin1String("remove") || action == QLatin1String("uninstall"))
            return red;
        return blue;
    }
};
} // namespace

TabLogs::TabLogs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qCDebug(lcTabLogs) << "Here in Tab Logs!";
    informationIcon = QIcon(QStringLiteral(":/icons/information"));
    warningIcon = QIcon(QStringLiteral(":/icons/warning"));
    errorIcon = QIcon(QStringLiteral(":/icons/error"));
    addIcon = QIcon(QStringLiteral(":/icons/add"));
    removeIcon = QIcon(QStringLiteral(":/icons/remove"));
    upgradeIcon = QIcon(QStringLiteral(":/icons/upgrade"));
    otherIcon = QIcon(QStringLiteral(":/icons/other"));

    setupPages();
    // Warnings are not told apart on these pages: their buttons stay checked.
    for (QPushButton* button :
         {ui->pushButtonLogsAuthLogWarning, ui->pushButtonLogsBootLogWarning, ui->pushButtonLogsFailLogInfo,
          ui->pushButtonLogsFailLogWarning, ui->pushButtonLogsFailLogError})
        button->hide();

    for (int page = SysLog; page < PageCount; ++page)
        connect(pages[page].reload, &QPushButton::clicked, this, [this, page] { reloadPage(Page(page)); });
    connect(ui->tabWidgetLogsTabs, &QTabWidget::currentChanged, this, &TabLogs::onTabChanged);

    qRegisterMetaType<QList<DetailsLogsSysLog>>();
    qRegisterMetaType<QList<DetailsLogsAuthLog>>();
    qRegisterMetaType<QList<DetailsLogsKernLog>>();
    qRegisterMetaType<QList<DetailsLogsDmesgLog>>();
    qRegisterMetaType<QList<DetailsLogsBootLog>>();
    qRegisterMetaType<QList<DetailsLogsFailLog>>();
    qRegisterMetaType<QList<DetailsLogsDpkgLog>>();
    qRegisterMetaType<QList<DetailsLogsFlatpakLog>>();
    auto* worker = new WorkerLogs;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workerlogs"));
    connect(worker, &WorkerLogs::sysLogUpdated, this, &TabLogs::onSysLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::authLogUpdated, this, &TabLogs::onAuthLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::kernLogUpdated, this, &TabLogs::onKernLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::dmesgLogUpdated, this, &TabLogs::onDmesgLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::bootLogUpdated, this, &TabLogs::onBootLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::failLogUpdated, this, &TabLogs::onFailLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::dpkgLogUpdated, this, &TabLogs::onDpkgLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::flatpakLogUpdated, this, &TabLogs::onFlatpakLogDataReady,
            Qt::QueuedConnection);
    connect(worker, &WorkerLogs::logUnavailable, this, &TabLogs::onLogUnavailable, Qt::QueuedConnection);
    workerThread->start();

    for (int page = SysLog; page < PageCount; ++page) {
        connect(pages[page].filter, &QLineEdit::textChanged, this, [this, page] { filterPage(Page(page)); });
        if (page == FailLog)
            continue;
        for (QPushButton* kind : pages[page].kinds)
            connect(kind, &QPushButton::clicked, this, [this, page] { filterPage(Page(page)); });
    }
    setupTables();

    connect(this, &TabLogs::requestUpdateLogsSysLogTable, worker, &WorkerLogs::fetchSysLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsAuthLogTable, worker, &WorkerLogs::fetchAuthLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsKernLogTable, worker, &WorkerLogs::fetchKernLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsDmesgLogTable, worker, &WorkerLogs::fetchDmesgLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsBootLogTable, worker, &WorkerLogs::fetchBootLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsFailLogTable, worker, &WorkerLogs::fetchFailLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsDpkgLogTable, worker, &WorkerLogs::fetchDpkgLog,
            Qt::QueuedConnection);
    connect(this, &TabLogs::requestUpdateLogsFlatpakLogTable, worker, &WorkerLogs::fetchFlatpakLog,
            Qt::QueuedConnection);

    for (int page = SysLog; page < PageCount; ++page) {
        overlays[page] = new LoadingOverlay(pages[page].table);
        overlays[page]->hide();
    }

    formTabsStyle = ui->tabWidgetLogsTabs->styleSheet();
    formLabelStyle = ui->label_10->styleSheet();
    applyLabelColours();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabLogs::onThemeChanged);
}

TabLogs::~TabLogs() = default;

void TabLogs::setupPages() {
    const auto set = [this](Page page, QTableWidget* table, QLineEdit* filter, QPushButton* reload,
                            QLabel* count, QPushButton* first, QPushButton* second, QPushButton* third) {
        PageState& state = pages[page];
        state.table = table;
        state.filter = filter;
        state.reload = reload;
        state.count = count;
        state.kinds[0] = first;
        state.kinds[1] = second;
        state.kinds[2] = third;
        // The reason a source cannot be read, centred over its empty table.
        state.notice = new QLabel(table->viewport());
        state.notice->setObjectName(QStringLiteral("labelLogsUnavailable%1").arg(page));
        state.notice->setAlignment(Qt::AlignCenter);
        state.notice->setWordWrap(true);
        state.notice->hide();
        auto* layout = new QVBoxLayout(table->viewport());
        layout->setContentsMargins(24, 24, 24, 24);
        layout->addWidget(state.notice);
    };
    set(SysLog, ui->tableLogsSysLog, ui->lineEditLogsSysLogFilter, ui->pushButtonLogsSysLogReload,
        ui->labelLogsSysLogEntries, ui->pushButtonLogsSysLogInfo, ui->pushButtonLogsSysLogWarning,
        ui->pushButtonLogsSysLogError);
    set(AuthLog, ui->tableLogsAuthLog, ui->lineEditLogsAuthLogFilter, ui->pushButtonLogsAuthLogReload,
        ui->labelLogsAuthLogEntries, ui->pushButtonLogsAuthLogInfo, ui->pushButtonLogsAuthLogWarning,
        ui->pushButtonLogsAuthLogError);
    set(KernLog, ui->tableLogsKernLog, ui->lineEditLogsKernLogFilter, ui->pushButtonLogsKernLogReload,
        ui->labelLogsKernLogEntries, ui->pushButtonLogsKernLogInfo, ui->pushButtonLogsKernLogWarning,
        ui->pushButtonLogsKernLogError);
    set(DmesgLog, ui->tableLogsDmesgLog, ui->lineEditLogsDmesgLogFilter, ui->pushButtonLogsDmesgLogReload,
        ui->labelLogsDmesgLogEntries, ui->pushButtonLogsDmesgLogInfo, ui->pushButtonLogsDmesgLogWarning,
        ui->pushButtonLogsDmesgLogError);
    set(BootLog, ui->tableLogsBootLog, ui->lineEditLogsBootLogFilter, ui->pushButtonLogsBootLogReload,
        ui->labelLogsBootLogEntries, ui->pushButtonLogsBootLogInfo, ui->pushButtonLogsBootLogWarning,
        ui->pushButtonLogsBootLogError);
    set(FailLog, ui->tableLogsFailLog, ui->lineEditLogsFailLogFilter, ui->pushButtonLogsFailLogReload,
        ui->labelLogsFailLogEntries, ui->pushButtonLogsFailLogInfo, ui->pushButtonLogsFailLogWarning,
        ui->pushButtonLogsFailLogError);
    set(DpkgLog, ui->tableLogsDpkgLog, ui->lineEditLogsDpkgLogFilter, ui->pushButtonLogsDpkgLogReload,
        ui->labelLogsDpkgLogEntries, ui->pushButtonLogsDpkgLogInstall, ui->pushButtonLogsDpkgLogUpgrade,
        ui->pushButtonLogsDpkgLogRemove);
    set(FlatpakLog, ui->tableLogsFlatpakLog, ui->lineEditLogsFlatpakLogFilter,
        ui->pushButtonLogsFlatpakLogReload, ui->labelLogsFlatpakLogEntries,
        ui->pushButtonLogsFlatpakLogInstall, ui->pushButtonLogsFlatpakLogUpgrade,
        ui->pushButtonLogsFlatpakLogRemove);
}

void TabLogs::setupTables() {
    for (int page = SysLog; page < PageCount; ++page) {
        const TableLayout& layout = layoutOf(Page(page));
        QTableWidget* logTable = pages[page].table;
        logTable->setColumnCount(int(layout.columns.size()));
        QStringList titles;
        for (const Column& column : layout.columns)
            titles << tr(column.title);
        logTable->setHorizontalHeaderLabels(titles);
        for (int i = 0; i < int(layout.columns.size()); ++i) {
            if (i == layout.stretchColumn)
                logTable->horizontalHeader()->setSectionResizeMode(i, QHeaderView::Stretch);
            else
                logTable->setColumnWidth(i, layout.columns[size_t(i)].width);
        }
        if (layout.hiddenColumn >= 0)
            logTable->setColumnHidden(layout.hiddenColumn, true);
        logTable->horizontalHeader()->setSortIndicator(0, layout.startOrder);
        delegates[page] = std::make_unique<ElideTextDelegate>();
        logTable->setItemDelegate(delegates[page].get());
    }
}

QString TabLogs::unavailableReason(Page page) const {
    return pages[page].notice->isHidden() ? QString() : pages[page].notice->text();
}

QColor TabLogs::severityColor(int severity) {
    if (severity == 1)
        return statusColorAmber();
    if (severity == 2)
        return statusColorRed();
    return statusColorGreen();
}

QColor TabLogs::actionColor(const QString& action) {
    return ActionBrushes().of(action).color();
}

void TabLogs::applyLabelColours() {
    // The form's dark blue cannot be read on a dark page.
    const bool dark = isDarkTheme();
    const QString lightBlue = QStringLiteral("QLabel {color: #7FA8FF;}");
    ui->tabWidgetLogsTabs->setStyleSheet(dark ? lightBlue : formTabsStyle);
    for (QLabel* label : {ui->label_10, ui->label_18, ui->label_20})
        label->setStyleSheet(dark ? lightBlue : formLabelStyle);
}

void TabLogs::requestPage(Page page) {
    switch (page) {
    case SysLog:
        emit requestUpdateLogsSysLogTable();
        break;
    case AuthLog:
        emit requestUpdateLogsAuthLogTable();
        break;
    case KernLog:
        emit requestUpdateLogsKernLogTable();
        break;
    case DmesgLog:
        emit requestUpdateLogsDmesgLogTable();
        break;
    case BootLog:
        emit requestUpdateLogsBootLogTable();
        break;
    case FailLog:
        emit requestUpdateLogsFailLogTable();
        break;
    case DpkgLog:
        emit requestUpdateLogsDpkgLogTable();
        break;
    case FlatpakLog:
        emit requestUpdateLogsFlatpakLogTable();
        break;
    case PageCount:
        break;
    }
}

void TabLogs::reloadPage(Page page) {
    // One veil per page: a reload during a fill shows the same veil again.
    overlays[page]->setProgress(0);
    overlays[page]->show();
    overlays[page]->raise();
    requestPage(page);
}

void TabLogs::initializeLogs() {
    if (logsInitialized)
        return;
    qCDebug(lcTabLogs) << "We are going to initialize the SysLog table first!!!";
    overlays[SysLog]->show();
    emit requestUpdateLogsSysLogTable();
}

void TabLogs::onThemeChanged() {
    applyLabelColours();
    if (!logsInitialized)
        return;
    for (int page = SysLog; page < PageCount; ++page)
        requestPage(Page(page));
}

void TabLogs::onTabChanged(int index) {
    qCDebug(lcTabLogs) << "Logs tab changed to: " << index;
}

void TabLogs::onTabsShown() {
    const int index = ui->tabWidgetLogsTabs->currentIndex();
    onTabChanged(index);
    qCDebug(lcTabLogs) << "Logs tabs are now shown! Tab " << index << " is open.";
}

void TabLogs::fill(Page page, int total, const std::function<void()>& again, const RowBuilder& buildRow) {
    PageState& state = pages[page];
    if (state.filling) {
        // Arrived through the events a fill lets run: the newest answer wins
        // and starts afresh once the running fill yields.
        state.pending = again;
        return;
    }
    state.filling = true;
    const bool completed = fillRows(page, total, buildRow);
    state.filling = false;
    if (!completed || state.pending) {
        const std::function<void()> next = std::move(state.pending);
        state.pending = nullptr;
        next();
        return;
    }
    finishFill(page);
}

bool TabLogs::fillRows(Page page, int total, const RowBuilder& buildRow) {
    PageState& state = pages[page];
    QTableWidget* table = state.table;
    const QTableWidgetItem* current =
        table->currentRow() >= 0 ? table->item(table->currentRow(), 0) : nullptr;
    const bool hadCurrent = current != nullptr;
    const QString remembered = current ? current->text() : QString();

    state.notice->hide();
    table->setUpdatesEnabled(false);
    table->setSortingEnabled(false);
    table->setRowCount(0);
    table->setRowCount(total);
    QElapsedTimer sinceYield;
    sinceYield.start();
    for (int row = 0; row < total; ++row) {
        buildRow(row);
        if (row % 100 != 0)
            continue;
        overlays[page]->setProgress(int((qint64(row) + 1) * 100 / total));
        state.count->setText(QString::number(row));
        if (row == 0 || sinceYield.elapsed() >= YieldIntervalMs) {
            table->setUpdatesEnabled(true);
            QCoreApplication::processEvents();
            table->setUpdatesEnabled(false);
            sinceYield.restart();
            if (state.pending) {
                table->setUpdatesEnabled(true);
                return false;
            }
        }
    }
    table->setUpdatesEnabled(true);
    if (layoutOf(page).sortsAfterFill)
        table->setSortingEnabled(true);
    filterPage(page);

    if (hadCurrent) {
        int found = -1;
        for (int row = 0; row < table->rowCount() && found < 0; ++row) {
            const QTableWidgetItem* item = table->item(row, 0);
            if (item && item->text() == remembered)
                found = row;
        }
        QScrollBar* bar = table->verticalScrollBar();
        const int scroll = bar->value();
        if (found >= 0)
            table->selectRow(found);
        bar->setValue(scroll);
    }
    return true;
}

void TabLogs::finishFill(Page page) {
    overlays[page]->hide();
    if (page != SysLog || logsInitialized)
        return;
    // The first syslog answer completes the first load, also when the syslog
    // could not be read: the other pages follow in page order, and only once.
    for (int other = AuthLog; other < PageCount; ++other)
        requestPage(Page(other));
    qCDebug(lcTabLogs) << "All other logs have been initialized.";
    logsInitialized = true;
}

void TabLogs::onLogUnavailable(int source, const QString& reason) {
    if (source < SysLog || source >= PageCount)
        return;
    const Page page = Page(source);
    if (pages[page].filling) {
        pages[page].pending = [this, page, reason] { onLogUnavailable(page, reason); };
        return;
    }
    showUnavailable(page, reason);
}

void TabLogs::showUnavailable(Page page, const QString& reason) {
    qWarning().noquote() << "Logs page" << page << "has no data:" << reason;
    PageState& state = pages[page];
    state.table->setRowCount(0);
    state.count->setText(QStringLiteral("0"));
    state.notice->setText(reason);
    state.notice->show();
    finishFill(page);
}

QTableWidgetItem* TabLogs::kindItem(QTableWidgetItem* item, int severity) const {
    static const QString information = QStringLiteral("information"), warning = QStringLiteral("warning"),
                         error = QStringLiteral("error");
    if (severity == 0) {
        item->setIcon(informationIcon);
        item->setData(Qt::UserRole, information);
    } else if (severity == 1) {
        item->setIcon(warningIcon);
        item->setData(Qt::UserRole, warning);
    } else {
        item->setIcon(errorIcon);
        item->setData(Qt::UserRole, error);
    }
    return item;
}

namespace {
void putRow(QTableWidget* table, int row, std::initializer_list<QTableWidgetItem*> items,
            const QBrush& brush) {
    int column = 0;
    for (QTableWidgetItem* item : items) {
        item->setBackground(brush);
        table->setItem(row, column++, item);
    }
}
} // namespace

void TabLogs::onSysLogDataReady(const QList<DetailsLogsSysLog>& detailsLogsSysLog) {
    const auto brushes = severityBrushes();
    QTableWidget* table = pages[SysLog].table;
    fill(
        SysLog, detailsLogsSysLog.size(), [this, detailsLogsSysLog] { onSysLogDataReady(detailsLogsSysLog); },
        [&](int row) {
            const DetailsLogsSysLog& record = detailsLogsSysLog.at(row);
            putRow(
                table, row,
                {kindItem(new TimeSortingTableWidgetItem(record.timestamp, record.timeKey), record.severity),
                 new QTableWidgetItem(record.service), new QTableWidgetItem(record.message)},
                brushOf(brushes, record.severity));
        });
}

void TabLogs::onAuthLogDataReady(const QList<DetailsLogsAuthLog>& detailsLogAuthLog) {
    const auto brushes = severityBrushes();
    QTableWidget* table = pages[AuthLog].table;
    fill(
        AuthLog, detailsLogAuthLog.size(),
        [this, detailsLogAuthLog] { onAuthLogDataReady(detailsLogAuthLog); },
        [&](int row) {
            const DetailsLogsAuthLog& record = detailsLogAuthLog.at(row);
            putRow(
                table, row,
                {kindItem(new TimeSortingTableWidgetItem(record.timestamp, record.timeKey), record.severity),
                 new QTableWidgetItem(record.hostname), new QTableWidgetItem(record.service),
                 new QTableWidgetItem(record.message)},
                brushOf(brushes, record.severity));
        });
}

void TabLogs::onKernLogDataReady(const QList<DetailsLogsKernLog>& detailsLogKernLog) {
    const auto brushes = severityBrushes();
    QTableWidget* table = pages[KernLog].table;
    fill(
        KernLog, detailsLogKernLog.size(),
        [this, detailsLogKernLog] { onKernLogDataReady(detailsLogKernLog); },
        [&](int row) {
            const DetailsLogsKernLog& record = detailsLogKernLog.at(row);
            putRow(
                table, row,
                {kindItem(new TimeSortingTableWidgetItem(record.timestamp, record.timeKey), record.severity),
                 new QTableWidgetItem(record.hostname), new QTableWidgetItem(record.component),
                 new QTableWidgetItem(record.message)},
                brushOf(brushes, record.severity));
        });
}

void TabLogs::onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& detailsLogDmesgLog) {
    const auto brushes = severityBrushes();
    QTableWidget* table = pages[DmesgLog].table;
    fill(
        DmesgLog, detailsLogDmesgLog.size(),
        [this, detailsLogDmesgLog] { onDmesgLogDataReady(detailsLogDmesgLog); },
        [&](int row) {
            const DetailsLogsDmesgLog& record = detailsLogDmesgLog.at(row);
            putRow(table, row,
                   {kindItem(new NumericTableWidgetItem(record.timestamp), record.severity),
                    new QTableWidgetItem(record.message)},
                   brushOf(brushes, record.severity));
        });
}

void TabLogs::onBootLogDataReady(const QList<DetailsLogsBootLog>& detailsLogBootLog) {
    const auto brushes = severityBrushes();
    QTableWidget* table = pages[BootLog].table;
    fill(
        BootLog, detailsLogBootLog.size(),
        [this, detailsLogBootLog] { onBootLogDataReady(detailsLogBootLog); },
        [&](int row) {
            const DetailsLogsBootLog& record = detailsLogBootLog.at(row);
            putRow(table, row,
                   {kindItem(new QTableWidgetItem(record.status), record.severity),
                    new QTableWidgetItem(record.message)},
                   brushOf(brushes, record.severity));
        });
}

void TabLogs::onFailLogDataReady(const QList<DetailsLogsFailLog>& detailsLogFailLog) {
    const auto brushes = severityBrushes();
    QTableWidget* table = pages[FailLog].table;
    fill(
        FailLog, detailsLogFailLog.size(),
        [this, detailsLogFailLog] { onFailLogDataReady(detailsLogFailLog); },
        [&](int row) {
            const DetailsLogsFailLog& record = detailsLogFailLog.at(row);
            QTableWidgetItem* numbers[] = {new QTableWidgetItem(QString::number(record.logins)),
                                           new QTableWidgetItem(record.loggedIn ? tr("Yes") : tr("No")),
                                           new QTableWidgetItem(record.timeSpent),
                                           new QTableWidgetItem(QString::number(record.failedLogins)),
                                           new QTableWidgetItem(QString::number(record.maxFails))};
            for (QTableWidgetItem* item : numbers)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            putRow(table, row,
                   {new QTableWidgetItem(record.username), numbers[0], numbers[1], numbers[2], numbers[3],
                    numbers[4], new QTableWidgetItem(record.lastLogin)},
                   brushOf(brushes, record.failedLogins < 1 ? 0 : 2));
        });
}

void TabLogs::onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& detailsLogDpkgLog) {
    const ActionBrushes brushes;
    QTableWidget* table = pages[DpkgLog].table;
    fill(
        DpkgLog, detailsLogDpkgLog.size(),
        [this, detailsLogDpkgLog] { onDpkgLogDataReady(detailsLogDpkgLog); },
        [&](int row) {
            const DetailsLogsDpkgLog& record = detailsLogDpkgLog.at(row);
            auto* time = new QTableWidgetItem(record.timestamp);
            time->setIcon(record.action == QLatin1String("install")   ? addIcon
                          : record.action == QLatin1String("remove")  ? removeIcon
                          : record.action == QLatin1String("upgrade") ? upgradeIcon
                                                                      : otherIcon);
            putRow(table, row,
                   {time, new QTableWidgetItem(record.action), new QTableWidgetItem(record.packageName),
                    new QTableWidgetItem(record.version)},
                   brushes.of(record.action));
        });
}

void TabLogs::onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& detailsLogFlatpakLog) {
    const ActionBrushes brushes;
    QTableWidget* table = pages[FlatpakLog].table;
    fill(
        FlatpakLog, detailsLogFlatpakLog.size(),
        [this, detailsLogFlatpakLog] { onFlatpakLogDataReady(detailsLogFlatpakLog); },
        [&](int row) {
            const DetailsLogsFlatpakLog& record = detailsLogFlatpakLog.at(row);
            auto* time = new UserRoleSortingTableWidgetItem(record.timestamp);
            time->setData(Qt::UserRole, record.id);
            time->setIcon(record.action == QLatin1String("install")     ? addIcon
                          : record.action == QLatin1String("uninstall") ? removeIcon
                          : record.action == QLatin1String("update")    ? upgradeIcon
                                                                        : otherIcon);
            putRow(table, row,
                   {time, new QTableWidgetItem(record.action), new QTableWidgetItem(record.appId),
                    new QTableWidgetItem(record.version), new QTableWidgetItem(record.type)},
                   brushes.of(record.action));
        });
}

void TabLogs::filterPage(Page page) {
    PageState& state = pages[page];
    QTableWidget* table = state.table;
    const QString text = state.filter->text().trimmed();
    const std::vector<int>& searched = layoutOf(page).searchedColumns;
    QStringList hiddenKinds;
    if (page != FailLog)
        for (int i = 0; i < 3; ++i)
            if (!state.kinds[i]->isChecked())
                hiddenKinds << kindWordsOf(page)[size_t(i)];
    const bool kindFromAction = page == DpkgLog || page == FlatpakLog;

    const TextFinder finder(text);

    // Hiding rows one by one with painting on costs a layout per row.
    table->setUpdatesEnabled(false);
    int visible = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        bool show = text.isEmpty();
        for (size_t i = 0; i < searched.size() && !show; ++i) {
            const QTableWidgetItem* item = table->item(row, searched[i]);
            show = item && finder.foundIn(item->text());
        }
        if (show && !hiddenKinds.isEmpty()) {
            QString kind;
            if (const QTableWidgetItem* item = table->item(row, kindFromAction ? 1 : 0))
                kind = kindFromAction ? item->text().toLower() : item->data(Qt::UserRole).toString();
            show = !hiddenKinds.contains(kind);
        }
        if (table->isRowHidden(row) == show)
            table->setRowHidden(row, !show);
        visible += show ? 1 : 0;
    }
    table->setUpdatesEnabled(true);
    state.count->setText(QString::number(visible));
}
