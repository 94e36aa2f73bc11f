#include "commandrunner.h"
#include "logfilereader.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerlogs.h"

#include <QtTest>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utmp.h>

namespace {
void appendLogin(QByteArray& file, short type, const char* user, const char* line, const QDateTime& when,
                 pid_t pid) {
    struct utmp entry;
    std::memset(&entry, 0, sizeof entry);
    entry.ut_type = type;
    entry.ut_pid = pid;
    std::strncpy(entry.ut_line, line, sizeof entry.ut_line);
    std::strncpy(entry.ut_user, user, sizeof entry.ut_user);
    entry.ut_tv.tv_sec = int32_t(when.toSecsSinceEpoch());
    file.append(reinterpret_cast<const char*>(&entry), sizeof entry);
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QByteArray printsFixture(const QString& fixture) {
    return "#!/bin/sh\ncat '" + TestSupport::testDataPath("logs/" + fixture).toUtf8() + "'\n";
}

// The lines a read hands over, joined with "/".
struct ReadLines {
    LogFileReader::Result result;
    QStringList lines;
};
ReadLines readLines(const QString& path, qint64 maxLines, qint64 maxBytes) {
    ReadLines read;
    LogFileReader::Limits limits;
    limits.maxLines = maxLines;
    limits.maxBytes = maxBytes;
    read.result = LogFileReader::read(
        path, limits, nullptr,
        [&](const char* line, int size) { read.lines << QString::fromUtf8(line, size).left(20); }, nullptr);
    return read;
}
} // namespace

// The worker on a fixture root, with stand-in tools first on the search path.
class TestWorkerLogs : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QTemporaryDir tools;
    QStringList originalSearchPath;

    QString rooted(const QString& path) const { return root.path() + path; }

