#pragma once

#include "detailscronjob.h"

#include <QObject>

// Collects the machine's scheduled jobs on its own thread.
class WorkerCronJobs : public QObject {
    Q_OBJECT
public:
    explicit WorkerCronJobs(QObject* parent = nullptr);
    ~WorkerCronJobs() override;

signals:
    void cronJobsUpdated(const QList<DetailsCronJob>& detailsCronJob);

public slots:
    void fetchCronJobs();
};
