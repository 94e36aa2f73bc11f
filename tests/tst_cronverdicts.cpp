#include "cronjobtext.h"
#include "cronparser.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

// What Debian's cron did with each crontab of tests/data/cron-verdicts, run
// on them by scripts/cron-verdicts: the parser must read each file as cron
// did, or ignore it for the same line and the same kind of fault, and run
// the jobs cron ran.
namespace {

const QString folder = QStringLiteral(TESSMAR_TEST_DATA "/cron-verdicts/");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The job tags (FILE.N) in a command; the corpus puts one in each.
QString tagIn(const QString& command) {
    static const QRegularExpression tag(QStringLiteral("\\b[sp]\\d{4}\\.\\d+\\b"));
    return tag.match(command).captured();
}

// Cron's words for why it ignores a file, beside words of the parser's
// reason for the same fault.
bool sameFault(const QString& cronSaid, const QString& why) {
    static const std::pair<const char*, const char*> faults[] = {
        {"bad minute", "minute|only blanks"},
        {"bad hour", "hour"},
        {"bad day-of-month", "day of the month"},
        {"bad month", "(?<!day of the )month"},
        {"bad day-of-week", "day of the week"},
        {"bad time specifier", "knows only @"},
        {"bad username", "no account|user name"},
        {"bad command", "begins with \\*|file ends|user name"},
        {"command too long", "longer than 998 bytes"},
        {"Missing newline before EOF", "no newline"},
        {"crontab must not be longer than 10000 lines", "10,000 lines"},
        {"INSECURE MODE.*", "mode"},
        {"WRONG FILE OWNER", "belongs to"},
        {"NUMBER OF HARD LINKS > 1", "hard links"},
    };
    for (const auto& [words, reason] : faults) {
        if (QRegularExpression(QStringLiteral("^%1$").arg(QLatin1String(words))).match(cronSaid).hasMatch())
            return QRegularExpression(QLatin1String(reason)).match(why).hasMatch();
    }
    return false;
}

} // namespace

class TestCronVerdicts : public QObject {
    Q_OBJECT
private slots:
    void readsAsCronDid_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<int>("links");
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<int>("line"); // 0: not known
        QTest::addColumn<QString>("cronSaid");
        QTest::addColumn<QStringList>("ran");
        const QList<QByteArray> rows = readAll(folder + "verdicts").split('\n');
        int count = 0;
        for (const QByteArray& row : rows) {
            if (row.isEmpty() || row.startsWith('#'))
                continue;
            const QStringList cells = QString::fromUtf8(row).split('\t');
            QCOMPARE(cells.size(), 9);
            const QString ran = cells.at(7) == "-" ? QString() : cells.at(7);
            QTest::newRow(qPrintable(cells.at(0) + ": " + cells.at(8)))
                << cells.at(0) << cells.at(1) << cells.at(2).toUInt(nullptr, 8) << cells.at(3).toInt()
                << (cells.at(4) == "ignored") << cells.at(5).toInt() << cells.at(6)
                << ran.split(' ', Qt::SkipEmptyParts);
            ++count;
        }
        // The corpus is there and whole.
        QVERIFY2(count > 1000, qPrintable(QString::number(count)));
    }

    void readsAsCronDid() {
        QFETCH(QString, path);
        QFETCH(QString, owner);
        QFETCH(uint, mode);
        QFETCH(int, links);
        QFETCH(bool, ignored);
        QFETCH(int, line);
        QFETCH(QString, cronSaid);
        QFETCH(QStringList, ran);

        static const QList<CronParser::Account> accounts =
            CronParser::readAccounts(readAll(folder + "passwd"));
        QHash<QString, uint> uids;
        for (const CronParser::Account& account : accounts)
            uids.insert(account.name, account.uid.value_or(0));

        const bool system = path.startsWith("system/");
        const QString name = path.mid(path.indexOf('/') + 1);
        CronParser::CrontabSource source;
        source.location = (system ? "/etc/cron.d/" : "/var/spool/cron/crontabs/") + name;
        source.systemFormat = system;
        source.owner = name;
        source.isAccount = [&](const QString& user) { return uids.contains(user); };
        QList<DetailsCronJob> jobs = CronParser::parseCrontab(readAll(folder + path), source);
        // Every file of the corpus has a job that shows how cron took it.
        QVERIFY(!jobs.isEmpty());

        CronParser::CrontabFileStatus status;
        status.owner = uids.value(owner);
        status.mode = mode;
        status.links = quint64(links);
        const QString distrust = CronParser::whyCronIgnoresFile(
            status, system, 0, system ? std::nullopt : std::optional<uint>(uids.value(name)));
        if (!distrust.isEmpty())
            CronParser::markFileIgnored(jobs, 0, distrust);

        const DetailsCronJob& first = jobs.first();
        QVERIFY2(first.fileIgnored == ignored,
                 qPrintable(QString("cron: %1; parser: %2 %3")
                                .arg(cronSaid, QString::number(first.ignoredForLine), first.fileIgnoredWhy)));
        if (ignored) {
            QVERIFY2(sameFault(cronSaid, first.fileIgnoredWhy), qPrintable(first.fileIgnoredWhy));
            if (line > 0)
                QCOMPARE(first.ignoredForLine, line);
        }

        // The jobs cron ran are jobs the parser runs; and a file cron read
        // ran every job the parser runs every minute or at start.
        QSet<QString> running;
        for (const DetailsCronJob& job : jobs) {
            const QString tag = tagIn(job.command);
            if (tag.isEmpty())
                continue;
            const QString sentence = jobScheduleText(job);
            if (CronParser::cronRunsLine(job))
                running.insert(tag);
            if (sentence == "Every minute" || sentence == "At system startup")
                QVERIFY2(ran.contains(tag), qPrintable(tag + " did not run"));
        }
        for (const QString& tag : ran)
            QVERIFY2(running.contains(tag), qPrintable(tag + " ran"));
    }
};

QTEST_GUILESS_MAIN(TestCronVerdicts)
#include "tst_cronverdicts.moc"
