#include "workerlogs.h"

WorkerLogs::WorkerLogs(QObject* parent) : QObject(parent) {}

WorkerLogs::~WorkerLogs() = default;

void WorkerLogs::fetchSysLog() {
    emit sysLogUpdated({});
}
