#include "tablogs.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workerlogs.h"
#include "workerthread.h"

TabLogs::TabLogs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerLogs;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workerlogs"));
    connect(this, &TabLogs::requestUpdateLogsSysLogTable, worker, &WorkerLogs::fetchSysLog,
            Qt::QueuedConnection);
    workerThread->start();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabLogs::onThemeChanged);
}

TabLogs::~TabLogs() = default;

void TabLogs::initializeLogs() {}

void TabLogs::onThemeChanged() {}
