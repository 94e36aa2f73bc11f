#include "workeroverviewgraphs.h"

#include <QCoreApplication>

WorkerOverviewGraphs::WorkerOverviewGraphs(QObject* parent)
    : QObject(parent), sampler(QCoreApplication::applicationPid()) {}

void WorkerOverviewGraphs::process() {
    const TickGate::Pass pass(&gate);
    const OverviewSample sample = sampler.take();
    emit updateCompleted(sample.cpuUsage, sample.gpuUsage, sample.ramUsage, sample.diskTotalMb,
                         sample.networkKilobits, sample.maxTemperature, sample.error, sample.sampledAtMs);
    emit processingDone();
}

double WorkerOverviewGraphs::parseDiskIO(const QString& output) {
    const QVector<OverviewParser::DiskCounters> devices = OverviewParser::parseDiskStats(output.toUtf8());
    if (devices.isEmpty())
        return -1;
    OverviewParser::DiskTraffic traffic;
    return traffic.totalMegabytes(devices, OverviewSampler::countedDiskDevices(devices));
}

double WorkerOverviewGraphs::parseNetworkIO(const QString& output) {
    return textTraffic.kilobitsSince(OverviewParser::parseNetDevTotal(output.toUtf8()));
}

int WorkerOverviewGraphs::readMaxTemperature() {
    return sampler.readMaxTemperature();
}
