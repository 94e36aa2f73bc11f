#include "tablogs.h"

#include "elidetextdelegate.h"
#include "loadingoverlay.h"
#include "logcellitem.h"
#include "logsearchindex.h"
#include "mainwindow.h"
#include "numerictablewidgetitem.h"
#include "themecolors.h"
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
#include <algorithm>
#include <numeric>
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
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder,
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 150},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Component"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder,
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 130}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder,
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Status"), 100}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder,
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
         false},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 170},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Package Name"), 240},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 0}},
         3,
         -1,
         Qt::AscendingOrder,
         true},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 70},
          {QT_TRANSLATE_NOOP("TabLogs", "App ID"), 0},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Type"), 70}},
         2,
         -1,
         Qt::AscendingOrder,
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

LogCellItem::Look severityLook(int severity) {
    return severity == 1   ? LogCellItem::Warning
           : severity == 2 ? LogCellItem::Error
                           : LogCellItem::Information;
}

quint8 severityKind(int severity) {
    return severity == 1 || severity == 2 ? quint8(severity) : quint8(0);
}

// dpkg installs, upgrades and removes; Flatpak installs, updates and uninstalls.
LogCellItem::Look actionLook(const QString& action) {
    if (action == QLatin1String("install"))
        return LogCellItem::Install;
    if (action == QLatin1String("upgrade") || action == QLatin1String("update"))
        return LogCellItem::Upgrade;
    if (action == QLatin1String("remove") || action == QLatin1String("uninstall"))
        return LogCellItem::Remove;
    return LogCellItem::OtherAction;
}

quint8 actionKind(TabLogs::Page page, const QString& action) {
    const std::array<QString, 3>& words = kindWordsOf(page);
    const QString lowered = action.toLower();
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i] == lowered)
            return quint8(i);
    return LogSearchIndex::NoKind;
}

void putRow(QTableWidget* table, int row, std::initializer_list<QTableWidgetItem*> items) {
    int column = 0;
    for (QTableWidgetItem* item : items)
        table->setItem(row, column++, item);
}
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
        connect(logTable->model(), &QAbstractItemModel::layoutChanged, this,
                [this, page] { pages[page].rowsMoved = true; });
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
    switch (actionLook(action)) {
    case LogCellItem::Install:
        return statusColorGreen();
    case LogCellItem::Upgrade:
        return statusColorAmber();
    case LogCellItem::Remove:
        return statusColorRed();
    default:
        return statusColorBlue();
    }
}

void TabLogs::refreshLooks() {
    const auto set = [](LogCellItem::Look look, const QColor& colour, const QIcon& icon,
                        const QString& kind) {
        LogRowLook& shared = LogCellItem::look(look);
        shared.background = QBrush(colour);
        shared.icon = icon;
        shared.kind = kind;
    };
    set(LogCellItem::Information, severityColor(0), informationIcon, QStringLiteral("information"));
    set(LogCellItem::Warning, severityColor(1), warningIcon, QStringLiteral("warning"));
    set(LogCellItem::Error, severityColor(2), errorIcon, QStringLiteral("error"));
    set(LogCellItem::Install, actionColor(QStringLiteral("install")), addIcon, QString());
    set(LogCellItem::Upgrade, actionColor(QStringLiteral("upgrade")), upgradeIcon, QString());
    set(LogCellItem::Remove, actionColor(QStringLiteral("remove")), removeIcon, QString());
    set(LogCellItem::OtherAction, actionColor(QString()), otherIcon, QString());
    set(LogCellItem::Calm, severityColor(0), QIcon(), QString());
    set(LogCellItem::Alarm, severityColor(2), QIcon(), QString());
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

void TabLogs::fill(Page page, int total, const std::function<void()>& again, const RowBuilder& buildRow,
                   const RecordLess& recordLess) {
    PageState& state = pages[page];
    if (state.filling) {
        // Arrived through the events a fill lets run: the newest answer wins
        // and starts afresh once the running fill yields.
        state.pending = again;
        return;
    }
    state.filling = true;
    const bool completed = fillRows(page, total, buildRow, recordLess);
    state.filling = false;
    if (!completed || state.pending) {
        const std::function<void()> next = std::move(state.pending);
        state.pending = nullptr;
        next();
        return;
    }
    finishFill(page);
}

bool TabLogs::fillRows(Page page, int total, const RowBuilder& buildRow, const RecordLess& recordLess) {
    PageState& state = pages[page];
    QTableWidget* table = state.table;
    QHeaderView* header = table->horizontalHeader();
    const QTableWidgetItem* current =
        table->currentRow() >= 0 ? table->item(table->currentRow(), 0) : nullptr;
    const bool hadCurrent = current != nullptr;
    const QString remembered = current ? current->text() : QString();

    refreshLooks();
    state.notice->hide();
    table->setUpdatesEnabled(false);
    table->setSortingEnabled(false);
    table->setRowCount(0);
    state.search.clear();
    state.search.reserve(total);
    state.fillRowOfRow.clear();
    state.rowsMoved = false;

    // Rows sorted by the first column are built in that order: sorting a
    // big table afterwards needs far more memory than the rows themselves.
    // Sorting is switched on while the table is empty, and the indicator is
    // parked while rows go in, so no insertion is sorted one by one.
    const bool sortsAfterFill = layoutOf(page).sortsAfterFill;
    const int sortColumn = header->sortIndicatorSection();
    const Qt::SortOrder sortOrder = header->sortIndicatorOrder();
    const bool presorted = sortsAfterFill && recordLess && sortColumn == 0;
    std::vector<int> order(static_cast<size_t>(total));
    std::iota(order.begin(), order.end(), 0);
    const bool clickable = header->sectionsClickable();
    if (presorted) {
        if (sortOrder == Qt::DescendingOrder)
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return recordLess(b, a); });
        else
            std::stable_sort(order.begin(), order.end(), recordLess);
        table->setSortingEnabled(true);
        const QSignalBlocker quiet(header);
        header->setSortIndicator(-1, sortOrder);
        header->setSectionsClickable(false);
    }
    const auto restoreHeader = [&] {
        if (!presorted)
            return;
        const QSignalBlocker quiet(header);
        header->setSortIndicator(sortColumn, sortOrder);
        header->setSectionsClickable(clickable);
    };

    table->setRowCount(total);
    QElapsedTimer sinceYield;
    sinceYield.start();
    for (int row = 0; row < total; ++row) {
        buildRow(row, order[size_t(row)]);
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
                restoreHeader();
                table->setUpdatesEnabled(true);
                return false;
            }
        }
    }
    std::vector<int>().swap(order);
    restoreHeader();
    table->setUpdatesEnabled(true);
    if (sortsAfterFill && !presorted)
        table->setSortingEnabled(true);
    applyFilter(page);

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
    state.search.clear();
    state.fillRowOfRow.clear();
    state.count->setText(QStringLiteral("0"));
    state.notice->setText(reason);
    state.notice->show();
    finishFill(page);
}

