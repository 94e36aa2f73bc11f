#include "workercronjobs.h"

WorkerCronJobs::WorkerCronJobs(QObject* parent) : QObject(parent) {}

WorkerCronJobs::~WorkerCronJobs() = default;

void WorkerCronJobs::fetchCronJobs() {
    emit cronJobsUpdated({});
}