    // What one fetch answered: the number of rows, or why there are none,
    // and what was said about it.
    struct Answers {
        int records = 0;
        QString reason;
        QString note;
    };
    static int rowCount(const LogTablePtr& table) { return table ? table->rowCount() : 0; }
    template <typename Record> static int rowCount(const QList<Record>& records) { return records.size(); }
    Answers fetch(WorkerLogs::Source source) {
        static const char* const names[] = {"SysLog",  "AuthLog", "KernLog", "DmesgLog",
                                            "BootLog", "FailLog", "DpkgLog", "FlatpakLog"};
        WorkerLogs worker;
        Answers answers;
        int answered = 0;
        bool own = false;
        // Every source's answer is counted; the asked one's is kept.
        const auto take = [&](int from) {
            return [&, from](const auto& listing) {
                ++answered;
                own = from == source;
                answers = {rowCount(listing.rows), listing.unavailable, listing.note};
            };
        };
        connect(&worker, &WorkerLogs::sysLogUpdated, take(WorkerLogs::SysLog));
        connect(&worker, &WorkerLogs::authLogUpdated, take(WorkerLogs::AuthLog));
        connect(&worker, &WorkerLogs::kernLogUpdated, take(WorkerLogs::KernLog));
        connect(&worker, &WorkerLogs::dmesgLogUpdated, take(WorkerLogs::DmesgLog));
        connect(&worker, &WorkerLogs::bootLogUpdated, take(WorkerLogs::BootLog));
        connect(&worker, &WorkerLogs::failLogUpdated, take(WorkerLogs::FailLog));
        connect(&worker, &WorkerLogs::dpkgLogUpdated, take(WorkerLogs::DpkgLog));
        connect(&worker, &WorkerLogs::flatpakLogUpdated, take(WorkerLogs::FlatpakLog));
        QMetaObject::invokeMethod(&worker, (QByteArray("fetch") + names[source]).constData(),
                                  Qt::DirectConnection);
        // Exactly one answer, on the source's own signal.
        if (answered != 1 || !own)
            answers = {0, QStringLiteral("answered %1 times").arg(answered), QString()};
        return answers;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        registerSharedMetaTypes();
        qRegisterMetaType<TextLogListing>();
        qRegisterMetaType<DmesgLogListing>();
        qRegisterMetaType<BootLogListing>();
        qRegisterMetaType<FailLogListing>();
        qRegisterMetaType<DpkgLogListing>();
        qRegisterMetaType<FlatpakLogListing>();
        SystemPaths::setRootPrefix(root.path());
        writeFile(rooted("/etc/debian_version"), "12.5\n");
        originalSearchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());
    }
    void cleanupTestCase() {
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(originalSearchPath);
        WorkerLogs::setLimits(LogFileReader::Limits());
    }

    // Without rsyslog there is no syslog: the page is told why, not left
    // waiting. A FIFO in a log's place (made at test time) is refused at
    // once instead of blocking the worker.
    void missingFilesSayWhy_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("reason");
        QTest::newRow("syslog") << int(WorkerLogs::SysLog) << "/var/log/syslog" << false << "rsyslog";
        QTest::newRow("auth.log") << int(WorkerLogs::AuthLog) << "/var/log/auth.log" << false << "rsyslog";
        QTest::newRow("kern.log") << int(WorkerLogs::KernLog) << "/var/log/kern.log" << false << "rsyslog";
        QTest::newRow("boot.log") << int(WorkerLogs::BootLog) << "/var/log/boot.log" << false
                                  << "does not exist";
        QTest::newRow("dpkg.log") << int(WorkerLogs::DpkgLog) << "/var/log/dpkg.log" << false
                                  << "does not exist";
        QTest::newRow("syslog is a FIFO")
            << int(WorkerLogs::SysLog) << "/var/log/syslog" << true << "not a regular file";
    }
    void missingFilesSayWhy() {
        QFETCH(int, source);
        QFETCH(QString, file);
        QFETCH(bool, fifo);
        QFETCH(QString, reason);
        QFile::remove(rooted(file));
        QDir().mkpath(rooted("/var/log"));
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(rooted(file)).constData(), 0600), 0);
        const Answers answers = fetch(WorkerLogs::Source(source));
        QFile::remove(rooted(file));
        QVERIFY2(answers.reason.contains(reason) && answers.reason.contains(file),
                 qPrintable(answers.reason));
    }

    // A page keeps the newest lines within its limits and counts the rest.
    void readerKeepsTheNewestLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("maxLines");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<qint64>("leftOut");
        const QByteArray five = "one\ntwo\nthree\nfour\nfive\n";
        QTest::newRow("within the limits")
            << five << qint64(5) << qint64(1000) << QStringList({"one", "two", "three", "four", "five"})
            << qint64(0);
        QTest::newRow("past the line limit")
            << five << qint64(2) << qint64(1000) << QStringList({"four", "five"}) << qint64(3);
        // The byte limit falls inside "three": that line is left out whole.
        QTest::newRow("past the byte limit")
            << five << qint64(100) << qint64(12) << QStringList({"four", "five"}) << qint64(3);
        // A newest line longer than the byte limit, without a line break at
        // its end: no line fits, and every one is counted.
        QTest::newRow("an endless last line") << QByteArray("one\ntwo\n" + QByteArray(30, 'x')) << qint64(100)
                                              << qint64(12) << QStringList() << qint64(3);
        QTest::newRow("the byte limit at a line start")
            << five << qint64(100) << qint64(16) << QStringList({"three", "four", "five"}) << qint64(2);
        QTest::newRow("no line break at the end, carriage returns")
            << QByteArray("a\r\nb\r\nc") << qint64(2) << qint64(1000) << QStringList({"b", "c"}) << qint64(1);
        QTest::newRow("empty lines count") << QByteArray("a\n\n\nb\n") << qint64(3) << qint64(1000)
                                           << QStringList({"", "", "b"}) << qint64(1);
        QTest::newRow("empty file") << QByteArray() << qint64(5) << qint64(1000) << QStringList()
                                    << qint64(0);
        // Longer than the pieces the file is read in, on both sides.
        const QByteArray longLine(3 * LogFileReader::PieceBytes, 'x');
        QTest::newRow("a line longer than a piece")
            << (longLine + "\nshort\n" + longLine + "\nend\n") << qint64(3) << qint64(100) * 1048576
            << QStringList({"short", QString(20, 'x'), "end"}) << qint64(1);
    }
    void readerKeepsTheNewestLines() {
        QFETCH(QByteArray, text);
        QFETCH(qint64, maxLines);
        QFETCH(qint64, maxBytes);
        QFETCH(QStringList, lines);
        QFETCH(qint64, leftOut);
        const QString path = rooted("/var/log/reader.log");
        writeFile(path, text);
        const ReadLines read = readLines(path, maxLines, maxBytes);
        QCOMPARE(read.result.status, LogFileReader::Result::Ok);
        QCOMPARE(read.lines, lines);
        QCOMPARE(read.result.leftOutLines, leftOut);
    }

    // The page says how many older lines it left out.
    void bigLogsKeepTheirNewestLines() {
        QByteArray text;
        for (int i = 0; i < 500; ++i)
            text += QStringLiteral("2025-03-04T10:%1:00+01:00 deb12 app[1]: line %2\n")
                        .arg(i % 60, 2, 10, QLatin1Char('0'))
                        .arg(i)
                        .toUtf8();
        writeFile(rooted("/var/log/syslog"), text);
        LogFileReader::Limits limits;
        limits.maxLines = 120;
        WorkerLogs::setLimits(limits);
        WorkerLogs worker;
        QSignalSpy read(&worker, &WorkerLogs::sysLogUpdated);
        worker.fetchSysLog();
        WorkerLogs::setLimits(LogFileReader::Limits());
        QCOMPARE(read.count(), 1);
        const TextLogListing listing = read.first().first().value<TextLogListing>();
        QCOMPARE(listing.rows->rowCount(), 120);
        QCOMPARE(listing.rows->text(0, 2), QStringLiteral("line 380"));
        QVERIFY2(listing.note.contains("380 older lines"), qPrintable(listing.note));
    }

    // Quitting stops a read at its next piece: no answer comes.
    void quittingStopsARead() {
        QByteArray text;
        for (int i = 0; i < 40000; ++i)
            text += "Mar  4 10:20:30 deb11 app[1]: a line of a log of some length, " + QByteArray::number(i) +
                    "\n";
        writeFile(rooted("/var/log/syslog"), text);
        WorkerLogs worker;
        QSignalSpy read(&worker, &WorkerLogs::sysLogUpdated);
        int progressSeen = 0;
        connect(&worker, &WorkerLogs::loadProgress, this, [&] {
            if (++progressSeen == 1)
                CommandRunner::abortAll();
        });
        worker.fetchSysLog();
        CommandRunner::resetAbort();
        QCOMPARE(progressSeen, 1);
        QCOMPARE(read.count(), 0);
    }

    // A failing tool is reported, not taken for an empty list; one login
    // tool failing leaves what the others told, and the page is told which.
    void toolsGiveRecordsOrSayWhy_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("note");
        const QString failing = "echo broken >&2; exit 1";
        for (const char* tool : {"faillog", "last", "who"})
            QTest::addRow("%s fails", tool) << tool << failing << int(WorkerLogs::FailLog) << 3 << QString()
                                            << QString(tool) + " exited with 1";
        QTest::newRow("every login tool answers") << "who" << QString::fromUtf8(printsFixture("who.txt"))
                                                  << int(WorkerLogs::FailLog) << 3 << QString() << QString();
        QTest::newRow("dmesg fails") << "dmesg" << failing << int(WorkerLogs::DmesgLog) << 0
                                     << "dmesg exited with 1" << QString();
        QTest::newRow("dmesg") << "dmesg" << QString::fromUtf8(printsFixture("dmesg.txt"))
                               << int(WorkerLogs::DmesgLog) << 8 << QString() << QString();
        QTest::newRow("flatpak fails") << "flatpak" << failing << int(WorkerLogs::FlatpakLog) << 0
                                       << "flatpak exited with 1" << QString();
        QTest::newRow("flatpak without history")
            << "flatpak"
            << "exit 0" << int(WorkerLogs::FlatpakLog) << 0 << "no history" << QString();
        QTest::newRow("flatpak history") << "flatpak"
                                         << "[ \"$1\" = history ] || exit 2; cat '" +
                                                TestSupport::testDataPath("logs/flatpak-history.txt") + "'"
                                         << int(WorkerLogs::FlatpakLog) << 5 << QString() << QString();
        QTest::newRow("flatpak not installed") << QString() << QString() << int(WorkerLogs::FlatpakLog) << 0
                                               << "Flatpak is not installed" << QString();
    }
    void toolsGiveRecordsOrSayWhy() {
        QFETCH(QString, tool);
        QFETCH(QString, script);
        QFETCH(int, source);
        QFETCH(int, records);
        QFETCH(QString, reason);
        QFETCH(QString, note);
        if (tool.isEmpty() && !CommandRunner::resolveProgram("flatpak").isEmpty())
            QSKIP("flatpak is installed on this machine");
        QVERIFY(QFile::copy(TestSupport::testDataPath("logs/passwd"), rooted("/etc/passwd")) ||
                QFile::exists(rooted("/etc/passwd")));
        for (const char* login : {"faillog", "last", "who"})
            QVERIFY(TestSupport::writeScript(tools.filePath(login), printsFixture(QString(login) + ".txt")));
        if (!tool.isEmpty())
            QVERIFY(TestSupport::writeScript(tools.filePath(tool), "#!/bin/sh\n" + script.toUtf8() + "\n"));
        const Answers answers = fetch(WorkerLogs::Source(source));
        if (!tool.isEmpty())
            QFile::remove(tools.filePath(tool));
        for (const char* login : {"faillog", "last", "who"})
            QFile::remove(tools.filePath(login));
        QCOMPARE(answers.records, records);
        QVERIFY2(reason.isEmpty() ? answers.reason.isEmpty() : answers.reason.contains(reason),
                 qPrintable(answers.reason));
        QVERIFY2(note.isEmpty() ? answers.note.isEmpty() : answers.note.contains(note),
                 qPrintable(answers.note));
    }

    // The real last on a crafted login history and the real who on a
    // crafted list of sessions, with a stand-in faillog: the arguments and
    // the time format are what the parsers expect.
    void loginSummaryFromTheRealTools() {
        if (CommandRunner::resolveProgram("last").isEmpty() || CommandRunner::resolveProgram("who").isEmpty())
            QSKIP("last or who is not installed");
        QVERIFY(TestSupport::writeScript(tools.filePath("faillog"),
                                         "#!/bin/sh\nprintf 'Login Failures Maximum "
                                         "Latest On\\ndaemon 0 0 x\\nbin 2 5 x\\n'\n"));
        writeFile(rooted("/etc/passwd"), "root:x:0:0::/root:/bin/sh\ndaemon:x:1000:1000::/home/d:/bin/sh\n"
                                         "bin:x:1001:1001::/home/b:/bin/sh\n");
        QByteArray wtmp;
        appendLogin(wtmp, USER_PROCESS, "daemon", "tty2", QDateTime(QDate(2025, 3, 2), QTime(8, 0)), 100);
        appendLogin(wtmp, DEAD_PROCESS, "", "tty2", QDateTime(QDate(2025, 3, 3), QTime(9, 0)), 100);
        appendLogin(wtmp, USER_PROCESS, "daemon", "pts/0", QDateTime(QDate(2025, 3, 3), QTime(9, 12, 1)),
                    101);
        appendLogin(wtmp, DEAD_PROCESS, "", "pts/0", QDateTime(QDate(2025, 3, 3), QTime(17, 40, 12)), 101);
        writeFile(rooted("/var/log/wtmp"), wtmp);
        const int year = QDate::currentDate().year();
        QByteArray utmp;
        appendLogin(utmp, USER_PROCESS, "bin", "pts/9", QDateTime(QDate(year, 3, 3), QTime(9, 12)), getpid());
        writeFile(rooted("/var/run/utmp"), utmp);

        WorkerLogs worker;
        QSignalSpy answer(&worker, &WorkerLogs::failLogUpdated);
        worker.fetchFailLog();
        QFile::remove(tools.filePath("faillog"));
        QCOMPARE(answer.count(), 1);
        const FailLogListing listing = answer.first().first().value<FailLogListing>();
        QVERIFY(listing.unavailable.isEmpty() && listing.note.isEmpty());
        const QList<DetailsLogsFailLog>& records = listing.rows;
        QCOMPARE(records.size(), 2);
        const DetailsLogsFailLog& daemon = records.at(0);
        const DetailsLogsFailLog& bin = records.at(1);
        QCOMPARE(daemon.logins, 2);
        QVERIFY(!daemon.loggedIn);
        QCOMPARE(daemon.timeSpent, QStringLiteral("1d 09:28:00"));
        QCOMPARE(daemon.lastLogin, QStringLiteral("Mar  3 09:12:01 2025"));
        QVERIFY(bin.loggedIn);
        QCOMPARE(bin.logins, 1);
        QCOMPARE(bin.failedLogins, 2);
        QCOMPARE(bin.lastLogin, QStringLiteral("Mar 3 09:12:00 %1").arg(year));
    }
};

QTEST_GUILESS_MAIN(TestWorkerLogs)
#include "tst_workerlogs.moc"