namespace {
// Month-name times sort by the key the parser gave them, equal keys by text.
template <typename Record> bool earlier(const Record& a, const Record& b) {
    return a.timeKey != b.timeKey ? a.timeKey < b.timeKey : a.timestamp < b.timestamp;
}
} // namespace

void TabLogs::onSysLogDataReady(const QList<DetailsLogsSysLog>& records) {
    QTableWidget* table = pages[SysLog].table;
    LogSearchIndex& search = pages[SysLog].search;
    fill(
        SysLog, records.size(), [this, records] { onSysLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsSysLog& record = records.at(at);
            const LogCellItem::Look look = severityLook(record.severity);
            putRow(table, row,
                   {new LogLeadingItem(record.timestamp, look, row, record.timeKey),
                    new LogCellItem(record.service, look), new LogCellItem(record.message, look)});
            search.addRow({&record.service, &record.message}, severityKind(record.severity));
        },
        [&](int a, int b) { return earlier(records.at(a), records.at(b)); });
}

void TabLogs::onAuthLogDataReady(const QList<DetailsLogsAuthLog>& records) {
    QTableWidget* table = pages[AuthLog].table;
    LogSearchIndex& search = pages[AuthLog].search;
    fill(
        AuthLog, records.size(), [this, records] { onAuthLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsAuthLog& record = records.at(at);
            const LogCellItem::Look look = severityLook(record.severity);
            putRow(table, row,
                   {new LogLeadingItem(record.timestamp, look, row, record.timeKey),
                    new LogCellItem(record.hostname, look), new LogCellItem(record.service, look),
                    new LogCellItem(record.message, look)});
            search.addRow({&record.service, &record.message}, severityKind(record.severity));
        },
        [&](int a, int b) { return earlier(records.at(a), records.at(b)); });
}

void TabLogs::onKernLogDataReady(const QList<DetailsLogsKernLog>& records) {
    QTableWidget* table = pages[KernLog].table;
    LogSearchIndex& search = pages[KernLog].search;
    fill(
        KernLog, records.size(), [this, records] { onKernLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsKernLog& record = records.at(at);
            const LogCellItem::Look look = severityLook(record.severity);
            putRow(table, row,
                   {new LogLeadingItem(record.timestamp, look, row, record.timeKey),
                    new LogCellItem(record.hostname, look), new LogCellItem(record.component, look),
                    new LogCellItem(record.message, look)});
            search.addRow({&record.component, &record.message}, severityKind(record.severity));
        },
        [&](int a, int b) { return earlier(records.at(a), records.at(b)); });
}

void TabLogs::onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& records) {
    QTableWidget* table = pages[DmesgLog].table;
    LogSearchIndex& search = pages[DmesgLog].search;
    fill(
        DmesgLog, records.size(), [this, records] { onDmesgLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsDmesgLog& record = records.at(at);
            const LogCellItem::Look look = severityLook(record.severity);
            // Seconds since boot, to the microsecond dmesg prints.
            const auto micros =
                qint64(NumericTableWidgetItem::toNumericValue(record.timestamp.trimmed()) * 1e6);
            putRow(table, row,
                   {new LogLeadingItem(record.timestamp, look, row, micros),
                    new LogCellItem(record.message, look)});
            search.addRow({&record.message}, severityKind(record.severity));
        });
}

