#include "workerservices.h"

WorkerServices::WorkerServices(QObject* parent) : QObject(parent) {}

WorkerServices::~WorkerServices() = default;

void WorkerServices::fetchServices() {
    emit serviceListUpdated({});
}

void WorkerServices::requestSetShowFailedServices(bool checked) {
    showFailedServices = checked;
    fetchServices();
}
