#pragma once

#include "detailslogs.h"

#include <QObject>

// Reads the eight log sources of the Logs page on its own thread.
class WorkerLogs : public QObject {
    Q_OBJECT
public:
    explicit WorkerLogs(QObject* parent = nullptr);
    ~WorkerLogs() override;

    // 2 when the message mentions "error", 1 for "warning", else 0 (any case).
    static int classifySeverity(const QString& message);

signals:
    void sysLogUpdated(const QList<DetailsLogsSysLog>& records);
    void authLogUpdated(const QList<DetailsLogsAuthLog>& records);
    void kernLogUpdated(const QList<DetailsLogsKernLog>& records);
    void dmesgLogUpdated(const QList<DetailsLogsDmesgLog>& records);
    void bootLogUpdated(const QList<DetailsLogsBootLog>& records);
    void failLogUpdated(const QList<DetailsLogsFailLog>& records);
    void dpkgLogUpdated(const QList<DetailsLogsDpkgLog>& records);
    void flatpakLogUpdated(const QList<DetailsLogsFlatpakLog>& records);

public slots:
    void fetchSysLog();
    void fetchAuthLog();
    void fetchKernLog();
    void fetchDmesgLog();
    void fetchBootLog();
    void fetchFailLog();
    void fetchDpkgLog();
    void fetchFlatpakLog();
};
