#pragma once

#include "overviewsampler.h"

#include <QObject>

// Takes the Overview graphs' samples on its own thread: one per call of
// process(), answered with one updateCompleted.
class WorkerOverviewGraphs : public QObject {
    Q_OBJECT
public:
    explicit WorkerOverviewGraphs(QObject* parent = nullptr);

public slots:
    void process();

signals:
    void updateCompleted(const OverviewSample& sample);

private:
    OverviewSampler sampler;
};
