#pragma once

#include <QObject>
#include <QString>

#include <memory>

class TickGate;

// One reading of the panel's live figures. A count that could not be read is -1.
struct SysInfoSample {
    QString uptime;
    QString ramUsed;
    QString swapUsed;
    QString procsThreads;
    int applications = -1;
    int servicesEnabled = 0;
    int cronJobs = 0;
    int activeUsers = -1;
};

// Samples the Overview panel's live figures (uptime, memory, swap, tasks,
// windows, enabled services, cron jobs, logged-in users) on its own thread.
class WorkerOverviewSysInfo : public QObject {
    Q_OBJECT
public:
    explicit WorkerOverviewSysInfo(QObject* parent = nullptr);
    ~WorkerOverviewSysInfo() override;

    // The gate the requester enters before asking for a sample; process()
    // opens it again when done, so ticks during a slow sample are skipped.
    void setTickGate(std::shared_ptr<TickGate> gate);

    static SysInfoSample sample();

    static QString getUptime();
    static QString getRamUsage();
    static QString getSwapUsage();
    static QString getProcessThreadCount();
    static int countOpenWindows();
    static int countServiceFiles(const QString& folder);
    static int countEnabledServices();
    static int countCronJobsInFile(const QString& path, bool systemCrontab);
    static int countCronJobs();
    static int countActiveUsers();

public slots:
    void process();

signals:
    void updateCompleted(const QString& uptime, const QString& ramUsed, const QString& swapUsed,
                         const QString& procsThreads, int applications, int servicesEnabled, int cronJobs,
                         int activeUsers, const QString& error);
    void processingDone();

private:
    std::shared_ptr<TickGate> tickGate;
};
