#include "tablogs.h"

#include "loadingoverlay.h"
#include "logpage.h"
#include "logrecordtables.h"
#include "themecolors.h"
#include "ui_mainwindow.h"

#include <QLoggingCategory>
#include <malloc.h>

Q_LOGGING_CATEGORY(lcTabLogs, "tessmar.logs.tab", QtWarningMsg)

namespace {
using Request = void (TabLogs::*)();
// Each page's request and the worker's fetch that answers it, in page order.
const Request requests[TabLogs::PageCount] = {
    &TabLogs::requestUpdateLogsSysLogTable,  &TabLogs::requestUpdateLogsAuthLogTable,
    &TabLogs::requestUpdateLogsKernLogTable, &TabLogs::requestUpdateLogsDmesgLogTable,
    &TabLogs::requestUpdateLogsBootLogTable, &TabLogs::requestUpdateLogsFailLogTable,
    &TabLogs::requestUpdateLogsDpkgLogTable, &TabLogs::requestUpdateLogsFlatpakLogTable};
void (WorkerLogs::*const fetches[TabLogs::PageCount])() = {
    &WorkerLogs::fetchSysLog,   &WorkerLogs::fetchAuthLog,   &WorkerLogs::fetchKernLog,
    &WorkerLogs::fetchDmesgLog, &WorkerLogs::fetchBootLog,   &WorkerLogs::fetchFailLog,
    &WorkerLogs::fetchDpkgLog,  &WorkerLogs::fetchFlatpakLog};

const LogPage::Layout& layoutOf(TabLogs::Page page) {
    static const LogPage::Layout layouts[TabLogs::PageCount] = {
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 130},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         2,
         -1,
         Qt::DescendingOrder,
         true,
         true,
         {}},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Service"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder,
         true,
         true,
         {}},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 150},
          {QT_TRANSLATE_NOOP("TabLogs", "Hostname"), 100},
          {QT_TRANSLATE_NOOP("TabLogs", "Component"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         3,
         1,
         Qt::DescendingOrder,
         true,
         true,
         {}},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 130}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder,
         true,
         true,
         {}},
        // The boot and login pages keep the order of their source.
        {{{QT_TRANSLATE_NOOP("TabLogs", "Status"), 100}, {QT_TRANSLATE_NOOP("TabLogs", "Message"), 0}},
         1,
         -1,
         Qt::AscendingOrder,
         false,
         true,
         {}},
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
         false,
         false,
         {1, 2, 3, 4, 5}},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 170},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 80},
          {QT_TRANSLATE_NOOP("TabLogs", "Package Name"), 240},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 0}},
         3,
         -1,
         Qt::AscendingOrder,
         true,
         true,
         {}},
        {{{QT_TRANSLATE_NOOP("TabLogs", "Timestamp"), 140},
          {QT_TRANSLATE_NOOP("TabLogs", "Action"), 70},
          {QT_TRANSLATE_NOOP("TabLogs", "App ID"), 0},
          {QT_TRANSLATE_NOOP("TabLogs", "Version"), 90},
          {QT_TRANSLATE_NOOP("TabLogs", "Type"), 70}},
         2,
         -1,
         Qt::AscendingOrder,
         true,
         true,
         {}},
    };
    return layouts[page];
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
    // Warnings are not told apart on these pages: their buttons stay checked.
    for (QPushButton* button :
         {ui->pushButtonLogsAuthLogWarning, ui->pushButtonLogsBootLogWarning, ui->pushButtonLogsFailLogInfo,
          ui->pushButtonLogsFailLogWarning, ui->pushButtonLogsFailLogError})
        button->hide();
    setupPages();
    connect(ui->tabWidgetLogsTabs, &QTabWidget::currentChanged, this, &TabLogs::onTabChanged);
    connectWorker();

    formTabsStyle = ui->tabWidgetLogsTabs->styleSheet();
    formLabelStyle = ui->label_10->styleSheet();
    applyLabelColours();
}

TabLogs::~TabLogs() {
    // A log being read stops at its next piece.
    worker.object()->cancel();
}

void TabLogs::setupPages() {
    const LogPage::Widgets widgets[PageCount] = {
        {ui->tableLogsSysLog,
         ui->lineEditLogsSysLogFilter,
         ui->pushButtonLogsSysLogReload,
         ui->labelLogsSysLogEntries,
         {ui->pushButtonLogsSysLogInfo, ui->pushButtonLogsSysLogWarning, ui->pushButtonLogsSysLogError}},
        {ui->tableLogsAuthLog,
         ui->lineEditLogsAuthLogFilter,
         ui->pushButtonLogsAuthLogReload,
         ui->labelLogsAuthLogEntries,
         {ui->pushButtonLogsAuthLogInfo, ui->pushButtonLogsAuthLogWarning, ui->pushButtonLogsAuthLogError}},
        {ui->tableLogsKernLog,
         ui->lineEditLogsKernLogFilter,
         ui->pushButtonLogsKernLogReload,
         ui->labelLogsKernLogEntries,
         {ui->pushButtonLogsKernLogInfo, ui->pushButtonLogsKernLogWarning, ui->pushButtonLogsKernLogError}},
        {ui->tableLogsDmesgLog,
         ui->lineEditLogsDmesgLogFilter,
         ui->pushButtonLogsDmesgLogReload,
         ui->labelLogsDmesgLogEntries,
         {ui->pushButtonLogsDmesgLogInfo, ui->pushButtonLogsDmesgLogWarning,
          ui->pushButtonLogsDmesgLogError}},
        {ui->tableLogsBootLog,
         ui->lineEditLogsBootLogFilter,
         ui->pushButtonLogsBootLogReload,
         ui->labelLogsBootLogEntries,
         {ui->pushButtonLogsBootLogInfo, ui->pushButtonLogsBootLogWarning, ui->pushButtonLogsBootLogError}},
        {ui->tableLogsFailLog,
         ui->lineEditLogsFailLogFilter,
         ui->pushButtonLogsFailLogReload,
         ui->labelLogsFailLogEntries,
         {ui->pushButtonLogsFailLogInfo, ui->pushButtonLogsFailLogWarning, ui->pushButtonLogsFailLogError}},
        {ui->tableLogsDpkgLog,
         ui->lineEditLogsDpkgLogFilter,
         ui->pushButtonLogsDpkgLogReload,
         ui->labelLogsDpkgLogEntries,
         {ui->pushButtonLogsDpkgLogInstall, ui->pushButtonLogsDpkgLogUpgrade,
          ui->pushButtonLogsDpkgLogRemove}},
        {ui->tableLogsFlatpakLog,
         ui->lineEditLogsFlatpakLogFilter,
         ui->pushButtonLogsFlatpakLogReload,
         ui->labelLogsFlatpakLogEntries,
         {ui->pushButtonLogsFlatpakLogInstall, ui->pushButtonLogsFlatpakLogUpgrade,
          ui->pushButtonLogsFlatpakLogRemove}},
    };
    for (int page = SysLog; page < PageCount; ++page) {
        pages[page] = new LogPage(page, widgets[page], layoutOf(Page(page)), this);
        connect(pages[page], &LogPage::reloadClicked, this, [this, page] {
            pages[page]->clearForReload();
            requestPage(Page(page));
        });
    }
}

