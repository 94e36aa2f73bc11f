#pragma once

#include "overviewsampler.h"

#include <QObject>
#include <QString>
#include <atomic>

// Takes the Overview graphs' samples on its own thread: one per call of
// process(), answered with one updateCompleted.
class WorkerOverviewGraphs : public QObject {
    Q_OBJECT
public:
    explicit WorkerOverviewGraphs(QObject* parent = nullptr);

    // The tab asks for a sample only when this returns true; process()
    // releases it on every path, so a slow tool delays the next tick
    // instead of queueing them up.
    bool tryReserveSample() { return !sampleRunning.exchange(true); }
    bool isSampleRunning() const { return sampleRunning.load(); }

public slots:
    void process();
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
    std::atomic<bool> sampleRunning{false};
};
