#include "tablogs.h"

#include "elidetextdelegate.h"
#include "loadingoverlay.h"
#include "logtablemodel.h"
#include "mainwindow.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workerlogs.h"
#include "workerthread.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QTableView>
#include <cstring>
#include <malloc.h>
#include <vector>

Q_LOGGING_CATEGORY(lcTabLogs, "tessmar.logs.tab", QtWarningMsg)

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
    bool sortable; // boot and login pages keep the order of their source
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

LogLook severityLook(int severity) {
    return severity == 1 ? LogLook::Warning : severity == 2 ? LogLook::Error : LogLook::Information;
}

// dpkg installs, upgrades and removes; Flatpak installs, updates and uninstalls.
LogLook actionLook(const QString& action) {
    if (action == QLatin1String("install"))
        return LogLook::Install;
    if (action == QLatin1String("upgrade") || action == QLatin1String("update"))
        return LogLook::Upgrade;
    if (action == QLatin1String("remove") || action == QLatin1String("uninstall"))
        return LogLook::Remove;
    return LogLook::OtherAction;
}

QString numberOrUnknown(int value) {
    return value < 0 ? TabLogs::tr("N/A") : QString::number(value);
}

QString textOrUnknown(const QString& text) {
    return text.isEmpty() ? TabLogs::tr("N/A") : text;
}
} // namespace

TabLogs::TabLogs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qCDebug(lcTabLogs) << "Here in Tab Logs!";
    // A big log is read into buffers of tens of megabytes that a Reload
    // frees and makes again. glibc would raise its mapping threshold after
    // the first of them is freed and put the next ones in its heap, where
    // freed memory stays with the program; with a fixed threshold every big
    // buffer is mapped on its own and goes back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    setupPages();
    // Warnings are not told apart on these pages: their buttons stay checked.
    for (QPushButton* button :
         {ui->pushButtonLogsAuthLogWarning, ui->pushButtonLogsBootLogWarning, ui->pushButtonLogsFailLogInfo,
          ui->pushButtonLogsFailLogWarning, ui->pushButtonLogsFailLogError})
        button->hide();

    for (int page = SysLog; page < PageCount; ++page)
        connect(pages[page].reload, &QPushButton::clicked, this, [this, page] { reloadPage(Page(page)); });
    connect(ui->tabWidgetLogsTabs, &QTabWidget::currentChanged, this, &TabLogs::onTabChanged);

    qRegisterMetaType<LogTablePtr>("LogTablePtr");
    qRegisterMetaType<QList<DetailsLogsDmesgLog>>();
    qRegisterMetaType<QList<DetailsLogsBootLog>>();
    qRegisterMetaType<QList<DetailsLogsFailLog>>();
    qRegisterMetaType<QList<DetailsLogsDpkgLog>>();
    qRegisterMetaType<QList<DetailsLogsFlatpakLog>>();
    worker = new WorkerLogs;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workerlogs"));
    connect(worker, &WorkerLogs::textLogRead, this, &TabLogs::onTextLogRead, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::dmesgLogUpdated, this, &TabLogs::onDmesgLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::bootLogUpdated, this, &TabLogs::onBootLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::failLogUpdated, this, &TabLogs::onFailLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::dpkgLogUpdated, this, &TabLogs::onDpkgLogDataReady, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::flatpakLogUpdated, this, &TabLogs::onFlatpakLogDataReady,
            Qt::QueuedConnection);
    connect(worker, &WorkerLogs::logUnavailable, this, &TabLogs::onLogUnavailable, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::logNote, this, &TabLogs::onLogNote, Qt::QueuedConnection);
    connect(worker, &WorkerLogs::loadProgress, this, &TabLogs::onLoadProgress, Qt::QueuedConnection);
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
        overlays[page] = new LoadingOverlay(pages[page].view);
        overlays[page]->hide();
    }

    formTabsStyle = ui->tabWidgetLogsTabs->styleSheet();
    formLabelStyle = ui->label_10->styleSheet();
    applyLabelColours();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabLogs::onThemeChanged);
}

TabLogs::~TabLogs() {
    // A log being read stops at its next piece.
    worker->cancel();
}

