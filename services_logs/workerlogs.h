#pragma once

#include "detailslogs.h"
#include "logfilereader.h"

#include <QObject>
#include <atomic>
#include <optional>

// Reads the eight log sources of the Logs page on its own thread. Every
// fetch answers once, with the listing of its source: the three syslog-style
// files their rows in compact form, the other sources their records; a
// source that cannot be had answers with the reason the page shows. A read
// cut short by quitting answers nothing.
class WorkerLogs : public QObject {
    Q_OBJECT
public:
    // The sources in page order, as the signals name them.
    enum Source { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog };

    explicit WorkerLogs(QObject* parent = nullptr);
    ~WorkerLogs() override;

    // 2 when the message mentions "error", 1 for "warning", else 0 (any case).
    static int classifySeverity(const QString& message);

    // From any thread: a log being read stops at its next piece, and no
    // later one is read.
    void cancel() { cancelled = true; }
    // The newest lines a text log page keeps; tests lower them.
    static void setLimits(const LogFileReader::Limits& limits);
    static LogFileReader::Limits limits();

signals:
    void sysLogUpdated(const TextLogListing& listing);
    void authLogUpdated(const TextLogListing& listing);
    void kernLogUpdated(const TextLogListing& listing);
    void dmesgLogUpdated(const DmesgLogListing& listing);
    void bootLogUpdated(const BootLogListing& listing);
    void failLogUpdated(const FailLogListing& listing);
    void dpkgLogUpdated(const DpkgLogListing& listing);
    void flatpakLogUpdated(const FlatpakLogListing& listing);
    // While a syslog-style file is read.
    void loadProgress(const LogProgress& progress);

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
    std::optional<TextLogListing> readTextLog(Source source, const QString& path);
    // The records of a small log file, parsed by parse.
    template <typename Record>
    std::optional<LogListing<QList<Record>>> readRecords(Source source, const QString& path,
                                                         QList<Record> (*parse)(const QByteArray&));

    int debianMajorVersion = -1;
    std::atomic<bool> cancelled{false};
};