void TabLogs::onBootLogDataReady(const QList<DetailsLogsBootLog>& records) {
    QTableWidget* table = pages[BootLog].table;
    LogSearchIndex& search = pages[BootLog].search;
    fill(
        BootLog, records.size(), [this, records] { onBootLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsBootLog& record = records.at(at);
            const LogCellItem::Look look = severityLook(record.severity);
            putRow(table, row,
                   {new LogLeadingItem(record.status, look, row), new LogCellItem(record.message, look)});
            search.addRow({&record.message}, severityKind(record.severity));
        });
}

void TabLogs::onFailLogDataReady(const QList<DetailsLogsFailLog>& records) {
    QTableWidget* table = pages[FailLog].table;
    LogSearchIndex& search = pages[FailLog].search;
    fill(
        FailLog, records.size(), [this, records] { onFailLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsFailLog& record = records.at(at);
            const LogCellItem::Look look = record.failedLogins < 1 ? LogCellItem::Calm : LogCellItem::Alarm;
            QTableWidgetItem* numbers[] = {new LogCellItem(QString::number(record.logins), look),
                                           new LogCellItem(record.loggedIn ? tr("Yes") : tr("No"), look),
                                           new LogCellItem(record.timeSpent, look),
                                           new LogCellItem(QString::number(record.failedLogins), look),
                                           new LogCellItem(QString::number(record.maxFails), look)};
            for (QTableWidgetItem* item : numbers)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            putRow(table, row,
                   {new LogLeadingItem(record.username, look, row), numbers[0], numbers[1], numbers[2],
                    numbers[3], numbers[4], new LogCellItem(record.lastLogin, look)});
            search.addRow({&record.username}, LogSearchIndex::NoKind);
        });
}

void TabLogs::onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& records) {
    QTableWidget* table = pages[DpkgLog].table;
    LogSearchIndex& search = pages[DpkgLog].search;
    fill(
        DpkgLog, records.size(), [this, records] { onDpkgLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsDpkgLog& record = records.at(at);
            const LogCellItem::Look look = actionLook(record.action);
            putRow(table, row,
                   {new LogLeadingItem(record.timestamp, look, row), new LogCellItem(record.action, look),
                    new LogCellItem(record.packageName, look), new LogCellItem(record.version, look)});
            search.addRow({&record.packageName}, actionKind(DpkgLog, record.action));
        });
}

void TabLogs::onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& records) {
    QTableWidget* table = pages[FlatpakLog].table;
    LogSearchIndex& search = pages[FlatpakLog].search;
    fill(
        FlatpakLog, records.size(), [this, records] { onFlatpakLogDataReady(records); },
        [&](int row, int at) {
            const DetailsLogsFlatpakLog& record = records.at(at);
            const LogCellItem::Look look = actionLook(record.action);
            auto* time = new UserRoleSortingTableWidgetItem(record.timestamp);
            time->setData(Qt::UserRole, record.id);
            time->setData(LogLeadingItem::FillRowRole, row);
            time->setIcon(LogCellItem::look(look).icon);
            time->setBackground(LogCellItem::look(look).background);
            putRow(table, row,
                   {time, new LogCellItem(record.action, look), new LogCellItem(record.appId, look),
                    new LogCellItem(record.version, look), new LogCellItem(record.type, look)});
            search.addRow({&record.appId}, actionKind(FlatpakLog, record.action));
        });
}

void TabLogs::filterPage(Page page) {
    // A running fill filters its rows when it ends.
    if (!pages[page].filling)
        applyFilter(page);
}

void TabLogs::applyFilter(Page page) {
    PageState& state = pages[page];
    QTableWidget* table = state.table;
    bool kindShown[LogSearchIndex::NoKind + 1] = {true, true, true, true};
    if (page != FailLog)
        for (int i = 0; i < 3; ++i)
            kindShown[i] = state.kinds[i]->isChecked();
    const std::vector<bool> holding = state.search.rowsHolding(state.filter->text().trimmed());
    if (state.rowsMoved) {
        // Sorted since the fill: learn once where each filled row went.
        state.fillRowOfRow.assign(size_t(table->rowCount()), -1);
        for (int row = 0; row < table->rowCount(); ++row)
            if (const QTableWidgetItem* item = table->item(row, 0))
                state.fillRowOfRow[size_t(row)] = item->data(LogLeadingItem::FillRowRole).toInt();
        state.rowsMoved = false;
    }

    // Only rows whose state changes are touched, with painting off.
    table->setUpdatesEnabled(false);
    int visible = 0;
    const int filled = state.search.rowCount();
    for (int row = 0; row < table->rowCount(); ++row) {
        const int at = state.fillRowOfRow.empty() ? row : state.fillRowOfRow[size_t(row)];
        const bool show = at >= 0 && at < filled && holding[size_t(at)] && kindShown[state.search.kindOf(at)];
        if (table->isRowHidden(row) == show)
            table->setRowHidden(row, !show);
        visible += show ? 1 : 0;
    }
    table->setUpdatesEnabled(true);
    state.count->setText(QString::number(visible));
}
