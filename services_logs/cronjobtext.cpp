#include "cronjobtext.h"

#include "cronschedule.h"

#include <QStringList>

namespace {

QString scriptFolder(const DetailsCronJob& job) {
    return job.location.left(job.location.lastIndexOf(QLatin1Char('/')));
}

// anacron's period: a number of days, or "@monthly".
QString anacronPeriodText(const QString& period) {
    if (period == QLatin1String("@monthly"))
        return QStringLiteral("Once a month, by anacron");
    bool ok = false;
    const int days = period.toInt(&ok, 10);
    if (!ok || days < 1)
        return QString();
    if (days == 1)
        return QStringLiteral("Once a day, by anacron");
    if (days == 7)
        return QStringLiteral("Once a week, by anacron");
    return QStringLiteral("Every %1 days, by anacron").arg(days);
}

QString notRunText(const DetailsCronJob& job) {
    return QStringLiteral("Not run: no crontab line runs ") + scriptFolder(job);
}

} // namespace

QString jobScheduleText(const DetailsCronJob& job) {
    switch (job.origin) {
    case DetailsCronJob::Origin::CrontabLine:
    case DetailsCronJob::Origin::ScriptRunByCron:
        return scheduleToText(job.schedule);
    case DetailsCronJob::Origin::ScriptRunByAnacron: {
        const QString text = anacronPeriodText(job.schedule);
        return text.isEmpty() ? notRunText(job) : text;
    }
    case DetailsCronJob::Origin::ScriptNotRun:
        break;
    }
    return notRunText(job);
}

QString jobScheduleToolTip(const DetailsCronJob& job) {
    const QString sentence = jobScheduleText(job);
    switch (job.origin) {
    case DetailsCronJob::Origin::CrontabLine: {
        const ScheduleReading reading = readSchedule(job.schedule);
        return QStringList{sentence, QStringLiteral("Schedule: ") + job.schedule}.join(QLatin1Char('\n')) +
               (reading.notes.isEmpty() ? QString()
                                        : QLatin1Char('\n') + reading.notes.join(QLatin1Char('\n')));
    }
    case DetailsCronJob::Origin::ScriptRunByCron:
        return sentence + QStringLiteral("\nSchedule: %1, the line of %2 that runs %3")
                              .arg(job.schedule, job.runBy, scriptFolder(job));
    case DetailsCronJob::Origin::ScriptRunByAnacron:
        return sentence + QStringLiteral("\nPeriod: %1, the line of %2 that runs %3")
                              .arg(job.schedule, job.runBy, scriptFolder(job));
    case DetailsCronJob::Origin::ScriptNotRun:
        break;
    }
    return sentence;
}
