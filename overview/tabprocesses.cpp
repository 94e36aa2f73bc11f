#include "tabprocesses.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workerprocesses.h"
#include "workerthread.h"

TabProcesses::TabProcesses(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerProcesses;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("processes"));
    connect(this, &TabProcesses::requestUpdateProcessesTable, worker, &WorkerProcesses::fetchProcesses,
            Qt::QueuedConnection);
    connect(worker, &WorkerProcesses::processListUpdated, this, &TabProcesses::onProcessDataReady,
            Qt::QueuedConnection);
    workerThread->start();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabProcesses::onThemeChanged);
}

TabProcesses::~TabProcesses() = default;

void TabProcesses::updateProcessesTable() {
    emit requestUpdateProcessesTable();
}

void TabProcesses::onProcessDataReady(const QList<DetailsProcess>& processes) {
    Q_UNUSED(processes)
}

void TabProcesses::onThemeChanged() {}
