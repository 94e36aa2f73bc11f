#pragma once

#include "cronparser.h"
#include "detailscronjob.h"

#include <QObject>

// Collects the machine's scheduled jobs on its own thread: the system
// crontab, /etc/cron.d, the periodic script folders and every account's
// personal crontab, read straight from the files (the program is root).
// The scripts of the periodic folders take their time from the line of the
// system crontab (or of anacron's table) that runs their folder.
class WorkerCronJobs : public QObject {
    Q_OBJECT
public:
    explicit WorkerCronJobs(QObject* parent = nullptr);
    ~WorkerCronJobs() override;

    // All jobs, in the order the page receives them: one per row it shows.
    static QList<DetailsCronJob> collectCronJobs();
    // What the collection reads: files whose change, and folders whose
    // change of entries, can change the jobs.
    static QStringList sourceFiles();
    static QStringList sourceFolders();

    // Largest crontab read; the rest of a bigger file is left out.
    static constexpr qint64 maxCrontabBytes = 1024 * 1024;

signals:
    void cronJobsUpdated(const QList<DetailsCronJob>& detailsCronJob);

public slots:
    void fetchCronJobs();
};
