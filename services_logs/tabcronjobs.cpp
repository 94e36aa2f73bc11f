#include "tabcronjobs.h"

#include "cronjobtext.h"
#include "displaytext.h"
#include "plaintooltip.h"
#include "selectionkeeper.h"
#include "tablefilter.h"
#include "themecolors.h"
#include "ui_mainwindow.h"

#include <QHeaderView>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCronTab, "tessmar.cron.tab", QtWarningMsg)

TabCronJobs::TabCronJobs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qCDebug(lcCronTab) << "Here in tab Cron Jobs!";
    worker.connectResult(&WorkerCronJobs::cronJobsUpdated, this, &TabCronJobs::onCronJobsDataReady);
    worker.connectRequest(this, &TabCronJobs::requestUpdateCronJobsTable, &WorkerCronJobs::fetchCronJobs);
    worker.start();

    connect(ui->lineEditCronJobsFilter, &QLineEdit::textChanged, this, &TabCronJobs::filterCronJobsTable);
    setupTable();

    emit requestUpdateCronJobsTable();

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
    QTableWidget* table = ui->tableCronJobs;
    const SelectionKeeper kept(table, ColumnName);

    table->setUpdatesEnabled(false);
    table->setSortingEnabled(false);
    table->clearContents();
    table->setRowCount(detailsCronJob.size());
    for (int row = 0; row < detailsCronJob.size(); ++row) {
        const DetailsCronJob& job = detailsCronJob.at(row);
        // A personal crontab is its owner's text, file name included.
        const QString cells[] = {displaySafeText(job.name),     jobScheduleText(job),
                                 displaySafeText(job.command),  job.type,
                                 displaySafeText(job.location), job.status};
        for (int column = 0; column < 6; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            // The narrow columns cut long texts; the tooltip shows them whole.
            if (column == ColumnSchedule)
                item->setToolTip(plainTextToolTip(jobScheduleToolTip(job)));
            else if (column == ColumnName || column == ColumnCommand)
                item->setToolTip(plainTextToolTip(cells[column]));
            table->setItem(row, column, item);
        }
    }
    table->setSortingEnabled(true);
    filterCronJobsTable();
    kept.restore();
    table->setUpdatesEnabled(true);
    emit cronJobsTableFilled();
}

void TabCronJobs::filterCronJobsTable() {
    const int shown =
        filterTableRows(ui->tableCronJobs, {ColumnCommand, ColumnType}, ui->lineEditCronJobsFilter->text());
    ui->labelCronJobsEntries->setText(QString::number(shown));
}
