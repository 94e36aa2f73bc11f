#include "tabcronjobs.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workercronjobs.h"
#include "workerthread.h"

TabCronJobs::TabCronJobs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerCronJobs;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workercronjobs"));
    connect(this, &TabCronJobs::requestUpdateCronJobsTable, worker, &WorkerCronJobs::fetchCronJobs,
            Qt::QueuedConnection);
    workerThread->start();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabCronJobs::onThemeChanged);
}

TabCronJobs::~TabCronJobs() = default;

void TabCronJobs::onThemeChanged() {}
