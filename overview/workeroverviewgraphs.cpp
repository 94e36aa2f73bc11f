#include "workeroverviewgraphs.h"

#include <QCoreApplication>

namespace {
// Clears the reservation however process() is left.
class SampleRelease {
public:
    explicit SampleRelease(std::atomic<bool>& flag) : flag(flag) {}
    ~SampleRelease() { flag.store(false); }
    SampleRelease(const SampleRelease&) = delete;
    SampleRelease& operator=(const SampleRelease&) = delete;

private:
    std::atomic<bool>& flag;
};
} // namespace

WorkerOverviewGraphs::WorkerOverviewGraphs(QObject* parent)
    : QObject(parent), sampler(QCoreApplication::applicationPid()) {}

void WorkerOverviewGraphs::process() {
    const SampleRelease release(sampleRunning);
    const OverviewSample sample = sampler.take();
    emit updateCompleted(sample.cpuUsage, sample.gpuUsage, sample.ramUsage, sample.diskTotalMb,
                         sample.networkKilobits, sample.maxTemperature, sample.error, sample.sampledAtMs);
    emit processingDone();
}

double WorkerOverviewGraphs::parseDiskIO(const QString& output) {
    return OverviewParser::parseDiskTotal(output).value_or(-1);
}

double WorkerOverviewGraphs::parseNetworkIO(const QString& output) {
    return textTraffic.kilobitsSince(OverviewParser::parseNetDevTotal(output.toUtf8()));
}

int WorkerOverviewGraphs::readMaxTemperature() {
    return sampler.readMaxTemperature();
}