void TabLogs::connectWorker() {
    worker.connectResult(&WorkerLogs::sysLogUpdated, this, &TabLogs::onSysLogDataReady);
    worker.connectResult(&WorkerLogs::authLogUpdated, this, &TabLogs::onAuthLogDataReady);
    worker.connectResult(&WorkerLogs::kernLogUpdated, this, &TabLogs::onKernLogDataReady);
    worker.connectResult(&WorkerLogs::dmesgLogUpdated, this, &TabLogs::onDmesgLogDataReady);
    worker.connectResult(&WorkerLogs::bootLogUpdated, this, &TabLogs::onBootLogDataReady);
    worker.connectResult(&WorkerLogs::failLogUpdated, this, &TabLogs::onFailLogDataReady);
    worker.connectResult(&WorkerLogs::dpkgLogUpdated, this, &TabLogs::onDpkgLogDataReady);
    worker.connectResult(&WorkerLogs::flatpakLogUpdated, this, &TabLogs::onFlatpakLogDataReady);
    worker.connectResult(&WorkerLogs::loadProgress, this, &TabLogs::onLoadProgress);
    // Every request is a user's (a first showing, a Reload, a theme change):
    // none is dropped, and each is answered in the order it was made.
    for (int page = SysLog; page < PageCount; ++page)
        worker.connectRequest(this, requests[page], fetches[page]);
    worker.start();
}

LoadingOverlay* TabLogs::overlay(Page page) const {
    return pages[page]->overlay();
}

LogTableModel* TabLogs::model(Page page) const {
    return pages[page]->model();
}

QString TabLogs::unavailableReason(Page page) const {
    return pages[page]->unavailableReason();
}

QString TabLogs::note(Page page) const {
    return pages[page]->note();
}

bool TabLogs::isLoading(Page page) const {
    return pages[page]->isLoading();
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
    pages[page]->expectAnswer();
    emit(this->*requests[page])();
}

void TabLogs::initializeLogs() {
    if (logsInitialized)
        return;
    qCDebug(lcTabLogs) << "We are going to initialize the SysLog table first!!!";
    pages[SysLog]->showVeil();
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

void TabLogs::onLoadProgress(const LogProgress& progress) {
    if (progress.source >= SysLog && progress.source < PageCount)
        pages[progress.source]->showProgress(progress.percent, progress.rows);
}

template <typename Listing> void TabLogs::fill(Page page, const Listing& listing) {
    if (listing.unavailable.isEmpty()) {
        pages[page]->showRows(LogRecordTables::tableOf(listing.rows), listing.note);
    } else {
        // The page itself says why; a computer without a system logger is usual.
        qCDebug(lcTabLogs).noquote() << "Logs page" << page << "has no data:" << listing.unavailable;
        pages[page]->showUnavailable(listing.unavailable);
    }
    if (page != SysLog || logsInitialized)
        return;
    // The first syslog answer completes the first load, also when the syslog
    // could not be read: the other pages follow in page order, and only once.
    for (int other = AuthLog; other < PageCount; ++other)
        requestPage(Page(other));
    qCDebug(lcTabLogs) << "All other logs have been initialized.";
    logsInitialized = true;
}

void TabLogs::onSysLogDataReady(const TextLogListing& listing) {
    fill(SysLog, listing);
}

void TabLogs::onAuthLogDataReady(const TextLogListing& listing) {
    fill(AuthLog, listing);
}

void TabLogs::onKernLogDataReady(const TextLogListing& listing) {
    fill(KernLog, listing);
}

void TabLogs::onDmesgLogDataReady(const DmesgLogListing& listing) {
    fill(DmesgLog, listing);
}

void TabLogs::onBootLogDataReady(const BootLogListing& listing) {
    fill(BootLog, listing);
}

void TabLogs::onFailLogDataReady(const FailLogListing& listing) {
    fill(FailLog, listing);
}

void TabLogs::onDpkgLogDataReady(const DpkgLogListing& listing) {
    fill(DpkgLog, listing);
}

void TabLogs::onFlatpakLogDataReady(const FlatpakLogListing& listing) {
    fill(FlatpakLog, listing);
}
