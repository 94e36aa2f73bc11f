#include "workerprocesses.h"

#include "processparser.h"
#include "processscanner.h"

#include <QDebug>

WorkerProcesses::WorkerProcesses(QObject* parent)
    : QObject(parent), scanner(std::make_unique<ProcessScanner>()) {}

WorkerProcesses::~WorkerProcesses() = default;

QString WorkerProcesses::getSessionUid() {
    return ProcessParser::sessionUidFromRuntimeDir(qEnvironmentVariable("XDG_RUNTIME_DIR"));
}

void WorkerProcesses::fetchProcesses() {
    const QString uidFilter = showAllUsers ? QString() : getSessionUid();
    const QList<DetailsProcess> processes = scanner->scan(uidFilter);
    emit processListUpdated(processes);
    qDebug() << "Emitting process list updated with count:" << processes.size();
}

void WorkerProcesses::requestSetShowAllUsers(bool checked) {
    showAllUsers = checked;
    qDebug() << "Set the showAllUsers to:" << checked;
    fetchProcesses();
}
