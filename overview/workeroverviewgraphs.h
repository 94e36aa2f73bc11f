#pragma once

#include "overviewsampler.h"
#include "tickgate.h"

#include <QObject>
#include <QString>

// Takes the Overview graphs' samples on its own thread: one per call of
// process(), answered with one updateCompleted.
class WorkerOverviewGraphs : public QObject {
    Q_OBJECT
public:
    explicit WorkerOverviewGraphs(QObject* parent = nullptr);

    // The tab asks for a sample only through this gate; process() opens it
    // again on every path, so a slow tool delays the next tick instead of
    // queueing them up.
    TickGate& sampleGate() { return gate; }

public slots:
    void process();
    // Megabytes read and written since boot by the counted devices of one
    // /proc/diskstats text; negative when it holds no device.
    double parseDiskIO(const QString& output);
    double parseNetworkIO(const QString& output);
    int readMaxTemperature();

signals:
    // diskIO: megabytes since boot (negative when unknown); networkSpeedMB:
    // kilobits since the previous sample; sampledAtMs: monotonic time of the
    // sample, so rates divide by the time really elapsed.
    void updateCompleted(int cpuUsage, int gpuUsage, int ramUsage, double diskIO, double networkSpeedMB,
                         int maxTemp, const QString& error, qint64 sampledAtMs);
    void processingDone();

private:
    OverviewSampler sampler;
    OverviewParser::TrafficCounter textTraffic;
    TickGate gate;
};
