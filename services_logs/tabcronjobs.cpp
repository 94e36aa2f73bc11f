#include "tabcronjobs.h"

#include "mainwindow.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workercronjobs.h"
#include "workerthread.h"

#include <QDebug>
#include <QHeaderView>

TabCronJobs::TabCronJobs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qDebug() << "Here in tab Cron Jobs!";
    auto* worker = new WorkerCronJobs;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workercronjobs"));
    connect(worker, &WorkerCronJobs::cronJobsUpdated, this, &TabCronJobs::onCronJobsDataReady);
    workerThread->start();

    setupTable();

    connect(this, &TabCronJobs::requestUpdateCronJobsTable, worker, &WorkerCronJobs::fetchCronJobs,
            Qt::QueuedConnection);
    emit requestUpdateCronJobsTable();

    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabCronJobs::onThemeChanged);
    onThemeChanged();
}

TabCronJobs::~TabCronJobs() = default;

void TabCronJobs::setupTable() {
    QTableWidget* table = ui->tableCronJobs;
    table->setColumnCount(6);
    table->setHorizontalHeaderLabels(
        {tr("Name"), tr("Schedule"), tr("Command"), tr("Type"), tr("Location"), tr("Status")});
    table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    const int widths[] = {110, 160, 0, 60, 100, 60};
    for (int column : {0, 1, 3, 4, 5})
        table->setColumnWidth(column, widths[column]);
    // Type, Location and Status stay searchable but are not shown.
    for (int column : {3, 4, 5})
        table->setColumnHidden(column, true);
    table->sortItems(0, Qt::AscendingOrder);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TabCronJobs::onThemeChanged() {
    const QString colour = isDarkTheme() ? QStringLiteral("#7FA8FF") : QStringLiteral("#0007CD");
    ui->labelCronJobsInfo->setStyleSheet(QStringLiteral("QLabel {color: ") + colour + QStringLiteral(";}"));
}

void TabCronJobs::onCronJobsDataReady(const QList<DetailsCronJob>& detailsCronJob) {
    Q_UNUSED(detailsCronJob)
}
