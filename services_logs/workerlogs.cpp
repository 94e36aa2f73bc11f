#include "workerlogs.h"

WorkerLogs::WorkerLogs(QObject* parent) : QObject(parent) {}

WorkerLogs::~WorkerLogs() = default;

int WorkerLogs::classifySeverity(const QString& message) {
    if (message.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return 2;
    if (message.contains(QLatin1String("warning"), Qt::CaseInsensitive))
        return 1;
    return 0;
}

void WorkerLogs::fetchSysLog() {
    emit sysLogUpdated({});
}

void WorkerLogs::fetchAuthLog() {
    emit authLogUpdated({});
}

void WorkerLogs::fetchKernLog() {
    emit kernLogUpdated({});
}

void WorkerLogs::fetchDmesgLog() {
    emit dmesgLogUpdated({});
}

void WorkerLogs::fetchBootLog() {
    emit bootLogUpdated({});
}

void WorkerLogs::fetchFailLog() {
    emit failLogUpdated({});
}

void WorkerLogs::fetchDpkgLog() {
    emit dpkgLogUpdated({});
}

void WorkerLogs::fetchFlatpakLog() {
    emit flatpakLogUpdated({});
}
