#include "tabservices.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workerservices.h"
#include "workerthread.h"

#include <QHeaderView>

TabServices::TabServices(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerServices;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workerservices"));
    connect(worker, &WorkerServices::serviceListUpdated, this, &TabServices::onProcessDataReady);
    workerThread->start();

    setupTable();

    connect(this, &TabServices::requestUpdateServicesTable, worker, &WorkerServices::fetchServices,
            Qt::QueuedConnection);
    emit requestUpdateServicesTable();

    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabServices::onThemeChanged);
}

TabServices::~TabServices() = default;

void TabServices::setupTable() {
    QTableWidget* table = ui->tableServices;
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({tr("Service Name"), tr("Status"), tr("Description")});
    table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    table->setColumnWidth(0, 200);
    table->setColumnWidth(1, 72);
    table->sortItems(0, Qt::AscendingOrder);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TabServices::onThemeChanged() {
    updateServicesTable();
}

void TabServices::updateServicesTable() {
    emit requestUpdateServicesTable();
}

void TabServices::onProcessDataReady(const QList<DetailsService>& detailsService) {
    Q_UNUSED(detailsService)
}
