#pragma once

#include "detailslogs.h"
#include "logfilereader.h"
#include "logtable.h"

#include <QObject>
#include <atomic>

// Reads the eight log sources of the Logs page on its own thread. The three
// syslog-style files answer with their rows in compact form (textLogRead);
// the other sources with their record lists. A source that cannot be had
// answers with logUnavailable and a reason the page can show; what a page
// should know about a partial answer (lines left out, a tool that failed)
// follows the answer as logNote.
class WorkerLogs : public QObject {
    Q_OBJECT
public:
    // The sources in page order, as the signals name them.
    enum Source { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog };

    explicit WorkerLogs(QObject* parent = nullptr);
    ~WorkerLogs() override;

    // 2 when the message mentions "error", 1 for "warning", else 0 (any case).
    static int classifySeverity(const QString& message);

    int debianMajor() const { return debianMajorVersion; }
    // From any thread: a log being read stops at its next piece, and no
    // later one is read.
    void cancel() { cancelled = true; }
    // The newest lines a text log page keeps; tests lower them.
    static void setLimits(const LogFileReader::Limits& limits);
    static LogFileReader::Limits limits();

signals:
    void textLogRead(int source, const LogTablePtr& table);
    void dmesgLogUpdated(const QList<DetailsLogsDmesgLog>& records);
    void bootLogUpdated(const QList<DetailsLogsBootLog>& records);
    void failLogUpdated(const QList<DetailsLogsFailLog>& records);
    void dpkgLogUpdated(const QList<DetailsLogsDpkgLog>& records);
    void flatpakLogUpdated(const QList<DetailsLogsFlatpakLog>& records);
    // A source that could not be read; source is a Source value.
    void logUnavailable(int source, const QString& reason);
    // Said on the page after its answer.
    void logNote(int source, const QString& note);
    // While a text log is read: the share read and the rows made so far.
    void loadProgress(int source, int percent, int rows);

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
    void fetchTextLog(Source source, const QString& path);
    // Reads a whole small log file; on failure reports the source and returns false.
    bool readLog(Source source, const QString& path, QByteArray* text);
    void reportMissing(Source source, const QString& path);

    int debianMajorVersion = -1;
    std::atomic<bool> cancelled{false};
};
