#pragma once

#include "detailslogs.h"

#include <QDate>
#include <QObject>

// Reads the eight log sources of the Logs page on its own thread. Each fetch
// slot answers with its list, or, when its source cannot be had, with
// logUnavailable and a reason the page can show.
class WorkerLogs : public QObject {
    Q_OBJECT
public:
    // The sources in page order, as logUnavailable names them.
    enum Source { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog };

    explicit WorkerLogs(QObject* parent = nullptr);
    ~WorkerLogs() override;

    // 2 when the message mentions "error", 1 for "warning", else 0 (any case).
    static int classifySeverity(const QString& message);

    int debianMajor() const { return debianMajorVersion; }

signals:
    void sysLogUpdated(const QList<DetailsLogsSysLog>& records);
    void authLogUpdated(const QList<DetailsLogsAuthLog>& records);
    void kernLogUpdated(const QList<DetailsLogsKernLog>& records);
    void dmesgLogUpdated(const QList<DetailsLogsDmesgLog>& records);
    void bootLogUpdated(const QList<DetailsLogsBootLog>& records);
    void failLogUpdated(const QList<DetailsLogsFailLog>& records);
    void dpkgLogUpdated(const QList<DetailsLogsDpkgLog>& records);
    void flatpakLogUpdated(const QList<DetailsLogsFlatpakLog>& records);
    // A source that could not be read; source is a Source value.
    void logUnavailable(int source, const QString& reason);

public slots:
    void fetchSysLog();
    void fetchAuthLog();
    void fetchKernLog();
    void fetchDmesgLog();
    void fetchBootLog();
    void fetchFailLog();
    void fetchDpkgLog();
    void fetchFlatpakLog();

private:
    static int getDebianMajorVersion();
    // Reads a whole log file; on failure reports the source and returns false.
    bool readLog(Source source, const QString& path, QByteArray* text, QDate* lastChange = nullptr);

    int debianMajorVersion = -1;
};
