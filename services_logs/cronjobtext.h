#pragma once

#include "detailscronjob.h"

#include <QString>

// What the Schedule column shows for a job, and the tooltip with the whole
// sentence, the raw schedule and, for a periodic script, the line that runs
// its folder.
QString jobScheduleText(const DetailsCronJob& job);
QString jobScheduleToolTip(const DetailsCronJob& job);