void TabLogs::setupPages() {
    const auto set = [this](Page page, QTableView* view, QLineEdit* filter, QPushButton* reload,
                            QLabel* count, QPushButton* first, QPushButton* second, QPushButton* third) {
        PageState& state = pages[page];
        state.view = view;
        state.filter = filter;
        state.reload = reload;
        state.count = count;
        state.kinds[0] = first;
        state.kinds[1] = second;
        state.kinds[2] = third;
        // The reason a source cannot be read, centred over its empty table.
        state.notice = new QLabel(view->viewport());
        state.notice->setObjectName(QStringLiteral("labelLogsUnavailable%1").arg(page));
        state.notice->setAlignment(Qt::AlignCenter);
        // Reasons carry what tools wrote: never taken for markup.
        state.notice->setTextFormat(Qt::PlainText);
        state.notice->setWordWrap(true);
        state.notice->hide();
        auto* layout = new QVBoxLayout(view->viewport());
        layout->setContentsMargins(24, 24, 24, 24);
        layout->addWidget(state.notice);
        // What the page should know about its last answer, above the table.
        state.note = new QLabel(view->parentWidget());
        state.note->setObjectName(QStringLiteral("labelLogsNote%1").arg(page));
        state.note->setWordWrap(true);
        state.note->setTextFormat(Qt::PlainText);
        state.note->hide();
        if (auto* pageLayout = qobject_cast<QBoxLayout*>(view->parentWidget()->layout()))
            pageLayout->insertWidget(pageLayout->indexOf(view), state.note);
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
        QTableView* view = pages[page].view;
        QStringList titles;
        for (const Column& column : layout.columns)
            titles << tr(column.title);
        auto* model = new LogTableModel(titles, layout.sortable, this);
        if (page == FailLog)
            model->setRightAligned({1, 2, 3, 4, 5});
        pages[page].model = model;
        view->setModel(model);
        // Every row is as high as the form says: a million rows need no
        // height of their own.
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        for (int i = 0; i < int(layout.columns.size()); ++i) {
            if (i == layout.stretchColumn)
                view->horizontalHeader()->setSectionResizeMode(i, QHeaderView::Stretch);
            else
                view->setColumnWidth(i, layout.columns[size_t(i)].width);
        }
        if (layout.hiddenColumn >= 0)
            view->setColumnHidden(layout.hiddenColumn, true);
        view->horizontalHeader()->setSortIndicator(0, layout.startOrder);
        // A click on a header sorts by that column; the boot and login
        // pages keep the order of their source.
        view->setSortingEnabled(layout.sortable);
        delegates[page] = std::make_unique<ElideTextDelegate>();
        view->setItemDelegate(delegates[page].get());
    }
}

QString TabLogs::unavailableReason(Page page) const {
    return pages[page].notice->isHidden() ? QString() : pages[page].notice->text();
}

QString TabLogs::note(Page page) const {
    return pages[page].note->isHidden() ? QString() : pages[page].note->text();
}

QColor TabLogs::severityColor(int severity) {
    return LogTableModel::colourOf(severityLook(severity));
}

QColor TabLogs::actionColor(const QString& action) {
    return LogTableModel::colourOf(actionLook(action));
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
    ++pages[page].waiting;
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
    // A fresh veil, over the table as it is now; the one before goes.
    PageState& state = pages[page];
    LoadingOverlay* previous = overlays[page];
    overlays[page] = new LoadingOverlay(state.view);
    // The rows go before they are read again, as two copies of a big log
    // would need twice the memory; a picture of them stays under the veil.
    QWidget* rowsArea = state.view->viewport();
    overlays[page]->setBackdrop(rowsArea->grab(), rowsArea->geometry().topLeft());
    overlays[page]->show();
    previous->hide();
    previous->deleteLater();
    state.model->clear();
    // The row header keeps room for the rows it had: a new one starts empty.
    QHeaderView* previousRows = state.view->verticalHeader();
    auto* rows = new QHeaderView(Qt::Vertical, state.view);
    rows->setDefaultSectionSize(previousRows->defaultSectionSize());
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setVisible(previousRows->isVisible());
    state.view->setVerticalHeader(rows);
    malloc_trim(0);
    state.count->setText(QStringLiteral("0"));
    state.note->hide();
    requestPage(page);
}

