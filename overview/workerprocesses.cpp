#include "workerprocesses.h"

WorkerProcesses::WorkerProcesses(QObject* parent) : QObject(parent) {}

void WorkerProcesses::fetchProcesses() {
    emit processListUpdated({});
}
