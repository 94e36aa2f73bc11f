#include "processcpuhistory.h"
#include "processdesktopindex.h"
#include "processparser.h"
#include "processscanner.h"
#include "systempaths.h"
#include "testsupport.h"
#include "workerprocesses.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

QHash<QString, DetailsProcess> byPid(const QList<DetailsProcess>& processes) {
    QHash<QString, DetailsProcess> map;
    for (const DetailsProcess& process : processes)
        map.insert(process.pid, process);
    return map;
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestProcessScanner : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SystemPaths::setRootPrefix(QString()); }

    // The name and state read as the status file shows them.
    void parseStat_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("fieldCount");
        QTest::addColumn<qint64>("userTicks");
        QTest::addColumn<qint64>("systemTicks");
        QTest::addColumn<QByteArray>("nice");
        QTest::addColumn<qint64>("startTime");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("state");
        QTest::newRow("plain") << QByteArray(
                                      "13477 (cat) R 13473 13473 6754 0 -1 4194304 101 0 0 0 7 3 0 0 20 0 "
                                      "1 0 65988 3133440 408 18446744073709551615 1 2\n")
                               << 27 << qint64(7) << qint64(3) << QByteArray("0") << qint64(65988) << "cat"
                               << "R (running)";
        QTest::newRow("blanks, ) ( and escapes in the name")
            << QByteArray("42 (a ) (b\\c\nd) t 1 42 42 0 -1 0 0 0 0 0 11 22 0 0 39 19 1 0 777 0 0\n") << 24
            << qint64(11) << qint64(22) << QByteArray("19") << qint64(777) << "a ) (b\\\\c\\nd"
            << "t (tracing stop)";
        QTest::newRow("figures of 20 digits read as no number")
            << QByteArray("7 (x) S 1 7 7 0 -1 0 0 0 0 0 99999999999999999999 3 0 0 20 0 1 0 100 0 0\n") << 24
            << qint64(0) << qint64(3) << QByteArray("0") << qint64(100) << "x"
            << "S (sleeping)";
        QTest::newRow("no name") << QByteArray("1400 shorty S 1") << 0 << qint64(0) << qint64(0)
                                 << QByteArray() << qint64(0) << QString() << QString();
    }
    void parseStat() {
        QFETCH(QByteArray, line);
        QFETCH(int, fieldCount);
        const ProcessParser::StatFields fields = ProcessParser::parseStat(line);
        QCOMPARE(fields.fieldCount, fieldCount);
        QTEST(fields.userTicks, "userTicks");
        QTEST(fields.systemTicks, "systemTicks");
        QTEST(fields.nice, "nice");
        QTEST(fields.startTime, "startTime");
        if (fieldCount > 0) {
            QTEST(ProcessParser::processName(fields.command), "name");
            QTEST(ProcessParser::stateText(fields.state), "state");
        }
    }

    void statusStatmAndRollup() {
        const QByteArray status = "Name:\tx\nUid:  no tab here\nUid:\t1000\t1001\t1002\t1003\n";
        QCOMPARE(QByteArray(ProcessParser::realUid(status).data(), 4), QByteArray("1000"));
        QVERIFY(ProcessParser::realUid("Name:\tx\n").empty());
        QCOMPARE(ProcessParser::anonymousKb("5000 1200 700 10 0 900 0\n", 4), qint64(2000));
        QCOMPARE(ProcessParser::anonymousKb("", 4), qint64(-1));
        QCOMPARE(ProcessParser::parseStatm("5000 1200 700 10 0 900 0\n", 4).residentKb, qint64(4800));
        QCOMPARE(ProcessParser::anonymousKb("5000 1200", 4), qint64(-1));
        QCOMPARE(ProcessParser::anonymousKb("5000 12x0 700", 4), qint64(-1));
        // Figures too long for any machine are refused rather than overflowing.
        QCOMPARE(ProcessParser::anonymousKb("1 9999999999999999999 1\n", 4), qint64(-1));
        QCOMPARE(ProcessParser::parseStatm("1 999999999999999999 1\n", 64).residentKb, qint64(-1));
        QCOMPARE(
            ProcessParser::privateMemoryKb("Private_Clean: 99999999999999999999 kB\nPrivate_Dirty: 5 kB\n"),
            qint64(5));
        const QByteArray rollup = "Rss:  1688 kB\nPrivate_Clean:        36 kB\nPrivate_Dirty:       112 kB\n"
                                  "Private_Hugetlb:  9 kB\nShared_Dirty: 5 kB\n";
        QCOMPARE(ProcessParser::privateMemoryKb(rollup), qint64(148));
        QCOMPARE(ProcessParser::privateMemoryKb("Private_Clean:"), qint64(0));
    }

    // The desktop session's user, from the runtime folder, else from sudo.
    void sessionUid_data() {
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<QString>("sudoUid");
        QTest::addColumn<QString>("uid");
        QTest::newRow("trailing slash") << "/run/user/1000/"
                                        << "1001"
                                        << "1000";
        QTest::newRow("tmp, no sudo") << "/tmp"
                                      << ""
                                      << "";
        QTest::newRow("runtime folder unset") << ""
                                              << "1001"
                                              << "1001";
        QTest::newRow("not a number") << ""
                                      << "1001; rm"
                                      << "";
    }
    void sessionUid() {
        QFETCH(QString, runtimeDir);
        QFETCH(QString, sudoUid);
        QTEST(ProcessParser::sessionUid(runtimeDir, sudoUid), "uid");
    }

    void cpuHistory() {
        ProcessCpuHistory history;
        // 1 s at 100 ticks per second on 2 cores: 200 ticks are all of it.
        history.beginScan(1.0, 100, 2);
        QVERIFY(!history.record(10, 500, 1000));
        QVERIFY(!history.record(11, 600, 50));
        QVERIFY(!history.record(12, 700, 0));
        history.endScan();

        history.beginScan(1.0, 100, 2);
        QCOMPARE(*history.record(10, 500, 1100), 50.0);
        // ID 11 now belongs to a new process: no comparison with the old one.
        QVERIFY(!history.record(11, 999, 5000));
        // Had no time at all before: still gets a share now.
        QCOMPARE(*history.record(12, 700, 20), 10.0);
        history.endScan();

        history.beginScan(1.0, 100, 2);
        QCOMPARE(*history.record(10, 500, 1000), 0.0);    // counter went back: never negative
        QCOMPARE(*history.record(11, 999, 50000), 100.0); // never above all cores
        history.endScan();
        QCOMPARE(history.size(), 2); // 12 is gone

        history.beginScan(0.0, 100, 2);
        QVERIFY(!history.record(10, 500, 1000)); // no time passed: nothing to share
        history.endScan();
    }

    void fixtureTree() {
        SystemPaths::setRootPrefix(TestSupport::testDataPath("proc"));
        ProcessScanner scanner;
        const QHash<QString, DetailsProcess> all = byPid(scanner.scan(QString()));
        QCOMPARE(all.size(), 8);
        QVERIFY(!all.contains("0") && !all.contains("abc"));
        QVERIFY(!all.contains("99999999999999999999") && !all.contains("01200"));

        const DetailsProcess bash = all.value("1200");
        QCOMPARE(bash.state, QString("S (sleeping)"));
        QCOMPARE(bash.cpuUsage, QString("0.0"));
        QCOMPARE(bash.memory, QString("148 KB"));

        const DetailsProcess odd = all.value("1300");
        QCOMPARE(odd.name, QString("my ) (prog"));
        QCOMPARE(odd.nice, QString("-5"));

        const DetailsProcess shorty = all.value("1400");
        QCOMPARE(shorty.cpuUsage, QString("N/A"));
        QCOMPARE(shorty.memory, QString("N/A"));

        QCOMPARE(all.value("1500").user, QString("root"));
        QCOMPARE(all.value("1600").user, QString("Unknown"));
        QCOMPARE(all.value("1600").memory, QString("1.00 GB"));

        // A second scan of unchanged totals shows no share and no "running".
        const QHash<QString, DetailsProcess> again = byPid(scanner.scan(QString()));
        QCOMPARE(again.value("1200").cpuUsage, QString("0.0"));
        QCOMPARE(again.value("1200").state, QString("S (sleeping)"));

        const QList<DetailsProcess> alice = scanner.scan("1000");
        QCOMPARE(alice.size(), 6);
        for (const DetailsProcess& process : alice)
            QCOMPARE(process.user, QString("alice"));

        // Names a user chose or a kernel thread's get the generic icon.
        const QString root = TestSupport::testDataPath("proc");
        const QStringList generic{"application-x-executable"};
        QCOMPARE(all.value("1500").iconNames, generic); // kernel thread
        QCOMPARE(all.value("1700").iconNames, generic); // "/" in a user-chosen name
        QCOMPARE(all.value("1800").iconNames, generic); // leading "."
        QCOMPARE(all.value("1900").iconNames,
                 QStringList({"fooapp", "fooapp-icon", root + "/usr/share/pixmaps/fooapp-icon.png",
                              "application-x-executable"}));
    }

    void desktopIndexFollowsFolderChanges() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ProcessDesktopIndex index({dir.path(), dir.path() + "/missing"});
        QVERIFY(index.refreshIfChanged());
        QVERIFY(index.iconValuesFor("gizmo").isEmpty());
        QVERIFY(!index.refreshIfChanged());

        QVERIFY(
            writeFile(dir.path() + "/gizmo.desktop", "[Desktop Entry]\nExec=Gizmo %f\nIcon=gizmo-icon\n"));
        QVERIFY(writeFile(dir.path() + "/notes.txt", "Exec=gizmo\nIcon=not-an-entry\n"));
        QVERIFY(writeFile(dir.path() + "/blank.desktop", "Exec= gizmo\nIcon=blank-first-word\n"));
        // Folder times are coarse: make sure this change is seen.
        const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + 10, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(dir.path()).constData(), times, 0), 0);
        QVERIFY(index.refreshIfChanged());
        QCOMPARE(index.iconValuesFor("gizmo"), QStringList{"gizmo-icon"});
        QCOMPARE(index.iconValuesFor("GIZ"), QStringList{"gizmo-icon"});
        QVERIFY(!index.refreshIfChanged());
    }

    void liveBusyChildShowsShareAndRunning() {
        QProcess busy;
        busy.start("sh", {"-c", "while :; do :; done"});
        QVERIFY(busy.waitForStarted());
        const QString pid = QString::number(busy.processId());
        ProcessScanner scanner;
        DetailsProcess seen;
        const bool found = TestSupport::waitFor([&] {
            QThread::msleep(200);
            seen = byPid(scanner.scan(QString())).value(pid);
            return seen.cpuUsage.toDouble() > 0 && seen.state == "R (running)";
        });
        busy.kill();
        busy.waitForFinished();
        QVERIFY2(found, qPrintable(seen.cpuUsage + " " + seen.state));
        QVERIFY(seen.cpuUsage.toDouble() <= 100.0);
    }

    // Both a fetch and a change of the check box answer with a list.
    void workerAnswersEveryRequest() {
        WorkerProcesses worker;
        QSignalSpy spy(&worker, &WorkerProcesses::processListUpdated);
        worker.requestSetShowAllUsers(true);
        worker.fetchProcesses();
        QCOMPARE(spy.count(), 2);
        const QList<DetailsProcess> listed = spy.takeLast().at(0).value<QList<DetailsProcess>>();
        QVERIFY(byPid(listed).contains(QString::number(QCoreApplication::applicationPid())));
    }

    // A stopped process that used CPU since the last scan stays stopped.
    // Memory is re-read at a process's full reading every tenth scan; between
    // them an idle process keeps its figure, one that ran follows its
    // anonymous memory in statm, or is read again without one.
    void busyStoppedProcessAndMemoryReuse() {
        QTemporaryDir root;
        QVERIFY(QProcess::execute("cp", {"-a", TestSupport::testDataPath("proc") + "/.", root.path()}) == 0);
        SystemPaths::setRootPrefix(root.path());
        const QString proc = root.path() + "/proc/";
        QVERIFY(writeFile(proc + "1600/status",
                          "Name:\tpaused\nState:\tT (stopped)\nUid:\t4242\t4242\t4242\t4242\n"));
        QVERIFY(writeFile(proc + "1900/statm", "900 300 200 10 0 100 0\n")); // 400 kB anonymous
        ProcessScanner scanner;
        QCOMPARE(byPid(scanner.scan(QString())).value("1600").memory, QString("1.00 GB"));
        QVERIFY(
            writeFile(proc + "1900/stat", "1900 (fooapp) S 1 1 1 0 -1 0 0 0 0 0 50 5 0 0 20 0 1 0 80003\n"));
        QVERIFY(writeFile(proc + "1900/statm", "900 425 200 10 0 100 0\n")); // 500 kB more
        QVERIFY(writeFile(proc + "1900/smaps_rollup", "Private_Dirty: 7 kB\n"));
        QVERIFY(writeFile(proc + "1600/stat",
                          "1600 (paused) T 1 1 1 0 -1 0 0 0 0 0 9000 5 0 0 39 15 1 0 80000\n"));
        QVERIFY(writeFile(proc + "1600/smaps_rollup", "Private_Clean: 1 kB\nPrivate_Dirty: 1 kB\n"));
        QVERIFY(writeFile(proc + "1200/smaps_rollup", "Private_Clean: 500 kB\nPrivate_Dirty: 500 kB\n"));
        QThread::msleep(20);
        QHash<QString, DetailsProcess> all = byPid(scanner.scan(QString()));
        QVERIFY(all.value("1600").cpuUsage.toDouble() > 0);
        QCOMPARE(all.value("1600").state, QString("T (stopped)"));
        QCOMPARE(all.value("1600").memory, QString("2 KB"));   // it ran: read again
        QCOMPARE(all.value("1200").memory, QString("148 KB")); // idle: the figure read before
        QCOMPARE(all.value("1900").memory, QString("1.5 MB")); // 1000 kB read, 500 kB grown
        for (int scan = 3; scan <= 10; ++scan)
            all = byPid(scanner.scan(QString()));
        QCOMPARE(all.value("1200").memory, QString("148 KB"));
        all = byPid(scanner.scan(QString())); // the eleventh is their full reading
        QCOMPARE(all.value("1200").memory, QString("1.0 MB"));
        QCOMPARE(all.value("1900").memory, QString("7 KB"));
    }

    // A process seen for the first time is read at once unless the scan has
    // walked its share of resident memory already (small ones are read all
    // the same): then, until its full reading, it shows its resident
    // anonymous memory.
    void largeNewProcessesReadWithinABound() {
        QTemporaryDir root;
        QVERIFY(QProcess::execute("cp", {"-a", TestSupport::testDataPath("proc") + "/.", root.path()}) == 0);
        SystemPaths::setRootPrefix(root.path());
        const QString proc = root.path() + "/proc/";
        const QStringList later{"1600", "1700", "1800", "1900"};
        for (const QString& pid : later)
            QVERIFY(QDir().rename(proc + pid, root.path() + "/" + pid));
        ProcessScanner scanner;
        QVERIFY(!byPid(scanner.scan(QString())).contains("1900"));

        for (const QString& pid : later)
            QVERIFY(QDir().rename(root.path() + "/" + pid, proc + pid));
        // Pages of 4 kB: 100 GB resident, all but 1 MB of it anonymous,
        // beyond any bound; 40 MB and 20 MB, which fit it together; 12 MB,
        // which fits what they leave only when small ones are always read.
        QVERIFY(writeFile(proc + "1900/statm", "30000000 26214400 256 10 0 100 0\n"));
        QVERIFY(writeFile(proc + "1700/statm", "20000 10240 10000 10 0 100 0\n"));
        QVERIFY(writeFile(proc + "1800/statm", "20000 5120 5000 10 0 100 0\n"));
        QVERIFY(writeFile(proc + "1600/statm", "20000 3072 3000 10 0 100 0\n"));
        QHash<QString, DetailsProcess> all = byPid(scanner.scan(QString()));
        QCOMPARE(all.value("1900").memory, QString("104.86 GB"));
        QCOMPARE(all.value("1700").memory, QString("3 KB"));
        QCOMPARE(all.value("1800").memory, QString("999 KB"));
        QCOMPARE(all.value("1600").memory, QString("1.00 GB"));

        // Two of 40 MB do not fit together: one is read, one estimated.
        for (const QString& pid : QStringList{"2100", "2200"}) {
            QVERIFY(QProcess::execute("cp", {"-a", proc + "1300", proc + pid}) == 0);
            QVERIFY(writeFile(proc + pid + "/statm", "20000 10240 9640 10 0 100 0\n"));
        }
        all = byPid(scanner.scan(QString()));
        const QStringList pair{all.value("2100").memory, all.value("2200").memory};
        QVERIFY2(pair == QStringList({"999 KB", "2.4 MB"}) || pair == QStringList({"2.4 MB", "999 KB"}),
                 qPrintable(pair.join(", ")));
        for (int scan = 4; scan <= 10; ++scan)
            all = byPid(scanner.scan(QString()));
        QCOMPARE(all.value("1900").memory, QString("104.86 GB"));
        all = byPid(scanner.scan(QString())); // the eleventh is their full reading
        QCOMPARE(all.value("1900").memory, QString("1.0 MB"));
        QCOMPARE(all.value("2100").memory, QString("999 KB"));
        QCOMPARE(all.value("2200").memory, QString("999 KB"));
    }

    // A process that has not run since its full reading and whose resident
    // pages stayed as they were is read again at every third full reading;
    // one that ran, or whose pages changed, at the next.
    void quietProcessReadLessOften() {
        QTemporaryDir root;
        QVERIFY(QProcess::execute("cp", {"-a", TestSupport::testDataPath("proc") + "/.", root.path()}) == 0);
        SystemPaths::setRootPrefix(root.path());
        const QString proc = root.path() + "/proc/";
        for (const QString& pid : QStringList{"1300", "1800", "1900"})
            QVERIFY(writeFile(proc + pid + "/statm", "900 300 200 10 0 100 0\n"));
        ProcessScanner scanner;
        QHash<QString, DetailsProcess> all = byPid(scanner.scan(QString()));
        QCOMPARE(all.value("1800").memory, QString("999 KB"));

        for (const QString& pid : QStringList{"1300", "1800", "1900"})
            QVERIFY(writeFile(proc + pid + "/smaps_rollup", "Private_Dirty: 5 kB\n"));
        // One page more, file-backed: the anonymous memory stays.
        QVERIFY(writeFile(proc + "1900/statm", "900 301 201 10 0 100 0\n"));
        // It ran, and its pages are as they were.
        QVERIFY(
            writeFile(proc + "1300/stat",
                      "1300 (my ) (prog) S 1 1300 1300 0 -1 4194560 10 0 0 0 90 23 0 0 15 -5 1 0 70001\n"));
        for (int scan = 2; scan <= 11; ++scan)
            all = byPid(scanner.scan(QString()));
        QCOMPARE(all.value("1800").memory, QString("999 KB"));
        QCOMPARE(all.value("1900").memory, QString("5 KB"));
        QCOMPARE(all.value("1300").memory, QString("5 KB"));
        for (int scan = 12; scan <= 31; ++scan)
            all = byPid(scanner.scan(QString()));
        QCOMPARE(all.value("1800").memory, QString("5 KB"));
    }
};

QTEST_GUILESS_MAIN(TestProcessScanner)
#include "tst_processscanner.moc"
