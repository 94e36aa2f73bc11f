#pragma once

#include "detailsprocess.h"

#include <QObject>

// Scans /proc on its own thread and answers with the process list.
class WorkerProcesses : public QObject {
    Q_OBJECT
public:
    explicit WorkerProcesses(QObject* parent = nullptr);

public slots:
    void fetchProcesses();

signals:
    void processListUpdated(const QList<DetailsProcess>& processes);
};
