#include "sysinfofigures.h"
#include "sysinfoparser.h"
#include "testsupport.h"

#include <QtTest>

#include <cstring>
#include <utmp.h>

using namespace SysInfoParser;
using namespace SysInfoFigures;

namespace {
QString fixture(const QString& name) {
    QFile file(TestSupport::testDataPath(QStringLiteral("sysinfo/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return QString::fromUtf8(file.readAll());
}
} // namespace

// The readers behind the Overview's system panel, for the cases the
// stand-in tool runs of tst_sysinfopanel do not reach.
class TestSysInfoParser : public QObject {
    Q_OBJECT
private slots:
    void gpu_data() {
        QTest::addColumn<QString>("lspci");
        QTest::addColumn<QString>("text");
        QTest::newRow("VMware") << fixture("lspci-vmware.txt") << "VMware: SVGA II Adapter";
        QTest::newRow("VirtualBox") << fixture("lspci-virtualbox.txt")
                                    << "VirtualBox: VirtualBox Graphics Adapter";
        QTest::newRow("QEMU") << "00:02.0 VGA compatible controller: QEMU Virtual Video (rev 02)\n"
                              << "QEMU: QEMU Virtual GPU";
        QTest::newRow("NVIDIA without a model name")
            << "01:00.0 VGA compatible controller: NVIDIA Corporation "
               "Device 2504 (rev a1)\n"
            << "Nvidia: Device 2504";
    }
    void gpu() {
        QFETCH(QString, lspci);
        const GpuIdentity gpu = identifyGpu(displayControllerLines(lspci));
        QTEST(gpu.vendor + ": " + gpu.model, "text");
    }

    void driverTexts() {
        QCOMPARE(shortenDriverText("Intel driver not installed or in use", "Intel"), QString("Intel"));
        QCOMPARE(shortenDriverText("", "AMD"), QString("Driver version not available"));
        QCOMPARE(modinfoVersion(fixture("modinfo-nouveau.txt")), QString()); // srcversion is no version
        QCOMPARE(clinfoDriverVersion("  Platform Name: AMD\n  Driver version:  3614.0 (PAL,LC)\n"),
                 QString("3614.0 (PAL,LC)"));
        QCOMPARE(xorgIntelDriverVersion(
                     "[    18.412] (II) Module intel: vendor=\"X.Org Foundation\"\n"
                     "[    18.413] (II) intel: Driver for Intel(R) HD Graphics, version 2.99.917\n"),
                 QString("2.99.917"));
    }

    void osRelease() {
        const auto fields = [](const QString& file) {
            const OsRelease release = parseOsRelease(fixture(file));
            return QStringList({release.name, release.version, release.basedOn}).join('|');
        };
        QCOMPARE(fields("os-release-debian"), QString("Debian GNU/Linux|12 (bookworm)|"));
        QCOMPARE(fields("os-release-mint"), QString("Linux Mint|21.3 (Virginia)|Ubuntu debian"));
    }

    void cpuWithoutClock() {
        QCOMPARE(cpuModel(fixture("cpuinfo-amd")), QString("AMD Ryzen 7 5800X 8-Core Processor"));
        QCOMPARE(cpuSpeed(fixture("cpuinfo-amd")), QString("Unknown Speed"));
        QCOMPARE(cpuModel("processor : 0\nBogoMIPS : 48.00\n"), QString("Unknown CPU Model"));
    }

    void ramAndDisks() {
        QCOMPARE(ramInfo(false, 4, parseDmidecodeMemory(fixture("dmidecode-mb-ddr3.txt"))),
                 QString("4 GB DDR3 (1 Stick)"));
        QCOMPARE(ramInfo(false, 16, {}), QString("Could not retrieve RAM information"));
        QCOMPARE(diskInfo(fixture("lsblk-scsi-only.txt")), QString("999 GB SSD, 2 TB HDD"));
        QCOMPARE(diskInfo("NAME SIZE ROTA TYPE\n"), QString());
    }

    void uptimeAndMemory() {
        QCOMPARE(formatUptime(31536000.0, "D"), QString("365D 00:00:00"));
        const auto usage = [](const QString& meminfo) {
            const MemInfo info = parseMemInfo(meminfo);
            return formatRamUsage(info) + ' ' + formatSwapUsage(info);
        };
        QCOMPARE(usage(fixture("root/proc/meminfo")), QString("4.9 GB/16 GB 2.3 GB/8 GB"));
        // 15.6 is not close enough to 16 to be shown as 16.
        QCOMPARE(usage("MemTotal: 16000000 kB\nMemAvailable: 8000000 kB\n"),
                 QString("7.8 GB/15.6 GB 0 MB/0 GB"));
        QCOMPARE(usage("MemTotal: 4030000 kB\nMemFree: 1000000 kB\nBuffers: 200000 kB\nCached: 1000000 kB\n"
                       "SwapCached: 999999 kB\nbroken line\n"),
                 QString("1.8 GB/4 GB 0 MB/0 GB"));
    }

    // Login records as the C library writes them: only live user processes
    // count, each user once, as "who" lists them.
    void loggedInUsersFromUtmp() {
        const auto record = [](short type, const char* user, pid_t pid) {
            struct utmp entry {};
            entry.ut_type = type;
            entry.ut_pid = pid;
            std::strncpy(entry.ut_user, user, sizeof entry.ut_user);
            return QByteArray(reinterpret_cast<const char*>(&entry), sizeof entry);
        };
        char longName[sizeof(utmp::ut_user)];
        std::memset(longName, 'x', sizeof longName); // fills the field: no terminating NUL
        QByteArray data = record(BOOT_TIME, "reboot", 0) + record(LOGIN_PROCESS, "LOGIN", 700) +
                          record(USER_PROCESS, "alice", 1001) + record(USER_PROCESS, "alice", 1002) +
                          record(USER_PROCESS, "bob", 1003) + record(DEAD_PROCESS, "carol", 1004) +
                          record(USER_PROCESS, "", 1005) + record(USER_PROCESS, "gone", 1006) +
                          record(USER_PROCESS, "", 0);
        data += record(USER_PROCESS, longName, 0);
        data += record(USER_PROCESS, "partial", 1007).left(100);
        const QVector<LoginRecords::Login> records = LoginRecords::parse(data);
        QStringList users;
        for (const LoginRecords::Login& login : records)
            users << login.user;
        QCOMPARE(users, QStringList({"alice", "alice", "bob", "gone", QString(sizeof longName, 'x')}));
        QCOMPARE(countLoggedInUsers(records, [](qint64 pid) { return pid != 1006; }), 3);
        QCOMPARE(countLoggedInUsers({}, [](qint64) { return true; }), 0);
    }
};

QTEST_GUILESS_MAIN(TestSysInfoParser)
#include "tst_sysinfoparser.moc"
