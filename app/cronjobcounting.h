#pragma once

#include "workeroverviewsysinfo.h"

// The Overview's count of scheduled jobs, read the way the Cron Jobs page
// reads them, so the two always agree.
CronJobCounting cronPageCounting();
