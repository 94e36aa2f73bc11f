#pragma once

#include "detailscronjob.h"

#include <QObject>

class WorkerCronJobs : public QObject {
    Q_OBJECT
public:
    explicit WorkerCronJobs(QObject* parent = nullptr);
    ~WorkerCronJobs() override;

public slots:
    void fetchCronJobs();

signals:
    void cronJobsUpdated(const QList<DetailsCronJob>& records);
};
