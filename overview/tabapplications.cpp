#include "tabapplications.h"

#include "displaytext.h"
#include "ui_mainwindow.h"

#include <QHeaderView>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QTimer>
#include <QtMath>

Q_LOGGING_CATEGORY(lcApplications, "tessmar.applications", QtWarningMsg)

namespace {
enum Column { ColumnApplication, ColumnStatus };

// The side of the table's icons in device pixels: what the worker keeps.
int iconSide(const Ui::MainWindow* ui) {
    const QTableWidget* table = ui->tableApplications;
    return qCeil(qMax(table->iconSize().width(), table->iconSize().height()) * table->devicePixelRatioF());
}
} // namespace

TabApplications::TabApplications(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui), worker(QStringLiteral("workerapplications"), iconSide(ui)) {
    worker.connectResult(&WorkerApplications::windowListUpdated, this,
                         &TabApplications::onWindowListDataReady);
    worker.connectResult(&WorkerApplications::windowCommandFinished, this,
                         &TabApplications::onWindowCommandFinished);
    // Every refill, timer-driven or not, waits for the list being made.
    worker.connectRequest(this, &TabApplications::requestUpdateWindowList,
                          &WorkerApplications::fetchWindowList, RequestDelivery::SkipWhileBusy);
    worker.connectRequest(this, &TabApplications::requestWindowCommand,
                          &WorkerApplications::runWindowCommand);
    worker.start();
}

TabApplications::~TabApplications() = default;

void TabApplications::setupApplicationTable() {
    QTableWidget* table = ui->tableApplications;
    table->setColumnWidth(ColumnStatus, 100);
    table->horizontalHeader()->setSectionResizeMode(ColumnApplication, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(ColumnStatus, QHeaderView::Fixed);
    table->setColumnCount(2);
    table->setHorizontalHeaderLabels({tr("Application"), tr("Status")});
    table->setSortingEnabled(true);

    QTimer::singleShot(1000, this, &TabApplications::updateApplicationTable);

    connect(table, &QTableWidget::itemSelectionChanged, this, &TabApplications::onSelectionChanged);
    connect(ui->pushButtonCloseApp, &QPushButton::clicked, this, &TabApplications::closeSelectedWindow);
    connect(ui->pushButtonSwitchTo, &QPushButton::clicked, this, &TabApplications::switchToSelectedWindow);
}

void TabApplications::updateApplicationTable() {
    emit requestUpdateWindowList();
}

void TabApplications::onWindowCommandFinished(const WindowCommandResult& result) {
    // The window manager asks the application to close: give it a moment
    // before looking again.
    if (result.action == QLatin1String("-ic"))
        QTimer::singleShot(500, this, &TabApplications::updateApplicationTable);
}

void TabApplications::onWindowListDataReady(const QList<DetailsApplicationWindow>& windows) {
    QTableWidget* table = ui->tableApplications;
    const int scrollPosition = table->verticalScrollBar()->value();
    table->setSortingEnabled(false);

    QVariant selectedId;
    const int current = table->currentRow();
    if (current >= 0 && table->item(current, ColumnApplication))
        selectedId = table->item(current, ColumnApplication)->data(Qt::UserRole);

    if (table->rowCount() != windows.size())
        table->setRowCount(windows.size());
    for (int row = 0; row < windows.size(); ++row) {
        QTableWidgetItem* title = table->item(row, ColumnApplication);
        QTableWidgetItem* status = table->item(row, ColumnStatus);
        if (!title) {
            title = new QTableWidgetItem;
            status = new QTableWidgetItem;
            table->setItem(row, ColumnApplication, title);
            table->setItem(row, ColumnStatus, status);
        }
        const DetailsApplicationWindow& window = windows[row];
        // Other users' programs choose their titles: no reordering on screen.
        title->setText(displaySafeText(window.title));
        title->setIcon(icons.icon(window.icon));
        title->setData(Qt::UserRole, window.id);
        status->setText(QStringLiteral("Running"));
    }
    icons.forgetUnused();

    if (selectedId.isValid()) {
        int selectedRow = -1;
        for (int row = 0; row < table->rowCount() && selectedRow < 0; ++row) {
            if (table->item(row, ColumnApplication)->data(Qt::UserRole) == selectedId)
                selectedRow = row;
        }
        if (selectedRow >= 0) {
            table->selectRow(selectedRow);
        } else {
            // The selected window has gone. Another window now sits in its
            // row: it must not become the target of Close App unseen.
            table->clearSelection();
            table->setCurrentItem(nullptr);
        }
    }

    table->setSortingEnabled(true);
    table->sortItems(table->horizontalHeader()->sortIndicatorSection(),
                     table->horizontalHeader()->sortIndicatorOrder());
    table->horizontalHeader()->setSectionResizeMode(ColumnApplication, QHeaderView::Stretch);
    table->setColumnWidth(ColumnStatus, 100);
    qCDebug(lcApplications) << "Finished updating applications table";
    table->verticalScrollBar()->setValue(scrollPosition);
    emit applicationTableFilled();
}

void TabApplications::onSelectionChanged() {
    const bool selected = !ui->tableApplications->selectedItems().isEmpty();
    ui->pushButtonCloseApp->setEnabled(selected);
    ui->pushButtonSwitchTo->setEnabled(selected);
}

QString TabApplications::currentWindowId() const {
    const int row = ui->tableApplications->currentRow();
    const QTableWidgetItem* item = row >= 0 ? ui->tableApplications->item(row, ColumnApplication) : nullptr;
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void TabApplications::closeSelectedWindow() {
    const QString id = currentWindowId();
    if (id.isEmpty()) {
        updateApplicationTable();
        return;
    }
    emit requestWindowCommand(QStringLiteral("-ic"), id);
}

void TabApplications::switchToSelectedWindow() {
    const QString id = currentWindowId();
    if (!id.isEmpty())
        emit requestWindowCommand(QStringLiteral("-ia"), id);
}
