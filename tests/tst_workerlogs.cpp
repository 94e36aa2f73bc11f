#include "commandrunner.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerlogs.h"

#include <QtTest>
#include <cstring>
#include <unistd.h>
#include <utmp.h>

namespace {
void copyFixture(const QString& name, const QString& target) {
    QDir().mkpath(QFileInfo(target).path());
    QFile::remove(target);
    QVERIFY(QFile::copy(TestSupport::testDataPath("logs/" + name), target));
}

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

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qRegisterMetaType<QList<DetailsLogsSysLog>>();
        SystemPaths::setRootPrefix(root.path());
        writeFile(rooted("/etc/debian_version"), "12.5\n");
        originalSearchPath = SystemPaths::searchPath();
        SystemPaths::prependSearchPath(tools.path());
    }
    void cleanupTestCase() {
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(originalSearchPath);
    }

    void textLogsAreReadFromTheirFiles() {
        copyFixture("syslog", rooted("/var/log/syslog"));
        copyFixture("auth.log", rooted("/var/log/auth.log"));
        copyFixture("kern.log", rooted("/var/log/kern.log"));
        copyFixture("boot.log", rooted("/var/log/boot.log"));
        copyFixture("dpkg.log", rooted("/var/log/dpkg.log"));
        WorkerLogs worker;
        QCOMPARE(worker.debianMajor(), 12);
        QSignalSpy unavailable(&worker, &WorkerLogs::logUnavailable);
        QSignalSpy sys(&worker, &WorkerLogs::sysLogUpdated), auth(&worker, &WorkerLogs::authLogUpdated),
            kern(&worker, &WorkerLogs::kernLogUpdated), boot(&worker, &WorkerLogs::bootLogUpdated),
            dpkg(&worker, &WorkerLogs::dpkgLogUpdated);
        worker.fetchSysLog();
        worker.fetchAuthLog();
        worker.fetchKernLog();
        worker.fetchBootLog();
        worker.fetchDpkgLog();
        QCOMPARE(unavailable.count(), 0);
        QCOMPARE(sys.first().first().value<QList<DetailsLogsSysLog>>().size(), 8);
        QCOMPARE(auth.first().first().value<QList<DetailsLogsAuthLog>>().size(), 7);
        QCOMPARE(kern.first().first().value<QList<DetailsLogsKernLog>>().size(), 6);
        QCOMPARE(boot.first().first().value<QList<DetailsLogsBootLog>>().size(), 6);
        QCOMPARE(dpkg.first().first().value<QList<DetailsLogsDpkgLog>>().size(), 14);
    }

    // Without rsyslog there is no syslog: the page is told why, not left waiting.
    void missingSourcesSayWhy_data() {
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
    void missingSourcesSayWhy() {
        QFETCH(int, source);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        QFile::remove(rooted(file));
        WorkerLogs worker;
        QSignalSpy unavailable(&worker, &WorkerLogs::logUnavailable);
        const char* fetchers[] = {"fetchSysLog",  "fetchAuthLog", "fetchKernLog", "fetchDmesgLog",
                                  "fetchBootLog", "fetchFailLog", "fetchDpkgLog", "fetchFlatpakLog"};
        QVERIFY(QMetaObject::invokeMethod(&worker, fetchers[source], Qt::DirectConnection));
        QCOMPARE(unavailable.count(), 1);
        QCOMPARE(unavailable.first().at(0).toInt(), source);
        QVERIFY2(unavailable.first().at(1).toString().contains(reason),
                 qPrintable(unavailable.first().at(1).toString()));
        QVERIFY(unavailable.first().at(1).toString().contains(file));
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
        WorkerLogs worker;
        QSignalSpy answer(&worker, &WorkerLogs::dmesgLogUpdated);
        worker.fetchDmesgLog();
        QCOMPARE(answer.count(), 1);
        const int records = answer.first().first().value<QList<DetailsLogsDmesgLog>>().size();
        QVERIFY2(records >= before && records < before + 50,
                 qPrintable(QString("%1 vs %2").arg(records).arg(before)));
    }

    void failingToolsAreReportedNotTakenForEmpty_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("source");
        QTest::addColumn<QString>("reason");
        QTest::newRow("dmesg") << "dmesg" << int(WorkerLogs::DmesgLog) << "dmesg exited with 1";
        QTest::newRow("faillog") << "faillog" << int(WorkerLogs::FailLog) << "faillog exited with 1";
        QTest::newRow("last") << "last" << int(WorkerLogs::FailLog) << "last exited with 1";
        QTest::newRow("who") << "who" << int(WorkerLogs::FailLog) << "who exited with 1";
        QTest::newRow("flatpak") << "flatpak" << int(WorkerLogs::FlatpakLog) << "flatpak exited with 1";
    }
    void failingToolsAreReportedNotTakenForEmpty() {
        QFETCH(QString, tool);
        QFETCH(int, source);
        QFETCH(QString, reason);
        writeFile(rooted("/etc/passwd"), "root:x:0:0::/root:/bin/sh\n");
        writeFile(rooted("/var/log/wtmp"), QByteArray());
        writeTool(tools.path(), tool, "echo broken >&2; exit 1");
        WorkerLogs worker;
        QSignalSpy unavailable(&worker, &WorkerLogs::logUnavailable);
        QSignalSpy fail(&worker, &WorkerLogs::failLogUpdated);
        if (source == WorkerLogs::DmesgLog)
            worker.fetchDmesgLog();
        else if (source == WorkerLogs::FailLog)
            worker.fetchFailLog();
        else
            worker.fetchFlatpakLog();
        QFile::remove(tools.filePath(tool));
        QCOMPARE(fail.count(), 0);
        QCOMPARE(unavailable.count(), 1);
        QCOMPARE(unavailable.first().at(0).toInt(), source);
        QVERIFY2(unavailable.first().at(1).toString().contains(reason),
                 qPrintable(unavailable.first().at(1).toString()));
    }

    void flatpakHistoryFromTheTool() {
        writeTool(tools.path(), "flatpak",
                  "[ \"$1\" = history ] || exit 2; cat '" +
                      TestSupport::testDataPath("logs/flatpak-history.txt") + "'");
        WorkerLogs worker;
        QSignalSpy answer(&worker, &WorkerLogs::flatpakLogUpdated);
        worker.fetchFlatpakLog();
        QFile::remove(tools.filePath("flatpak"));
        QCOMPARE(answer.count(), 1);
        QCOMPARE(answer.first().first().value<QList<DetailsLogsFlatpakLog>>().size(), 5);
    }

    void flatpakMissingOrSilent_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not installed") << false << "Flatpak is not installed";
        QTest::newRow("no history") << true << "no history";
    }
    void flatpakMissingOrSilent() {
        QFETCH(bool, installed);
        QFETCH(QString, reason);
        if (!installed && !CommandRunner::resolveProgram("flatpak").isEmpty())
            QSKIP("flatpak is installed on this machine");
        if (installed)
            writeTool(tools.path(), "flatpak", "exit 0");
        WorkerLogs worker;
        QSignalSpy unavailable(&worker, &WorkerLogs::logUnavailable);
        worker.fetchFlatpakLog();
        QFile::remove(tools.filePath("flatpak"));
        QCOMPARE(unavailable.count(), 1);
        QVERIFY(unavailable.first().at(1).toString().contains(reason));
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
