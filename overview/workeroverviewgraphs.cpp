#include "workeroverviewgraphs.h"

#include <QCoreApplication>

WorkerOverviewGraphs::WorkerOverviewGraphs(QObject* parent)
    : QObject(parent), sampler(QCoreApplication::applicationPid()) {}

void WorkerOverviewGraphs::process() {
    emit updateCompleted(sampler.take());
}
