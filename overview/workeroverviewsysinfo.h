#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>
#include <optional>

class PathStamps;
class X11WindowReader;

// How the panel counts the scheduled jobs: the way the Cron Jobs page reads
// them, handed over by the program's shell, with the files and folders
// whose change means a recount. Without a count the figure reads "N/A".
struct CronJobCounting {
    QStringList files;
    QStringList folders;
    std::function<int()> count;
};

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
Q_DECLARE_METATYPE(SysInfoSample)

// Samples the Overview panel's live figures (uptime, memory, swap, tasks,
// windows, enabled services, cron jobs, logged-in users) on its own thread,
// once a second, without starting a program: windows are counted on an X
// connection of the worker's own, logged-in users read from the login
// records, and the service and cron counts are kept until their folders
// change.
class WorkerOverviewSysInfo : public QObject {
    Q_OBJECT
public:
    explicit WorkerOverviewSysInfo(CronJobCounting cronJobCounting = {});
    ~WorkerOverviewSysInfo() override;

    // One sample, recounting the services and cron jobs only when their
    // files changed since the previous one. Call on the worker's thread.
    SysInfoSample sample();

    static QString getUptime();
    static QString getRamUsage();
    static QString getSwapUsage();
    static QString getProcessThreadCount();
    static int countServiceFiles(const QString& folder);
    static int countEnabledServices();
    // The jobs the Cron Jobs page lists, read the way it reads them; -1
    // without a way to count them.
    int countCronJobs() const;
    // Distinct users with a live login in the utmp file; 0 without one, -1
    // when it cannot be read.
    static int countActiveUsers();
    // Windows on a desktop, as the window manager lists them; -1 when there
    // is no X connection or no managed window list.
    int countOpenWindows();

public slots:
    // Answers with one updateCompleted; a figure that could not be read
    // says so itself.
    void process();

signals:
    void updateCompleted(const SysInfoSample& sample);

private:
    // Made on the worker's thread at the first count.
    std::unique_ptr<X11WindowReader> windowReader;
    std::unique_ptr<PathStamps> serviceFolders;
    const CronJobCounting cronJobCounting;
    std::unique_ptr<PathStamps> cronFiles;
    int servicesEnabled = 0;
    int cronJobs = 0;
};
