#include "tablogs.h"

#include "loadingoverlay.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workerlogs.h"
#include "workerthread.h"

#include <QDebug>
#include <QHeaderView>
#include <vector>

namespace {
struct Column {
    const char* title;
    int width; // 0 for the stretch column
};

struct TableLayout {
    std::vector<Column> columns;
    int stretchColumn;
    int hiddenColumn; // -1 for none
    Qt::SortOrder startOrder;
};

const TableLayout& layoutOf(TabLogs::Page page) {
    static const TableLayout layouts[TabLogs::PageCount] = {
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 130},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         2,
         -1,
         Qt::DescendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 150},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Component"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 130}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Status"), 100}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Username"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Logins"), 62},
          {QT_TRANSLATE_NOOP("TabLogs", "Logged In"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Time Spent"), 115},
          {QT_TRANSLATE_NOOP("TabLogs", "Failed Logins"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Max Fails"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Last Login"), 0}},
         6,
         -1,
         Qt::AscendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 170},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Package Name"), 240},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 0}},
         3,
         -1,
         Qt::AscendingOrder},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 70},
          {QT_TRANSLATE_NOOP("TabLogs", "App ID"), 0},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Type"), 70}},
         2,
         -1,
         Qt::AscendingOrder},
    };
    return layouts[page];
}
} // namespace

TabLogs::TabLogs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qDebug() << "Here in Tab Logs!";
    connect(ui->tabWidgetLogsTabs, &QTabWidget::currentChanged, this, &TabLogs::onTabChanged);

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
    workerThread->start();

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
        overlays[page] = new LoadingOverlay(table(Page(page)));
        overlays[page]->hide();
    }

    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabLogs::onThemeChanged);
}

TabLogs::~TabLogs() = default;

QTableWidget* TabLogs::table(Page page) const {
    QTableWidget* const tables[PageCount] = {
        ui->tableLogsSysLog,  ui->tableLogsAuthLog, ui->tableLogsKernLog, ui->tableLogsDmesgLog,
        ui->tableLogsBootLog, ui->tableLogsFailLog, ui->tableLogsDpkgLog, ui->tableLogsFlatpakLog,
    };
    return tables[page];
}

void TabLogs::setupTables() {
    for (int page = SysLog; page < PageCount; ++page) {
        const TableLayout& layout = layoutOf(Page(page));
        QTableWidget* logTable = table(Page(page));
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
    }
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

void TabLogs::initializeLogs() {
    if (logsInitialized)
        return;
    qDebug() << "We are going to initialize the SysLog table first!!!";
    overlays[SysLog]->show();
    emit requestUpdateLogsSysLogTable();
}

void TabLogs::onThemeChanged() {
    if (!logsInitialized)
        return;
    for (int page = SysLog; page < PageCount; ++page)
        requestPage(Page(page));
}

void TabLogs::onTabChanged(int index) {
    qDebug() << "Logs tab changed to: " << index;
}

void TabLogs::finishFill(Page page) {
    overlays[page]->hide();
    if (page != SysLog || logsInitialized)
        return;
    // The first syslog list shown completes the first load: the other pages
    // follow in page order, and only once.
    for (int other = AuthLog; other < PageCount; ++other)
        requestPage(Page(other));
    qDebug() << "All other logs have been initialized.";
    logsInitialized = true;
}

void TabLogs::onSysLogDataReady(const QList<DetailsLogsSysLog>& detailsLogsSysLog) {
    Q_UNUSED(detailsLogsSysLog)
    finishFill(SysLog);
}

void TabLogs::onAuthLogDataReady(const QList<DetailsLogsAuthLog>& detailsLogAuthLog) {
    Q_UNUSED(detailsLogAuthLog)
    finishFill(AuthLog);
}

void TabLogs::onKernLogDataReady(const QList<DetailsLogsKernLog>& detailsLogKernLog) {
    Q_UNUSED(detailsLogKernLog)
    finishFill(KernLog);
}

void TabLogs::onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& detailsLogDmesgLog) {
    Q_UNUSED(detailsLogDmesgLog)
    finishFill(DmesgLog);
}

void TabLogs::onBootLogDataReady(const QList<DetailsLogsBootLog>& detailsLogBootLog) {
    Q_UNUSED(detailsLogBootLog)
    finishFill(BootLog);
}

void TabLogs::onFailLogDataReady(const QList<DetailsLogsFailLog>& detailsLogFailLog) {
    Q_UNUSED(detailsLogFailLog)
    finishFill(FailLog);
}

void TabLogs::onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& detailsLogDpkgLog) {
    Q_UNUSED(detailsLogDpkgLog)
    finishFill(DpkgLog);
}

void TabLogs::onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& detailsLogFlatpakLog) {
    Q_UNUSED(detailsLogFlatpakLog)
    finishFill(FlatpakLog);
}
