// libFuzzer entry for the crontab reader and the schedule sentences: every
// input is the text of a crontab (read in both the system and the personal
// format), of an anacrontab and of a password file, and each of its lines is
// also read as a schedule. A job has a schedule of one "@" word or five
// fields and a command with no control characters; a line cron refuses
// makes every job of the file say that cron ignores it, and a job of a file
// cron reads has a schedule cron reads; a schedule reads the same whatever
// blanks separate its fields; one that never runs says so.
#include "cronparser.h"
#include "cronschedule.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const QString& text) {
    std::fprintf(stderr, "%s: \"%s\"\n", what, text.toUtf8().toPercentEncoding(" ").constData());
    abort();
}

void checkSchedule(const QString& schedule) {
    const ScheduleReading reading = readSchedule(schedule);
    if (reading.sentence.isEmpty())
        fail("a schedule without a sentence", schedule);
    if (!reading.runs && !reading.sentence.startsWith(QLatin1String("Never")) &&
        reading.sentence != QLatin1String("Invalid"))
        fail("a schedule that never runs reads as one that does", schedule);
    if (scheduleToText(schedule) != reading.sentence)
        fail("the two readings of a schedule differ", schedule);
    // Blanks between the fields do not matter.
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    QString spread = schedule;
    spread.replace(blanks, QStringLiteral(" \t "));
    const ScheduleReading again = readSchedule(spread);
    if (again.sentence != reading.sentence || again.runs != reading.runs)
        fail("a schedule reads differently with other blanks", schedule);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    QList<DetailsCronJob> systemJobs;
    for (const bool systemFormat : {true, false}) {
        CronParser::CrontabSource source;
        source.location = QStringLiteral("/etc/cron.d/fuzz");
        source.systemFormat = systemFormat;
        source.owner = QStringLiteral("alice");
        source.isAccount = [](const QString& name) { return name.size() % 2; };
        const QList<DetailsCronJob> jobs = CronParser::parseCrontab(text, source);
        // A NUL in a command starts another line.
        if (jobs.size() > text.count('\n') + text.count('\0') + 1)
            abort();
        const bool anyRefused = std::any_of(
            jobs.cbegin(), jobs.cend(), [](const DetailsCronJob& job) { return !job.lineRefusal.isEmpty(); });
        for (const DetailsCronJob& job : jobs) {
            const int fields = job.schedule.split(QLatin1Char(' ')).size();
            if (fields != (job.schedule.startsWith(QLatin1Char('@')) ? 1 : 5))
                fail("a job's schedule has the wrong number of fields", job.schedule);
            if (job.user.isEmpty() || job.line < 1 || job.fileIgnored != jobs.first().fileIgnored)
                fail("a job without a user or a line, or a file read in part", job.schedule);
            if (anyRefused && !job.fileIgnored)
                fail("a refused line leaves its file read", job.schedule);
            if (!job.fileIgnored && !readSchedule(job.schedule).refusal.isEmpty())
                fail("a file is read with a schedule cron refuses", job.schedule);
            for (const QString& shown : {job.command, job.user})
                for (const QChar c : shown)
                    if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f)
                        fail("a control character is shown", shown);
            checkSchedule(job.schedule);
            CronParser::runPartsFolders(job.command);
            CronParser::skippedWhenExecutable(job.command);
        }
        if (systemFormat)
            systemJobs = jobs;
    }
    const QList<CronParser::AnacronLine> anacron = CronParser::parseAnacrontab(text);
    for (const CronParser::AnacronLine& line : anacron) {
        bool ok = false;
        if (line.period != QLatin1String("@monthly") && line.period.toInt(&ok) < 1)
            fail("an anacron period that is no period", line.period);
    }
    CronParser::folderRunner(QStringLiteral("/etc/cron.daily"), systemJobs, anacron,
                             QStringLiteral("/etc/anacrontab"),
                             [](const QString& path) { return path.size() % 2; });
    QStringList names;
    for (const CronParser::Account& account : CronParser::readAccounts(text))
        names << account.name;
    for (const QString& name : names)
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..") ||
            names.count(name) != 1)
            fail("an account name that could not be a spool file", name);
    // Each line as a schedule, and as a run-parts command.
    for (const QByteArray& line : text.split('\n')) {
        if (line.size() > 4096)
            continue;
        const QString decoded = QString::fromUtf8(line.constData(), line.size());
        checkSchedule(decoded);
        for (const QString& folder : CronParser::runPartsFolders(decoded))
            if (folder.isEmpty() || (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))))
                fail("a run-parts folder with a trailing slash", folder);
        CronParser::skippedWhenExecutable(decoded);
    }
    return 0;
}
