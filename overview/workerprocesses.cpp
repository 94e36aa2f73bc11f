#include "workerprocesses.h"

#include "processparser.h"
#include "processscanner.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProcessScan, "tessmar.processes.scan", QtWarningMsg)

WorkerProcesses::WorkerProcesses(QObject* parent)
    : QObject(parent), scanner(std::make_unique<ProcessScanner>()) {}

WorkerProcesses::~WorkerProcesses() = default;

QString WorkerProcesses::getSessionUid() {
    return ProcessParser::sessionUid(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                                     qEnvironmentVariable("SUDO_UID"));
}

void WorkerProcesses::fetchProcesses() {
    const QString uidFilter = showAllUsers ? QString() : getSessionUid();
    const QList<DetailsProcess> processes = scanner->scan(uidFilter);
    emit processListUpdated(processes);
    qCDebug(lcProcessScan) << "Emitting process list updated with count:" << processes.size();
}

void WorkerProcesses::requestSetShowAllUsers(bool checked) {
    showAllUsers = checked;
    qCDebug(lcProcessScan) << "Set the showAllUsers to:" << checked;
    fetchProcesses();
}
