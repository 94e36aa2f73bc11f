#include "tabservices.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workerservices.h"
#include "workerthread.h"

TabServices::TabServices(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerServices;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workerservices"));
    connect(this, &TabServices::requestUpdateServicesTable, worker, &WorkerServices::fetchServices,
            Qt::QueuedConnection);
    workerThread->start();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabServices::onThemeChanged);
}

TabServices::~TabServices() = default;

void TabServices::onThemeChanged() {}
