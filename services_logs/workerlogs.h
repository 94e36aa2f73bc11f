#pragma once

#include "detailslogs.h"

#include <QObject>

class WorkerLogs : public QObject {
    Q_OBJECT
public:
    explicit WorkerLogs(QObject* parent = nullptr);
    ~WorkerLogs() override;

public slots:
    void fetchSysLog();

signals:
    void sysLogUpdated(const QList<DetailsLogsSysLog>& records);
};