void TabLogs::initializeLogs() {
    if (logsInitialized)
        return;
    qCDebug(lcTabLogs) << "We are going to initialize the SysLog table first!!!";
    overlays[SysLog]->setProgress(0);
    overlays[SysLog]->show();
    requestPage(SysLog);
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

void TabLogs::onLoadProgress(int page, int percent, int rows) {
    if (page < SysLog || page >= PageCount)
        return;
    overlays[page]->setProgress(percent);
    // A refill without a veil (a theme change) keeps its rows in sight, and
    // their count with them.
    if (!overlays[page]->isHidden())
        pages[page].count->setText(QString::number(rows));
}

void TabLogs::showTable(Page page, const LogTablePtr& table) {
    PageState& state = pages[page];
    QTableView* view = state.view;
    // The row that was current is found again by the text of its first cell.
    const QModelIndex current = view->currentIndex();
    const bool hadCurrent = current.isValid() && state.model->table();
    const QString remembered =
        hadCurrent ? state.model->table()->text(int(state.model->tableRowAt(current.row())), 0) : QString();

    state.notice->hide();
    state.note->hide();
    state.model->setTable(table);
    state.count->setText(QString::number(state.model->rowCount()));

    if (hadCurrent) {
        const QByteArray wanted = remembered.toUtf8();
        int found = -1;
        for (int row = 0; row < state.model->rowCount() && found < 0; ++row) {
            const LogTable::Field field = table->field(int(state.model->tableRowAt(row)), 0);
            if (field.size == wanted.size() &&
                std::memcmp(field.data, wanted.constData(), size_t(field.size)) == 0)
                found = row;
        }
        QScrollBar* bar = view->verticalScrollBar();
        const int scroll = bar->value();
        if (found >= 0)
            view->selectRow(found);
        bar->setValue(scroll);
    }
    // The rows this page had, and what reading the new ones needed for a
    // while, go back to the system now rather than stay with the program.
    malloc_trim(0);
    answered(page);
}

void TabLogs::answered(Page page) {
    PageState& state = pages[page];
    state.waiting = qMax(0, state.waiting - 1);
    // The veil stays while another request of the page is on its way.
    if (state.waiting == 0)
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
    // The page itself says why; a computer without a system logger is usual.
    qCDebug(lcTabLogs).noquote() << "Logs page" << page << "has no data:" << reason;
    PageState& state = pages[page];
    state.model->clear();
    state.count->setText(QStringLiteral("0"));
    state.note->hide();
    state.notice->setText(reason);
    state.notice->show();
    answered(page);
}

void TabLogs::onLogNote(int source, const QString& note) {
    if (source < SysLog || source >= PageCount)
        return;
    pages[source].note->setText(note);
    pages[source].note->show();
}

void TabLogs::onTextLogRead(int source, const LogTablePtr& table) {
    if (source < SysLog || source > KernLog || !table)
        return;
    showTable(Page(source), table);
}

void TabLogs::onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& records) {
    auto table = std::make_shared<LogTable>(2, 0b10u, true);
    table->reserve(records.size(), 0);
    for (const DetailsLogsDmesgLog& record : records) {
        // Seconds since boot, to the microsecond dmesg prints.
        const auto micros = qint64(record.timestamp.trimmed().toDouble() * 1e6);
        table->appendRow({record.timestamp, record.message}, severityLook(record.severity), micros);
    }
    table->sortByKey();
    showTable(DmesgLog, table);
}

void TabLogs::onBootLogDataReady(const QList<DetailsLogsBootLog>& records) {
    auto table = std::make_shared<LogTable>(2, 0b10u, false);
    for (const DetailsLogsBootLog& record : records)
        table->appendRow({record.status, record.message}, severityLook(record.severity));
    showTable(BootLog, table);
}

void TabLogs::onFailLogDataReady(const QList<DetailsLogsFailLog>& records) {
    auto table = std::make_shared<LogTable>(7, 0b1u, false);
    for (const DetailsLogsFailLog& record : records) {
        const LogLook look = record.failedLogins < 0   ? LogLook::Unknown
                             : record.failedLogins < 1 ? LogLook::Calm
                                                       : LogLook::Alarm;
        const QString loggedIn = !record.loggedInKnown ? tr("N/A") : record.loggedIn ? tr("Yes") : tr("No");
        table->appendRow({record.username, numberOrUnknown(record.logins), loggedIn,
                          textOrUnknown(record.timeSpent), numberOrUnknown(record.failedLogins),
                          numberOrUnknown(record.maxFails), textOrUnknown(record.lastLogin)},
                         look);
    }
    showTable(FailLog, table);
}

void TabLogs::onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& records) {
    auto table = std::make_shared<LogTable>(4, 0b100u, false);
    for (const DetailsLogsDpkgLog& record : records)
        table->appendRow({record.timestamp, record.action, record.packageName, record.version},
                         actionLook(record.action));
    showTable(DpkgLog, table);
}

void TabLogs::onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& records) {
    // The first column sorts by the record's running number.
    auto table = std::make_shared<LogTable>(5, 0b100u, true);
    for (const DetailsLogsFlatpakLog& record : records)
        table->appendRow({record.timestamp, record.action, record.appId, record.version, record.type},
                         actionLook(record.action), record.id);
    table->sortByKey();
    showTable(FlatpakLog, table);
}

void TabLogs::filterPage(Page page) {
    PageState& state = pages[page];
    QTableView* view = state.view;
    std::array<bool, 4> kinds{{true, true, true, true}};
    if (page != FailLog)
        for (size_t i = 0; i < 3; ++i)
            kinds[i] = state.kinds[i]->isChecked();
    // The current row stays current when it is still shown.
    const QModelIndex current = view->currentIndex();
    const qint64 currentRow = current.isValid() ? qint64(state.model->tableRowAt(current.row())) : -1;
    const int scroll = view->verticalScrollBar()->value();
    state.model->setFilter(state.filter->text().trimmed(), kinds);
    state.count->setText(QString::number(state.model->rowCount()));
    if (currentRow >= 0) {
        const int row = state.model->rowOfTableRow(quint32(currentRow));
        if (row >= 0)
            view->selectRow(row);
    }
    view->verticalScrollBar()->setValue(scroll);
}
