#include "tabnetworkingwireless.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workernetworkingwireless.h"
#include "workerthread.h"

TabNetworkingWireless::TabNetworkingWireless(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerNetworkingWireless;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workernetworkingwireless"));
    workerThread->start();
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabNetworkingWireless::onThemeChanged);
}

TabNetworkingWireless::~TabNetworkingWireless() = default;

void TabNetworkingWireless::startTimer() {}

void TabNetworkingWireless::stopTimer() {}

void TabNetworkingWireless::onThemeChanged() {}
