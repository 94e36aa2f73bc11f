#include "tabusers.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workerthread.h"
#include "workerusers.h"

TabUsers::TabUsers(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    auto* worker = new WorkerUsers;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workerusers"));
    connect(this, &TabUsers::requestUpdateUsersTable, worker, &WorkerUsers::getUsers, Qt::QueuedConnection);
    workerThread->start();
}

TabUsers::~TabUsers() = default;
