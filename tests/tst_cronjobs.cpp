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
} // namespace

// Scheduled jobs: the English schedule sentences, crontab lines written by
// other accounts, and the collection over a fixture tree.
class TestCronJobs : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SystemPaths::setRootPrefix(QString()); }

    void scheduleToText_data() {
        QTest::addColumn<QString>("schedule");
        QTest::addColumn<QString>("text");
        const char* const rows[][2] = {
            {"* * * * *", "Every minute"},
            {"5 * * * *", "Every hour at minute 05"},
            {"*/15 * * * *", "Every hour at minute */15"},
            {"30 2 * * *", "Every day at 02:30"},
            {"* 5 * * *", "Every day at 05:*"},
            {"0 9 * * 1,5", "Every Mon, Fri at 09:00"},
            {"0 0 * * 7", "Every Sun at 00:00"},
            {"0 0 22 * *", "Every 22nd of the month at 00:00"},
            {"0 0 11 * *", "Every 11th of the month at 00:00"},
            {"0 0 1 * *", "Every 1st of the month at 00:00"},
            {"0 0 23 * *", "Every 23rd of the month at 00:00"},
            {"0 0 12 * *", "Every 12th of the month at 00:00"},
            {"0 0 */2 * *", "Every */2nd of the month at 00:00"},
            {"0 0 1 1 *", "Every 1st of Jan at 00:00"},
            {"0 12 * 6 *", "Every Jun at 12:00"},
            {"0 12 13 * 0", "Every Sun and 13th at 12:00"},
            {"0 12 1 6 2", "Every Tue and 1st of Jun at 12:00"},
            {"0 8 * * 1-5", "Every  at 08:00"},
            {"0 0 * 13 *", "Every  at 00:00"},
            {"0 0 * *", "Invalid"},
            {"0 0 * * * *", "Invalid"},
            {"  30   2 * *\t* ", "Every day at 02:30"},
            {"0 0 * * -1", "Every  at 00:00"},
            {"0 0 * * -1,3", "Every Wed at 00:00"},
            {"0 0 * * 99999999999", "Every  at 00:00"},
            {"@reboot", "At system startup"},
            {"@daily", "Every day at 06:25"},
            {"@Daily", "Custom schedule"},
        };
        for (const auto& [schedule, text] : rows)
            QTest::newRow(schedule) << QString(schedule) << QString(text);
    }
    void scheduleToText() {
        QFETCH(QString, schedule);
        QFETCH(QString, text);
        QCOMPARE(::scheduleToText(schedule), text);
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
        QTest::newRow("hash in a field, not in the command")
            << QByteArray("0#1 * * * * x\n0 1 * * * echo a # b\n") << false
            << L{"alice|0 1 * * *|echo a # b"};
        QTest::newRow("too few words") << QByteArray("0 1 * * *\n0 1 * * * root\n") << true << L{};
        QTest::newRow("keyword, personal")
            << QByteArray("@reboot a b c d e f g\n") << false << L{"alice|@reboot|a b c d e f g"};
        QTest::newRow("keyword, system") << QByteArray("@daily root /usr/bin/x --y\n@hourly root\n") << true
                                         << L{"root|@daily|/usr/bin/x --y"};
        QTest::newRow("binary and over-long lines skipped")
            << QByteArray("0 1 * * * a\0b\n0 2 * * * ", 22) + QByteArray(5000, 'x') + "\n0 3 * * * ok\n"
            << false << L{"alice|0 3 * * *|ok"};
        QTest::newRow("invalid UTF-8 and control bytes shown")
            << QByteArray("0 1 * * * caf\xe9 \x1b[2J\r\n") << false
            << L{QString("alice|0 1 * * *|caf") + QChar(0xfffd) + " " + QChar(0xfffd) + "[2J"};
    }
    void parsesLines() {
        QFETCH(QByteArray, text);
        QFETCH(bool, systemFormat);
        QFETCH(QStringList, jobs);
        QStringList parsed;
        for (const DetailsCronJob& job : CronParser::parseCrontab(text, "/x/alice", "alice", systemFormat))
            parsed << job.user + "|" + job.schedule + "|" + job.command;
        QCOMPARE(parsed, jobs);
    }

    void accountNames() {
        QCOMPARE(CronParser::accountNames("root:x:0:0::/root:/bin/sh\n../x:x:1:1::/:/bin/sh\n..\n:x:2\n"
                                          "bob\nroot:x:0:0::/root:/bin/sh\n"),
                 QStringList({"root", "bob"}));
    }

    // The whole collection over a fixture tree, in the page's order.
    void collectsFixtureTree() {
        SystemPaths::setRootPrefix(TestSupport::testDataPath("cron/root"));
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
            "apt-compat|root|@daily|Custom script file|System|/etc/cron.daily/apt-compat",
            "dpkg|root|@daily|Custom script file|System|/etc/cron.daily/dpkg",
            "man-db|root|@weekly|Custom script file|System|/etc/cron.weekly/man-db",
            "root|root|30 2 * * *|/usr/local/sbin/backup --full|User|/var/spool/cron/crontabs/root",
            "alice|alice|*/15 * * * *|/home/alice/bin/sync-notes.sh > /dev/null 2>&1   # keep notes in "
            "step|User|/var/spool/cron/crontabs/alice",
            "alice|alice|@reboot|/home/alice/bin/start-agent --quiet --log /tmp/agent.log --retry 5 --wait "
            "10|User|/var/spool/cron/crontabs/alice",
            "alice|alice|0 0 * * -1|/home/alice/bin/never-valid|User|/var/spool/cron/crontabs/alice",
            "alice|alice|0 9 * * 1,5|echo \"standup\" | wall|User|/var/spool/cron/crontabs/alice",
        };
        QCOMPARE(describeJobs(WorkerCronJobs::collectCronJobs()), expected);
    }

    // A personal crontab that is a link or a FIFO is neither followed nor
    // waited on: the collection finishes without it.
    void spoolLinksAndFifosAreNotRead() {
        QTemporaryDir root;
        const auto put = [&](const QString& relative, const QByteArray& text) {
            QDir().mkpath(QFileInfo(root.filePath(relative)).absolutePath());
            QFile file(root.filePath(relative));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        };
        put("etc/passwd", "linked:x:1:1::/:/bin/sh\npiped:x:2:2::/:/bin/sh\nplain:x:3:3::/:/bin/sh\n");
        put("etc/secret", "0 0 * * * leaked\n");
        put("var/spool/cron/crontabs/plain", "0 0 * * * shown\n");
        const QString spool = root.filePath("var/spool/cron/crontabs/");
        QVERIFY(QFile::link(root.filePath("etc/secret"), spool + "linked"));
        QCOMPARE(::mkfifo(QFile::encodeName(spool + "piped").constData(), 0600), 0);

        SystemPaths::setRootPrefix(root.path());
        QCOMPARE(describeJobs(WorkerCronJobs::collectCronJobs()),
                 QStringList({"plain|plain|0 0 * * *|shown|User|/var/spool/cron/crontabs/plain"}));
    }
};

QTEST_MAIN(TestCronJobs)
#include "tst_cronjobs.moc"
