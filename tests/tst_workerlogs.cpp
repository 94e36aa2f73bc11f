#include "commandrunner.h"
#include "startup.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerlogs.h"

#include <QtTest>
#include <cstring>
#include <unistd.h>
#include <utmp.h>

namespace {
// A stand-in tool: prints a file and exits with a status.
void writeTool(const QString& folder, const QString& name, const QString& body) {
    QFile tool(folder + "/" + name);
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write(("#!/bin/sh\n" + body + "\n").toUtf8());
    tool.close();
    tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

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

} // namespace

// The worker on a fixture root, with stand-in tools first on the search path
// and the real dmesg, faillog, last and who where the test can feed them.
class TestWorkerLogs : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QTemporaryDir tools;
    QStringList originalSearchPath;

    QString rooted(const QString& path) const { return root.path() + path; }

    // What one fetch answered: the number of records, or why there are none.
    struct Answers {
        int records = 0;
        QString reason;
    };
    Answers fetch(WorkerLogs::Source source) {
        static const char* const names[] = {"SysLog",  "AuthLog", "KernLog", "DmesgLog",
                                            "BootLog", "FailLog", "DpkgLog", "FlatpakLog"};
        const QByteArray name = names[source];
        // As SIGNAL() writes it: "2sysLogUpdated(QList<DetailsLogsSysLog>)".
        const QByteArray updated =
            "2" + name.left(1).toLower() + name.mid(1) + "Updated(QList<DetailsLogs" + name + ">)";
        WorkerLogs worker;
        QSignalSpy answer(&worker, updated.constData());
        QSignalSpy unavailable(&worker, &WorkerLogs::logUnavailable);
        QMetaObject::invokeMethod(&worker, ("fetch" + name).constData(), Qt::DirectConnection);
        Answers answers;
        if (answer.count() == 1)
            answers.records = answer.first().first().value<QSequentialIterable>().size();
        if (unavailable.count() == 1 && unavailable.first().first().toInt() == source)
            answers.reason = unavailable.first().at(1).toString();
        // Exactly one of the two.
        if (answer.count() + unavailable.count() != 1)
            answers.reason = QStringLiteral("answered %1 times").arg(answer.count() + unavailable.count());
        return answers;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        registerSharedMetaTypes();
        SystemPaths::setRootPrefix(root.path());
        writeFile(rooted("/etc/debian_version"), "12.5\n");
        originalSearchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());
    }
    void cleanupTestCase() {
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(originalSearchPath);
    }

    // Without rsyslog there is no syslog: the page is told why, not left waiting.
    void missingFilesSayWhy_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("syslog") << int(WorkerLogs::SysLog) << "/var/log/syslog"
                                << "rsyslog";
        QTest::newRow("auth.log") << int(WorkerLogs::AuthLog) << "/var/log/auth.log"
                                  << "rsyslog";
        QTest::newRow("kern.log") << int(WorkerLogs::KernLog) << "/var/log/kern.log"
                                  << "rsyslog";
        QTest::newRow("boot.log") << int(WorkerLogs::BootLog) << "/var/log/boot.log"
                                  << "does not exist";
        QTest::newRow("dpkg.log") << int(WorkerLogs::DpkgLog) << "/var/log/dpkg.log"
                                  << "does not exist";
    }
    void missingFilesSayWhy() {
        QFETCH(int, source);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QFile::remove(rooted(file));
        const Answers answers = fetch(WorkerLogs::Source(source));
        QVERIFY2(answers.reason.contains(reason) && answers.reason.contains(file),
                 qPrintable(answers.reason));
    }

    void dmesgPageHasALineForEveryLineDmesgPrints() {
        QFile::remove(tools.filePath("dmesg"));
        QProcess dmesg;
        dmesg.start("dmesg", QStringList());
        QVERIFY(dmesg.waitForFinished(10000));
        if (dmesg.exitCode() != 0)
            QSKIP("dmesg cannot be read here");
        const int before =
            QString::fromUtf8(dmesg.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size();
        const int records = fetch(WorkerLogs::DmesgLog).records;
        QVERIFY2(records >= before && records < before + 50,
                 qPrintable(QString("%1 vs %2").arg(records).arg(before)));
    }

    // A failing tool is reported, not taken for an empty list.
    void toolsGiveRecordsOrSayWhy_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("reason");
        const QString failing = "echo broken >&2; exit 1";
        for (const char* tool : {"faillog", "last", "who"})
            QTest::addRow("%s fails", tool)
                << tool << failing << int(WorkerLogs::FailLog) << 0 << QString(tool) + " exited with 1";
        QTest::newRow("dmesg fails") << "dmesg" << failing << int(WorkerLogs::DmesgLog) << 0
                                     << "dmesg exited with 1";
        QTest::newRow("flatpak fails")
            << "flatpak" << failing << int(WorkerLogs::FlatpakLog) << 0 << "flatpak exited with 1";
        QTest::newRow("flatpak without history")
            << "flatpak"
            << "exit 0" << int(WorkerLogs::FlatpakLog) << 0 << "no history";
        QTest::newRow("flatpak history") << "flatpak"
                                         << "[ \"$1\" = history ] || exit 2; cat '" +
                                                TestSupport::testDataPath("logs/flatpak-history.txt") + "'"
                                         << int(WorkerLogs::FlatpakLog) << 5 << QString();
        QTest::newRow("flatpak not installed")
            << QString() << QString() << int(WorkerLogs::FlatpakLog) << 0 << "Flatpak is not installed";
    }
    void toolsGiveRecordsOrSayWhy() {
        QFETCH(QString, tool);
        QFETCH(QString, script);
        QFETCH(int, source);
        QFETCH(int, records);
        QFETCH(QString, reason);
        if (tool.isEmpty() && !CommandRunner::resolveProgram("flatpak").isEmpty())
            QSKIP("flatpak is installed on this machine");
        writeFile(rooted("/etc/passwd"), "root:x:0:0::/root:/bin/sh\n");
        writeFile(rooted("/var/log/wtmp"), QByteArray());
        if (!tool.isEmpty())
            writeTool(tools.path(), tool, script);
        const Answers answers = fetch(WorkerLogs::Source(source));
        if (!tool.isEmpty())
            QFile::remove(tools.filePath(tool));
        QCOMPARE(answers.records, records);
        QVERIFY2(reason.isEmpty() ? answers.reason.isEmpty() : answers.reason.contains(reason),
                 qPrintable(answers.reason));
    }

    // The real faillog (every account of this machine), the real last on a
    // crafted login history and the real who on a crafted list of sessions.
    // daemon and bin exist on every Debian system; the fixture root's
    // passwd makes them people.
    void loginSummaryFromTheRealTools() {
        if (CommandRunner::resolveProgram("faillog").isEmpty())
            QSKIP("faillog is not installed");
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
        QSignalSpy unavailable(&worker, &WorkerLogs::logUnavailable);
        worker.fetchFailLog();
        QCOMPARE(unavailable.count(), 0);
        QCOMPARE(answer.count(), 1);
        const QList<DetailsLogsFailLog> records = answer.first().first().value<QList<DetailsLogsFailLog>>();
        QCOMPARE(records.size(), 2);
        const DetailsLogsFailLog& daemon = records.at(records.at(0).username == "daemon" ? 0 : 1);
        const DetailsLogsFailLog& bin = records.at(records.at(0).username == "daemon" ? 1 : 0);
        QCOMPARE(daemon.logins, 2);
        QVERIFY(!daemon.loggedIn);
        QCOMPARE(daemon.timeSpent, QStringLiteral("1d 09:28:00"));
        QCOMPARE(daemon.lastLogin, QStringLiteral("Mar  3 09:12:01 2025"));
        QVERIFY(bin.loggedIn);
        QCOMPARE(bin.logins, 1);
        QCOMPARE(bin.lastLogin, QStringLiteral("Mar 3 09:12:00 %1").arg(year));
    }
};

QTEST_GUILESS_MAIN(TestWorkerLogs)
#include "tst_workerlogs.moc"
