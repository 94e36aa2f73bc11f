#include "cronjobcounting.h"

#include "workercronjobs.h"

CronJobCounting cronPageCounting() {
    return {WorkerCronJobs::sourceFiles(), WorkerCronJobs::sourceFolders(),
            [] { return int(WorkerCronJobs::collectCronJobs().size()); }};
}
