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

QString ignoredFileText(const DetailsCronJob& job) {
    const QString text = QStringLiteral("Never: cron ignores this file");
    return job.ignoredForLine > 0 ? text + QStringLiteral(" (line %1)").arg(job.ignoredForLine) : text;
}

// Why cron reads none of the job's file.
QString ignoredFileDetail(const DetailsCronJob& job) {
    if (job.ignoredForLine == job.line && !job.lineRefusal.isEmpty())
        return QStringLiteral("cron ignores the whole file %1 for this line").arg(job.location);
    const QString where =
        job.ignoredForLine > 0 ? QStringLiteral("line %1: ").arg(job.ignoredForLine) : QString();
    return QStringLiteral("cron ignores the whole file %1: %2%3")
        .arg(job.location, where, job.fileIgnoredWhy);
}

} // namespace

QString jobScheduleText(const DetailsCronJob& job) {
    switch (job.origin) {
    case DetailsCronJob::Origin::CrontabLine:
        if (!job.lineRefusal.isEmpty())
            return QStringLiteral("Invalid");
        if (job.fileIgnored)
            return ignoredFileText(job);
        return scheduleToText(job.schedule);
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
        QStringList lines{sentence};
        if (job.fileIgnored && job.lineRefusal.isEmpty())
            lines << QStringLiteral("Schedule: %1 (%2, were the file read)")
                         .arg(job.schedule, reading.sentence);
        else
            lines << QStringLiteral("Schedule: ") + job.schedule;
        lines += reading.notes;
        if (!job.lineRefusal.isEmpty() && job.lineRefusal != reading.refusal)
            lines << QStringLiteral("cron refuses the line: ") + job.lineRefusal;
        if (job.fileIgnored)
            lines << ignoredFileDetail(job);
        return lines.join(QLatin1Char('\n'));
    }
    case DetailsCronJob::Origin::ScriptRunByCron:
        return sentence + QStringLiteral("\nSchedule: %1, the line of %2 that runs %3")
                              .arg(job.schedule, job.runBy, scriptFolder(job));
    case DetailsCronJob::Origin::ScriptRunByAnacron:
        return sentence + QStringLiteral("\nPeriod: %1, the line of %2 that runs %3")
                              .arg(job.schedule, job.runBy, scriptFolder(job));
    case DetailsCronJob::Origin::ScriptNotRun:
        if (!job.runBy.isEmpty())
            return sentence +
                   QStringLiteral("\nA line of %1 runs it, but cron ignores that file").arg(job.runBy);
        break;
    }
    return sentence;
}
