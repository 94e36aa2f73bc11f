#include "cronjobtext.h"
#include "cronparser.h"
#include "cronschedule.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workercronjobs.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
// Each job as one line: name|user|schedule|command|type|location.
QStringList describeJobs(const QList<DetailsCronJob>& jobs) {
    QStringList lines;
    for (const DetailsCronJob& job : jobs)
        lines << QStringList{job.name, job.user, job.schedule, job.command, job.type, job.location}.join('|');
    return lines;
}

// A source whose system-format user names are root and alice.
CronParser::CrontabSource source(bool systemFormat) {
    CronParser::CrontabSource source;
    source.location = "/x/alice";
    source.systemFormat = systemFormat;
    source.owner = "alice";
    source.isAccount = [](const QString& name) { return name == "root" || name == "alice"; };
    return source;
}

bool writeFile(const QTemporaryDir& root, const QString& relative, const QByteArray& text,
               bool executable = false) {
    QDir().mkpath(QFileInfo(root.filePath(relative)).absolutePath());
    QFile file(root.filePath(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    // 0644 or 0744 whatever the umask: cron ignores a system crontab that
    // its group may write to.
    const QFileDevice::Permissions readable =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    return file.setPermissions(executable ? readable | QFileDevice::ExeOwner : readable);
}

const QByteArray stockCrontab =
    "SHELL=/bin/sh\n"
    "17 *\t* * *\troot\tcd / && run-parts --report /etc/cron.hourly\n"
    "25 6\t* * *\troot\ttest -x /usr/sbin/anacron || { cd / && run-parts --report /etc/cron.daily; }\n"
    "47 6\t* * 7\troot\t[ -x /usr/sbin/anacron ] || { cd / && run-parts --report /etc/cron.weekly; }\n"
    "52 6\t1 * *\troot\ttest -x /usr/sbin/anacron || { cd / && run-parts --report /etc/cron.monthly; }\n";
const QByteArray stockAnacrontab = "SHELL=/bin/sh\n"
                                   "# These replace cron's entries\n"
                                   "1\t5\tcron.daily\trun-parts --report /etc/cron.daily\n"
                                   "7\t10\tcron.weekly\trun-parts --report /etc/cron.weekly\n"
                                   "@monthly\t15\tcron.monthly\trun-parts --report /etc/cron.monthly\n";
} // namespace

// Scheduled jobs: the English schedule sentences, crontab lines written by
// other accounts, and the collection over a fixture tree.
class TestCronJobs : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SystemPaths::setRootPrefix(QString()); }

    // Each schedule as cron reads it. The notes column is a piece of what the
    // tooltip adds (why cron skips the line, what it ignores), or empty.
    void scheduleToText_data() {
        QTest::addColumn<QString>("schedule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("note");
        const char* const rows[][3] = {
            {"* * * * *", "Every minute", ""},
            {"5 * * * *", "Every hour at minute 05", ""},
            {"30 2 * * *", "Every day at 02:30", ""},
            {"  30   2 * *\t* ", "Every day at 02:30", ""},
            {"* 5 * * *", "Every day at 05:*", ""},
            {"0 9 * * 1,5", "Every Mon, Fri at 09:00", ""},
            {"0 0 * * 7", "Every Sun at 00:00", ""},
            {"0 0 22 * *", "Every 22nd of the month at 00:00", ""},
            {"0 0 11 * *", "Every 11th of the month at 00:00", ""},
            {"0 0 23 * *", "Every 23rd of the month at 00:00", ""},
            {"0 0 1 1 *", "Every 1st of Jan at 00:00", ""},
            {"0 12 13 * 0", "Every Sun, and every 13th of the month at 12:00", ""},
            {"0 12 1 6 2", "Every Tue of Jun, and every 1st of Jun at 12:00", ""},
            {"@reboot", "At system startup", ""},
            {"@yearly", "Every January 1st at 00:00", ""},
            {"@hourly", "Every hour at minute 00", ""},
            // Keywords in a crontab line mean what cron makes of them.
            {"@daily", "Every day at 00:00", ""},
            {"@midnight", "Every day at 00:00", ""},
            {"@weekly", "Every Sun at 00:00", ""},
            {"@monthly", "Every 1st of the month at 00:00", ""},
            {"@Daily", "Invalid", "cron refuses the line: it knows only @reboot"},
            {"0 0 * *", "Invalid", "five time fields"},
            {"0 0 * * * *", "Invalid", "five time fields"},
            // Steps in the minutes run several times an hour.
            {"*/15 * * * *", "Every 15 minutes", ""},
            {"5-55/10 * * * *", "Every 10 minutes from minute 05 to 55", ""},
            {"0-29/15 * * * *", "Every 15 minutes from minute 00 to 15", ""},
            {"*/7 * * * *", "Every 7 minutes from minute 00 to 56", ""},
            {"09,39 * * * *", "Every hour at minutes 09, 39", ""},
            {"0-29 * * * *", "Every minute from minute 00 to 29", ""},
            // Ranges, lists and names of any case, as cron reads them.
            {"0 8 * * 1-5", "Every Mon-Fri at 08:00", ""},
            {"0 8 * * mon-FRI", "Every Mon-Fri at 08:00", ""},
            {"0 0 * * SAT,sun", "Every Sat, Sun at 00:00", ""},
            {"0 0 * * */2", "Every Sun, Tue, Thu, Sat at 00:00", ""},
            {"0 0 * * 0-7", "Every day at 00:00", ""},
            {"0 0 * * 1-7", "Every day at 00:00", ""},
            {"0 0 * * 0-6", "Every day at 00:00", ""},
            {"0 0 * jan,jul sun", "Every Sun of Jan, Jul at 00:00", ""},
            {"0 12 * 6 *", "Every day in Jun at 12:00", ""},
            {"0 0 * FEB-apr *", "Every day in Feb-Apr at 00:00", ""},
            {"0 0 1 */3 *", "Every 1st of Jan, Apr, Jul, Oct at 00:00", ""},
            {"0 0 */2 * *", "Every 1st, 3rd, 5th, \u2026, 31st of the month at 00:00", ""},
            {"*/5 9-17 * * mon-fri", "Every 5 minutes, 09:00-17:55, Mon-Fri", ""},
            {"* 5,6 * * *", "Every minute, 05:00-05:59, 06:00-06:59", ""},
            {"0-29 9-17 * * *", "At minutes 00-29 of hours 09-17", ""},
            {"*/5 */6 * * *", "Every 5 minutes during hours 00, 06, 12, 18", ""},
            {"* * * * 1-5", "Every minute, Mon-Fri", ""},
            {"0 9-17 * * *", "Every hour from 09:00 to 17:00", ""},
            {"0 */2 * * *", "Every 2 hours at minute 00", ""},
            {"0 0-11/2 * * *", "Every 2 hours from 00:00 to 10:00", ""},
            {"0 8,12-14 * * *", "At minute 00 of hours 08, 12-14", ""},
            {"0,30 9 * * *", "Every day at 09:00, 09:30", ""},
            // Both day fields restricted: either may match. A '*' at the
            // start of one of them makes both have to.
            {"0 0 1,15 * 5", "Every Fri, and every 1st, 15th of the month at 00:00", ""},
            {"*/5 * 1,15 * 5", "Every 5 minutes, every Fri, and every 1st, 15th of the month", ""},
            {"0 0 1-31 * 1", "Every day at 00:00", ""},
            {"0 0 */2 * 1", "Every Mon that is the 1st, 3rd, 5th, \u2026, 31st of the month at 00:00", ""},
            // What cron skips, ignores or can never match.
            {"0 0 * 13 *", "Invalid", "13 is out of the month range 1-12"},
            {"0-60 * * * *", "Invalid", "0-60 is out of the minute range 0-59"},
            {"0 0 * 1-13 *", "Invalid", "1-13 is out of the month range 1-12"},
            {"0 0 * * 5-8", "Invalid", "5-8 is out of the day of the week range 0-7"},
            {"0 0 0 * *", "Invalid", "0 is out of the day of the month range 1-31"},
            {"0 0 * * -1", "Invalid", "-1 is not a day of the week it can read"},
            {"0 0 * * monday", "Invalid", "monday is not a day of the week"},
            {"0 0 * * 99999999999", "Invalid", "out of the day of the week range 0-7"},
            {"*/0 * * * *", "Invalid", "*/0 has no step"},
            // Cron counts by the step in an int; it refuses a step that wraps it.
            {"5-59/2147483647 * * * *", "Invalid", "5-59/2147483647 has a step too large"},
            {"0-59/2147483647 * * * *", "Every hour at minute 00", ""},
            {"* * */2147483647 * *", "Invalid", "step too large"},
            {"0 0 * * 0,7", "Every Sun at 00:00", ""},
            {"5/10 * * * *", "Invalid", "5/10 puts a step after a single value"},
            {"0 0 * * 0/1", "Invalid", "0/1 puts a step after a single value"},
            // What follows a complete list up to the next blank is ignored.
            {"* * * * 0-6#2", "Every minute", "cron reads only 0-6 of the day of the week field 0-6#2"},
            {"*# *# *# *# *", "Every minute", "cron reads only * of the month field *#"},
            {"*/5/2 * * * *", "Every 5 minutes", "cron reads only */5 of the minute field */5/2"},
            {"*\v5 * * * *", "Every minute", "cron reads only * of the minute field"},
            {"@daily#x", "Invalid", "it knows only @reboot"},
            {"0 0 * 0 *", "Invalid", "0 is out of the month range 1-12"},
            // Numbers are read as atoi reads them: cut to 32 bits, past the
            // range of a long -1.
            {"* * * * 4294967297", "Every minute, Mon", ""},
            {"* * * * */4294967297", "Every minute", ""},
            {"* * * * */2147483648", "Invalid", "has no step"},
            {"* * * * 18446744073709551617", "Invalid", "out of the day of the week range"},
            {"30-10 * * * *", "Never", "30-10 is an empty range"},
            {"0 0 * * fri-sun", "Never", "fri-sun is an empty range"},
            {"0 0 31-1 * 1", "Every Mon at 00:00", "31-1 is an empty range"},
            // A date no chosen month has never comes; Feb 29th does, in leap years.
            {"0 0 31 2 *", "Never: Feb has no 31st", ""},
            {"0 0 30 2 *", "Never: Feb has no 30th", ""},
            {"0 0 31 apr,6 *", "Never: Apr, Jun have no 31st", ""},
            {"0 0 29 2 *", "Every 29th of Feb at 00:00", ""},
            {"0 0 31 2 1", "Every Mon of Feb at 00:00", ""},
        };
        for (const auto& [schedule, text, note] : rows)
            QTest::newRow(schedule) << QString(schedule) << QString(text) << QString(note);
        // Cron reads a word of up to 999 letters and digits.
        QTest::newRow("minute of 999 digits") << QString(999, '0') + " * * * *"
                                              << "Every hour at minute 00"
                                              << "";
        QTest::newRow("minute of 1000 digits") << QString(1000, '0') + " * * * *"
                                               << "Invalid"
                                               << "is not a minute";
    }
    void scheduleToText() {
        QFETCH(QString, schedule);
        QFETCH(QString, text);
        QFETCH(QString, note);
        QCOMPARE(::scheduleToText(schedule), text);
        QCOMPARE(readSchedule(schedule).runs, !text.startsWith("Never") && text != "Invalid");
        DetailsCronJob job;
        job.schedule = schedule;
        const QString toolTip = jobScheduleToolTip(job);
        QVERIFY2(toolTip.startsWith(text + "\nSchedule: " + schedule), qPrintable(toolTip));
        QCOMPARE(toolTip.count('\n') > 1, !note.isEmpty());
        QVERIFY2(toolTip.contains(note), qPrintable(toolTip));
    }

    void parsesLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("systemFormat");
        QTest::addColumn<QStringList>("jobs"); // user|schedule|command
        using L = QStringList;
        QTest::newRow("personal") << QByteArray("  30 2 * * *   backup --all  \n") << false
                                  << L{"alice|30 2 * * *|backup --all"};
        QTest::newRow("system user field") << QByteArray("17 *\t* * *\troot\tcd / && run-parts x") << true
                                           << L{"root|17 * * * *|cd / && run-parts x"};
        QTest::newRow("comments and variables")
            << QByteArray("  # 0 0 * * * x\nPATH=/bin\nMAILTO = a@b\n") << false << L{};
        // Cron reads the list before a '#' in a field and runs the line.
        QTest::newRow("hash after a field's list, and in the command")
            << QByteArray("0#1 * * * * x\n0 1 * * * echo a # b\n") << false
            << L{"alice|0#1 * * * *|x", "alice|0 1 * * *|echo a # b"};
        QTest::newRow("too few words") << QByteArray("0 1 * * *\n0 1 * * * root\n") << true << L{};
        QTest::newRow("keyword, personal")
            << QByteArray("@reboot a b c d e f g\n") << false << L{"alice|@reboot|a b c d e f g"};
        QTest::newRow("keyword, system") << QByteArray("@daily root /usr/bin/x --y\n@hourly root\n") << true
                                         << L{"root|@daily|/usr/bin/x --y"};
        // A command ends at a NUL (cron reads "b" as a line of its own, and
        // refuses it); an over-long command is refused, and shown cut.
        QTest::newRow("NUL and over-long command")
            << QByteArray("0 1 * * * a\0b\n0 2 * * * ", 24) + QByteArray(5000, 'x') + "\n0 3 * * * ok\n"
            << false << L{"alice|0 1 * * *|a", "alice|0 2 * * *|" + QString(4096, 'x'), "alice|0 3 * * *|ok"};
        // The carriage return is part of the command cron runs.
        QTest::newRow("invalid UTF-8 and control bytes shown")
            << QByteArray("0 1 * * * caf\xe9 \x1b[2J\r\n") << false
            << L{QString("alice|0 1 * * *|caf") + QChar(0xfffd) + " " + QChar(0xfffd) + "[2J" +
                 QChar(0xfffd)};
    }
    void parsesLines() {
        QFETCH(QByteArray, text);
        QFETCH(bool, systemFormat);
        QFETCH(QStringList, jobs);
        QStringList parsed;
        for (const DetailsCronJob& job : CronParser::parseCrontab(text, source(systemFormat)))
            parsed << job.user + "|" + job.schedule + "|" + job.command;
        QCOMPARE(parsed, jobs);
    }

    // What Debian's cron (3.0pl1-162) did with each file, run on it: the
    // jobs it ran, and the files it ignored whole for one line it refused.
    // Each row: the Schedule column and command of every job, and the line
    // cron refused with a piece of why (empty when it read the file).
    void readsLinesAsCronDoes_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("systemFormat");
        QTest::addColumn<QStringList>("jobs");
        QTest::addColumn<QString>("refused");
        using L = QStringList;
        const QByteArray good = "* * * * * touch good\n";
        const QByteArray goodSystem = "* * * * * root touch good\n";
        const QString ignored1 = "Never: cron ignores this file (line 1)|touch good";
        QTest::newRow("hash after each field runs")
            << QByteArray("* * * * *# touch x\n* * * * 0-6#2 touch y\n*# * * * * a\n* *# * * * b\n"
                          "* * *# * * c\n* * * *# * d\n")
            << false << L{"Every minute|touch x", "Every minute|touch y", "Every minute|a",
                          "Every minute|b",       "Every minute|c",       "Every minute|d"}
            << "";
        QTest::newRow("hash after a field runs, system")
            << QByteArray("* * * * *# root touch x\n*#x * * * * root b\n") << true
            << L{"Every minute|touch x", "Every minute|b"} << "";
        QTest::newRow("hash in a keyword") << "@daily#x touch x\n" + good << false
                                           << L{"Invalid|touch x", ignored1} << "1: it knows only @reboot";
        QTest::newRow("minute 60, system") << "60 * * * * root touch x\n" + goodSystem << true
                                           << L{"Invalid|touch x", ignored1} << "1: 60 is out of the minute";
        QTest::newRow("four fields") << "* * * * touch x\n" + good << false << L{"Invalid|x", ignored1}
                                     << "1: touch is not a day of the week";
        QTest::newRow("unknown user")
            << "* * * * * nosuchuser touch x\n" + goodSystem << true << L{"Invalid|touch x", ignored1}
            << "1: it knows no account named nosuchuser";
        QTest::newRow("line ends at the user name") << "* * * * * root\n" + goodSystem << true << L{ignored1}
                                                    << "1: the line ends right after the user name root";
        QTest::newRow("no user name")
            << "* * * * *\n" + goodSystem << true << L{ignored1} << "1: no user name";
        QTest::newRow("setting with an open quote") << "FOO=\"unterminated\n" + good << false << L{ignored1}
                                                    << "1: it is neither a setting (NAME=value) nor a job";
        QTest::newRow("setting without a value") << "MAILTO=\n" + good << false << L{ignored1}
                                                 << "1: it is no setting (an empty value is written \"\")";
        QTest::newRow("blank in a name")
            << "a b=c\n" + good << false << L{ignored1}
            << "1: it is neither a setting (NAME=value) nor a job: a is not a minute";
        QTest::newRow("command of 998 bytes") << "* * * * * " + QByteArray(998, 'x') + "\n"
                                              << false << L{"Every minute|" + QString(998, 'x')} << "";
        QTest::newRow("command of 999 bytes")
            << "* * * * * " + QByteArray(999, 'x') + "\n" + good << false
            << L{"Invalid|" + QString(999, 'x'), ignored1} << "1: its command is longer than 998 bytes";
        QTest::newRow("last line without a newline")
            << good + "* * * * * touch x" << false
            << L{"Never: cron ignores this file (line 2)|touch good", "Invalid|touch x"}
            << "2: the file's last line has no newline";
        QTest::newRow("last comment without a newline")
            << good + "# x" << false << L{"Every minute|touch good"} << "";
        QTest::newRow("a CRLF blank line") << good + "\r\n"
                                           << false << L{"Never: cron ignores this file (line 2)|touch good"}
                                           << "2: it holds only blanks cron does not skip";
        QTest::newRow("NUL starts another line")
            << QByteArray("* * * * * touch A\0* * * * * touch B\n", 36) << false
            << L{"Every minute|touch A", "Every minute|touch B"} << "";
        QTest::newRow("empty commands run")
            << QByteArray("* * * * *\n@daily \n") << false << L{"Every minute|", "Every day at 00:00|"} << "";
        QTest::newRow("empty command, system") << QByteArray("* * * * * root \n@daily root\t\n") << true
                                               << L{"Every minute|", "Every day at 00:00|"} << "";
        QTest::newRow("settings") << "my-var=1\n=x\n  FOO  =  bar  \nFOO=\"a b\" \n'A'='b'\nMAILTO=\"\"\n" +
                                         good
                                  << false << L{"Every minute|touch good"} << "";
        QTest::newRow("empty range") << "* * * * 5-1 touch x\n" + good << false
                                     << L{"Never|touch x", "Every minute|touch good"} << "";
        // A NUL ends the last line as a newline would.
        QTest::newRow("NUL at the end of the file")
            << good + QByteArray("0 0 1 1 * touch y\0", 18) << false
            << L{"Every minute|touch good", "Every 1st of Jan at 00:00|touch y"} << "";
        QTest::newRow("NUL and a word at the end of the file")
            << good + QByteArray("0 0 1 1 * touch y\0z", 19) << false
            << L{"Never: cron ignores this file (line 2)|touch good",
                 "Never: cron ignores this file (line 2)|touch y"}
            << "2: the file's last line has no newline";
        QTest::newRow("NUL after the last field at the end of the file")
            << good + QByteArray("* * * * *\0", 10) << false
            << L{"Never: cron ignores this file (line 2)|touch good"}
            << "2: the file ends in its day of the week field";
        QTest::newRow("NUL after the user name at the end of the file")
            << goodSystem + QByteArray("* * * * * root\0x", 16) << true
            << L{"Never: cron ignores this file (line 2)|touch good", "Invalid|x"}
            << "2: the file ends in its command";
        // Cron skips one blank after the user name; the others are the command's.
        QTest::newRow("two blanks and 997 bytes after the user name")
            << "@daily root  " + QByteArray(997, 'x') + "\n"
            << true << L{"Every day at 00:00|" + QString(997, 'x')} << "";
        QTest::newRow("two blanks and 998 bytes after the user name")
            << "@daily root  " + QByteArray(998, 'x') + "\n" + goodSystem << true
            << L{"Invalid|" + QString(998, 'x'), ignored1} << "1: its command is longer than 998 bytes";
        QTest::newRow("tab and blank before a personal command")
            << "* * * * *\t " + QByteArray(998, 'x') + "\n"
            << false << L{"Every minute|" + QString(998, 'x')} << "";
        // Names end at a NUL: the user name, and a keyword.
        QTest::newRow("NUL after the user name")
            << QByteArray("* * * * * root\0touch x\n", 23) + goodSystem << true
            << L{"Every minute|touch x", "Every minute|touch good"} << "";
        QTest::newRow("NUL after a keyword") << QByteArray("@daily\0\n", 8) + good << false
                                             << L{"Every day at 00:00|", "Every minute|touch good"} << "";
        QTest::newRow("command begins with a star")
            << "* * * * * * touch x\n" + good << false << L{"Invalid|* touch x", ignored1}
            << "1: its command begins with *";
        QTest::newRow("command begins with a star, system")
            << QByteArray("* * * * * root *x\n") << true << L{"Every minute|*x"} << "";
        // The byte 0xff right after a time field or a value is the end of the file to cron.
        QTest::newRow("0xff begins the command")
            << "* * * * * \xfftouch x\n" + good << false << L{"Invalid|\xef\xbf\xbdtouch x", ignored1}
            << "1: the byte 0xff right after the day of the week field";
        QTest::newRow("0xff after a value")
            << "*/5\xff * * * * touch x\n" + good << false << L{"Invalid|touch x", ignored1}
            << "1: the byte 0xff right after the minute field";
        QTest::newRow("0xff after junk")
            << QByteArray("*#\xff * * * * touch x\n") << false << L{"Every minute|touch x"} << "";
        // Cron reads no more than 998 bytes of a setting, nor more than
        // 10,000 lines, nor a byte order mark as anything but bytes.
        QTest::newRow("setting longer than 998 bytes")
            << "A=\"" + QByteArray(995, 'v') + "\"\n" + good << false << L{ignored1}
            << "1: it is neither a setting (NAME=value) nor a job";
        QTest::newRow("job on line 10,004")
            << good + QByteArray(10002, '\n') + "* * * * * touch x\n"
            << false << L{"Never: cron ignores this file (line 10004)|touch good", "Invalid|touch x"}
            << "10004: cron reads no more than 10,000 lines";
        QTest::newRow("byte order mark") << "\xef\xbb\xbf" + good << false << L{"Invalid|touch good"}
                                         << "1: \xef\xbb\xbf* is not a minute";
    }
    void readsLinesAsCronDoes() {
        QFETCH(QByteArray, text);
        QFETCH(bool, systemFormat);
        QFETCH(QStringList, jobs);
        QFETCH(QString, refused);
        const QList<DetailsCronJob> parsed = CronParser::parseCrontab(text, source(systemFormat));
        QStringList shown;
        for (const DetailsCronJob& job : parsed) {
            shown << jobScheduleText(job) + "|" + job.command;
            QCOMPARE(job.fileIgnored, !refused.isEmpty());
            QCOMPARE(job.status, QString(job.fileIgnored ? "Not run" : "Active"));
            QVERIFY(CronParser::cronRunsLine(job) == (shown.last().startsWith("Every")));
            if (job.fileIgnored) {
                const QString why = QString::number(job.ignoredForLine) + ": " + job.fileIgnoredWhy;
                QVERIFY2(why.startsWith(refused), qPrintable(why));
                QVERIFY2(jobScheduleToolTip(job).contains(job.location), qPrintable(jobScheduleToolTip(job)));
            }
        }
        QCOMPARE(shown, jobs);
    }

    // The owners, modes and links cron trusts (root is uid 0 here, the
    // account uid 1000); each row as cron took or ignored such a file.
    void trustsFilesAsCronDoes_data() {
        QTest::addColumn<bool>("systemFormat");
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<int>("links");
        QTest::addColumn<int>("linkOwner"); // -1: no link
        QTest::addColumn<QString>("why");
        QTest::newRow("system 0755, 0600, 02644") << true << 0u << 02755u << 1 << -1 << "";
        QTest::newRow("system group-writable")
            << true << 0u << 0664u << 1 << -1 << "group or others may write";
        QTest::newRow("system of an account") << true << 1000u << 0644u << 1 << -1 << "uid 1000, not to root";
        QTest::newRow("system, two links") << true << 0u << 0644u << 2 << -1 << "2 hard links";
        QTest::newRow("system through root's link") << true << 0u << 0644u << 1 << 0 << "";
        QTest::newRow("system through another's link") << true << 0u << 0644u << 1 << 1000 << "symbolic link";
        QTest::newRow("personal 0600") << false << 1000u << 0600u << 1 << -1 << "";
        QTest::newRow("personal of root") << false << 0u << 0600u << 1 << -1 << "";
        QTest::newRow("personal of another") << false << 1001u << 0600u << 1 << -1 << "not to its account";
        QTest::newRow("personal 0400") << false << 1000u << 0400u << 1 << -1 << "mode is 0400";
        QTest::newRow("personal 04600") << false << 1000u << 04600u << 1 << -1 << "mode is 4600";
        QTest::newRow("personal, two links") << false << 1000u << 0600u << 2 << -1 << "2 hard links";
    }
    void trustsFilesAsCronDoes() {
        QFETCH(bool, systemFormat);
        QFETCH(uint, owner);
        QFETCH(uint, mode);
        QFETCH(int, links);
        QFETCH(int, linkOwner);
        QFETCH(QString, why);
        CronParser::CrontabFileStatus status;
        status.owner = owner;
        status.mode = mode;
        status.links = quint64(links);
        status.throughLink = linkOwner >= 0;
        status.linkOwner = uint(qMax(0, linkOwner));
        const QString said = CronParser::whyCronIgnoresFile(status, systemFormat, 0, 1000u);
        QVERIFY2(why.isEmpty() ? said.isEmpty() : said.contains(why), qPrintable(said));
    }

    void accountNames() {
        QStringList names;
        for (const CronParser::Account& account :
             CronParser::readAccounts("root:x:0:0::/root:/bin/sh\n../x:x:1:1::/:/bin/sh\n..\n:x:2\n"
                                      "bob\nroot:x:0:0::/root:/bin/sh\n"))
            names << account.name;
        QCOMPARE(names, QStringList({"root", "bob"}));
    }

    // The whole collection over a fixture tree, in the page's order.
    void collectsFixtureTree() {
        // Git keeps no modes but the executable bit; cron wants personal
        // crontabs to have 0600.
        QTemporaryDir root;
        QVERIFY(TestSupport::copyCronFixture("cron/root", root.path()));
        SystemPaths::setRootPrefix(root.path());
        const QString run = "test -x /usr/sbin/anacron || { cd / && run-parts --report /etc/cron.";
        const QString sa1 = "command -v debian-sa1 > /dev/null && debian-sa1 ";
        const QStringList expected = {
            "crontab|root|17 * * * *|cd / && run-parts --report /etc/cron.hourly|System|/etc/crontab",
            "crontab|root|25 6 * * *|" + run + "daily; }|System|/etc/crontab",
            "crontab|root|47 6 * * 7|" + run + "weekly; }|System|/etc/crontab",
            "crontab|root|52 6 1 * *|" + run + "monthly; }|System|/etc/crontab",
            "e2scrub_all|root|30 3 * * 0|test -e /run/systemd/system || SERVICE_MODE=1 "
            "/usr/lib/x86_64-linux-gnu/e2fsprogs/e2scrub_all_cron|System|/etc/cron.d/e2scrub_all",
            "e2scrub_all|root|10 3 * * *|test -e /run/systemd/system || SERVICE_MODE=1 /sbin/e2scrub_all -A "
            "-r|System|/etc/cron.d/e2scrub_all",
            "php|root|09,39 * * * *|[ -x /usr/lib/php/sessionclean ] && if [ ! -d /run/systemd/system ]; "
            "then "
            "/usr/lib/php/sessionclean; fi|System|/etc/cron.d/php",
            "php|root|@reboot|/usr/lib/php/sessionclean --all|System|/etc/cron.d/php",
            "sysstat|root|5-55/10 * * * *|" + sa1 + "1 1|System|/etc/cron.d/sysstat",
            "sysstat|root|59 23 * * *|" + sa1 + "60 2|System|/etc/cron.d/sysstat",
            "apt-compat|root|25 6 * * *|Custom script file|System|/etc/cron.daily/apt-compat",
            "dpkg|root|25 6 * * *|Custom script file|System|/etc/cron.daily/dpkg",
            "man-db|root|47 6 * * 7|Custom script file|System|/etc/cron.weekly/man-db",
            "root|root|30 2 * * *|/usr/local/sbin/backup --full|User|/var/spool/cron/crontabs/root",
            "alice|alice|*/15 * * * *|/home/alice/bin/sync-notes.sh > /dev/null 2>&1   # keep notes in "
            "step|User|/var/spool/cron/crontabs/alice",
            "alice|alice|@reboot|/home/alice/bin/start-agent --quiet --log /tmp/agent.log --retry 5 --wait "
            "10|User|/var/spool/cron/crontabs/alice",
            "alice|alice|0 0 * * -1|/home/alice/bin/never-valid|User|/var/spool/cron/crontabs/alice",
            "alice|alice|0 9 * * 1,5|echo \"standup\" | wall|User|/var/spool/cron/crontabs/alice",
        };
        const QList<DetailsCronJob> jobs = WorkerCronJobs::collectCronJobs();
        QCOMPARE(describeJobs(jobs), expected);
        QCOMPARE(jobScheduleToolTip(jobs.at(11)),
                 QString("Every day at 06:25\nSchedule: 25 6 * * *, the line of /etc/crontab that runs "
                         "/etc/cron.daily"));
        // cron refuses alice's day of the week -1, and with it her whole crontab.
        QStringList alice;
        for (const DetailsCronJob& job : jobs.mid(14))
            alice << jobScheduleText(job);
        QCOMPARE(alice, QStringList({"Never: cron ignores this file (line 8)",
                                     "Never: cron ignores this file (line 8)", "Invalid",
                                     "Never: cron ignores this file (line 8)"}));
        QCOMPARE(jobScheduleText(jobs.at(13)), QString("Every day at 02:30"));
    }

    // Cron ignores a crontab whose mode it does not trust; the read goes by
    // the file's own stat.
    void ignoresFilesByMode() {
        QTemporaryDir root;
        QVERIFY(writeFile(root, "etc/passwd", "root:x:0:0::/root:/bin/sh\nplain:x:3:3::/:/bin/sh\n"));
        QVERIFY(writeFile(root, "etc/cron.d/shared", "0 0 * * * root shared\n"));
        QVERIFY(writeFile(root, "var/spool/cron/crontabs/plain", "0 0 * * * mine\n"));
        QVERIFY(QFile::setPermissions(root.filePath("etc/cron.d/shared"), QFileDevice::ReadOwner |
                                                                              QFileDevice::WriteOwner |
                                                                              QFileDevice::WriteGroup));
        SystemPaths::setRootPrefix(root.path());
        QList<DetailsCronJob> jobs = WorkerCronJobs::collectCronJobs();
        QCOMPARE(jobs.size(), 2);
        QCOMPARE(jobScheduleText(jobs.at(0)), QString("Never: cron ignores this file"));
        QVERIFY(jobScheduleToolTip(jobs.at(0)).endsWith("group or others may write to it (mode 0620)"));
        QVERIFY2(jobScheduleToolTip(jobs.at(1)).contains("its mode is 0644"),
                 qPrintable(jobScheduleToolTip(jobs.at(1))));

        QVERIFY(QFile::setPermissions(root.filePath("var/spool/cron/crontabs/plain"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        jobs = WorkerCronJobs::collectCronJobs();
        QCOMPARE(jobScheduleText(jobs.at(1)), QString("Every day at 00:00"));
    }

    // The scripts of the periodic folders run when the line that runs their
    // folder says; one sentence per folder: hourly, daily, weekly, monthly.
    void periodicFolders_data() {
        QTest::addColumn<QByteArray>("crontab");
        QTest::addColumn<QByteArray>("cronD");
        QTest::addColumn<bool>("anacron");
        QTest::addColumn<QByteArray>("anacrontab");
        QTest::addColumn<QStringList>("sentences");
        const auto notRun = [](const char* period) {
            return QStringLiteral("Not run: no crontab line runs /etc/cron.") + period;
        };
        QTest::newRow("stock, without anacron")
            << stockCrontab << QByteArray() << false << stockAnacrontab
            << QStringList{"Every hour at minute 17", "Every day at 06:25", "Every Sun at 06:47",
                           "Every 1st of the month at 06:52"};
        QTest::newRow("stock, with anacron")
            << stockCrontab << QByteArray() << true << stockAnacrontab
            << QStringList{"Every hour at minute 17", "Once a day, by anacron", "Once a week, by anacron",
                           "Once a month, by anacron"};
        QTest::newRow("anacron without its table")
            << stockCrontab << QByteArray() << true << QByteArray()
            << QStringList{"Every hour at minute 17", notRun("daily"), notRun("weekly"), notRun("monthly")};
        QTest::newRow("no line") << QByteArray("SHELL=/bin/sh\n") << QByteArray() << false << QByteArray()
                                 << QStringList{notRun("hourly"), notRun("daily"), notRun("weekly"),
                                                notRun("monthly")};
        QTest::newRow("keyword, cron.d, options; lines that never run them")
            << QByteArray("@daily root run-parts /etc/cron.daily/\n"
                          "5 * * * * root echo run-parts /etc/cron.hourly\n"
                          "0 1 31 2 * root run-parts /etc/cron.monthly\n")
            << QByteArray("0 3 * * 0 root /bin/run-parts -v --umask 022 -- '/etc/cron.weekly'\n") << false
            << QByteArray()
            << QStringList{notRun("hourly"), "Every day at 00:00", "Every Sun at 03:00", notRun("monthly")};
        // Cron ignores the whole system crontab for one line, with the lines
        // that run the folders.
        QTest::newRow("system crontab ignored")
            << stockCrontab + "60 * * * * root x\n"
            << QByteArray() << false << QByteArray()
            << QStringList{notRun("hourly"), notRun("daily"), notRun("weekly"), notRun("monthly")};
    }
    void periodicFolders() {
        QFETCH(QByteArray, crontab);
        QFETCH(QByteArray, cronD);
        QFETCH(bool, anacron);
        QFETCH(QByteArray, anacrontab);
        QFETCH(QStringList, sentences);
        QTemporaryDir root;
        QVERIFY(writeFile(root, "etc/passwd", "root:x:0:0::/root:/bin/sh\n"));
        QVERIFY(writeFile(root, "etc/crontab", crontab));
        QVERIFY(cronD.isEmpty() || writeFile(root, "etc/cron.d/local", cronD));
        for (const char* period : {"hourly", "daily", "weekly", "monthly"})
            QVERIFY(writeFile(root, QString("etc/cron.%1/job").arg(period), "#!/bin/sh\n", true));
        QVERIFY(!anacron || writeFile(root, "usr/sbin/anacron", "#!/bin/sh\n", true));
        QVERIFY(anacrontab.isEmpty() || writeFile(root, "etc/anacrontab", anacrontab));

        SystemPaths::setRootPrefix(root.path());
        QStringList shown;
        for (const DetailsCronJob& job : WorkerCronJobs::collectCronJobs()) {
            if (job.origin != DetailsCronJob::Origin::CrontabLine)
                shown << jobScheduleText(job);
        }
        QCOMPARE(shown, sentences);
    }

    // anacron's settings, written with or without blanks round the '=', and
    // lines whose period it cannot read are no jobs.
    void anacrontabSettingsAreNoJobs() {
        const QByteArray table = "START_HOURS_RANGE=3-22\n"
                                 "MAILTO = root ops admin x\n"
                                 "RANDOM_DELAY = 45 minutes or so\n"
                                 "0\t5\tnever\trun-parts /etc/cron.never\n"
                                 "weekly\t5\tcron.x\trun-parts /etc/cron.x\n" +
                                 stockAnacrontab;
        QStringList read;
        for (const CronParser::AnacronLine& line : CronParser::parseAnacrontab(table))
            read << line.period + " " + line.command;
        QCOMPARE(read,
                 (QStringList{"1 run-parts --report /etc/cron.daily", "7 run-parts --report /etc/cron.weekly",
                              "@monthly run-parts --report /etc/cron.monthly"}));
    }

    // A personal crontab that is a link or a FIFO is neither followed nor
    // waited on: the collection finishes without it.
    void spoolLinksAndFifosAreNotRead() {
        QTemporaryDir root;
        QVERIFY(writeFile(root, "etc/passwd",
                          "linked:x:1:1::/:/bin/sh\npiped:x:2:2::/:/bin/sh\nplain:x:3:3::/:/bin/sh\n"));
        QVERIFY(writeFile(root, "etc/secret", "0 0 * * * leaked\n"));
        QVERIFY(writeFile(root, "var/spool/cron/crontabs/plain", "0 0 * * * shown\n"));
        const QString spool = root.filePath("var/spool/cron/crontabs/");
        QVERIFY(QFile::link(root.filePath("etc/secret"), spool + "linked"));
        QCOMPARE(::mkfifo(QFile::encodeName(spool + "piped").constData(), 0600), 0);

        SystemPaths::setRootPrefix(root.path());
        QCOMPARE(describeJobs(WorkerCronJobs::collectCronJobs()),
                 QStringList({"plain|plain|0 0 * * *|shown|User|/var/spool/cron/crontabs/plain"}));
    }

    // A crontab past the size limit is shown up to the last whole line: the
    // job the limit cuts is not shown with its command cut short.
    void oversizedCrontabEndsAtAWholeLine() {
        QTemporaryDir root;
        QVERIFY(writeFile(root, "etc/passwd", "plain:x:3:3::/:/bin/sh\n"));
        QByteArray text = "0 0 * * * first\n";
        const int cutAt = int(WorkerCronJobs::maxCrontabBytes) - 20;
        while (text.size() < cutAt)
            text += QByteArray(qMin(99, cutAt - text.size() - 1), '#') + '\n';
        text += "0 1 * * * rm -rf /home/plain/cache\n";
        QVERIFY(writeFile(root, "var/spool/cron/crontabs/plain", text));
        SystemPaths::setRootPrefix(root.path());
        QCOMPARE(describeJobs(WorkerCronJobs::collectCronJobs()),
                 QStringList({"plain|plain|0 0 * * *|first|User|/var/spool/cron/crontabs/plain"}));
    }
};

QTEST_MAIN(TestCronJobs)
#include "tst_cronjobs.moc"
