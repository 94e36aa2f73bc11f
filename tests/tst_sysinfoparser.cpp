#include "sysinfofigures.h"
#include "sysinfoparser.h"
#include "testsupport.h"

#include <QtTest>

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

// The readers behind the Overview's system panel, fed with captured tool output.
class TestSysInfoParser : public QObject {
    Q_OBJECT
private slots:
    void gpu_data() {
        QTest::addColumn<QString>("lspci");
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("model");
        // The card's own line names the model, not the first bracket of the listing.
        QTest::newRow("Intel plus NVIDIA") << fixture("lspci-intel-nvidia.txt") << "Nvidia"
                                           << "GeForce GTX 1650 Mobile / Max-Q";
        QTest::newRow("AMD tag before the model") << fixture("lspci-amd.txt") << "AMD"
                                                  << "Radeon RX 6600/6600 XT/6600M";
        QTest::newRow("Intel without brackets") << fixture("lspci-intel.txt") << "Intel"
                                                << "UHD Graphics 620";
        QTest::newRow("VMware") << fixture("lspci-vmware.txt") << "VMware"
                                << "SVGA II Adapter";
        QTest::newRow("VirtualBox") << fixture("lspci-virtualbox.txt") << "VirtualBox"
                                    << "VirtualBox Graphics Adapter";
        QTest::newRow("QEMU") << "00:02.0 VGA compatible controller: QEMU Virtual Video (rev 02)\n"
                              << "QEMU"
                              << "QEMU Virtual GPU";
        QTest::newRow("no display controller") << fixture("lspci-virtio.txt") << "Unknown"
                                               << "Unknown GPU";
    }
    void gpu() {
        QFETCH(QString, lspci);
        const GpuIdentity gpu = identifyGpu(displayControllerLines(lspci));
        QTEST(gpu.vendor, "vendor");
        QTEST(gpu.model, "model");
    }

    void driverLabel_data() {
        QTest::addColumn<QString>("driverText");
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("label");
        QTest::newRow("Mesa from glxinfo") << glxOpenGlVersion(fixture("glxinfo-mesa.txt")) << "Intel"
                                           << "Mesa 23.2.1";
        QTest::newRow("NVIDIA from glxinfo") << glxOpenGlVersion(fixture("glxinfo-nvidia.txt")) << "Nvidia"
                                             << "4.6.0 NVIDIA 535.154.05";
        QTest::newRow("amdgpu with version")
            << QString("AMDGPU %1 (open-source)").arg(modinfoVersion(fixture("modinfo-amdgpu.txt"))) << "AMD"
            << "AMDGPU";
        QTest::newRow("Intel fallback") << "Intel driver not installed or in use"
                                        << "Intel"
                                        << "Intel";
        QTest::newRow("Nouveau keeps its words") << "Nouveau (open-source)"
                                                 << "Nvidia"
                                                 << "Nouveau (open-source)";
        QTest::newRow("nothing") << ""
                                 << "AMD"
                                 << "Driver version not available";
    }
    void driverLabel() {
        QFETCH(QString, driverText);
        QFETCH(QString, vendor);
        QTEST(openGlLabel(shortenDriverText(driverText, vendor)), "label");
    }

    void toolFields() {
        QCOMPARE(modinfoVersion(fixture("modinfo-amdgpu.txt")), QString("3.54.0"));
        QCOMPARE(modinfoVersion(fixture("modinfo-nouveau.txt")), QString()); // srcversion is no version
        QVERIFY(lsmodMentions(fixture("lsmod-amdgpu.txt"), "amdgpu"));
        QCOMPARE(clinfoDriverVersion("  Platform Name: AMD\n  Driver version:  3614.0 (PAL,LC)\n"),
                 QString("3614.0 (PAL,LC)"));
        QCOMPARE(xorgIntelDriverVersion(
                     "[    18.412] (II) Module intel: vendor=\"X.Org Foundation\"\n"
                     "[    18.412] \tcompiled for 1.21.1.3, module version = 2.99.917\n"
                     "[    18.413] (II) intel: Driver for Intel(R) HD Graphics, version 2.99.917\n"),
                 QString("2.99.917"));
        QCOMPARE(windowManagerName(fixture("wmctrl-m-xfwm.txt")), QString("XFWM4"));
        QCOMPARE(windowManagerName("Name: Openbox\nClass: \n"), QString("Openbox"));
        QCOMPARE(windowManagerName("PID: N/A\n"), QString());
        QCOMPARE(desktopVersion("GNOME Shell 42.9\n"), QString("42.9"));
        QCOMPARE(desktopVersion("xfce4-session 4.18.1 (Xfce 4.18)\n\nCopyright (c) 2003-2023\n"),
                 QString("4.18.1"));
        QCOMPARE(desktopVersion("plasmashell 5.27.5-1ubuntu1\n"), QString("5.27.5-1ubuntu1"));
        QCOMPARE(desktopVersion(""), QString("Unknown"));
        QCOMPARE(audioDevice(fixture("lspci-vmm-laptop.txt")), QString("Comet Lake PCH cAVS"));
        QCOMPARE(audioDevice(fixture("lspci-vmm-virtio.txt")), QString());
    }

    void osRelease_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("basedOn");
        QTest::newRow("Ubuntu") << "root/etc/os-release"
                                << "Ubuntu"
                                << "22.04.4 LTS (Jammy Jellyfish)"
                                << "Debian";
        QTest::newRow("Debian has no base") << "os-release-debian"
                                            << "Debian GNU/Linux"
                                            << "12 (bookworm)"
                                            << "";
        QTest::newRow("two bases") << "os-release-mint"
                                   << "Linux Mint"
                                   << "21.3 (Virginia)"
                                   << "Ubuntu debian";
    }
    void osRelease() {
        QFETCH(QString, file);
        const OsRelease release = parseOsRelease(fixture(file));
        QTEST(release.name, "name");
        QTEST(release.version, "version");
        QTEST(release.basedOn, "basedOn");
    }

    void cpu() {
        const QString intel = fixture("root/proc/cpuinfo");
        QCOMPARE(cpuModel(intel), QString("Intel(R) Core(TM) i7-8550U"));
        QCOMPARE(cpuSpeed(intel), QString("1.80 GHz"));
        const QString amd = fixture("cpuinfo-amd");
        QCOMPARE(cpuModel(amd), QString("AMD Ryzen 7 5800X 8-Core Processor"));
        QCOMPARE(cpuSpeed(amd), QString("Unknown Speed"));
        QCOMPARE(cpuModel("processor : 0\nBogoMIPS : 48.00\n"), QString("Unknown CPU Model"));
    }

    void ram_data() {
        QTest::addColumn<QString>("dmidecode");
        QTest::addColumn<bool>("virtualMachine");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("text");
        // Volatile Size lines are no further modules.
        QTest::newRow("two DDR4 and empty slots")
            << fixture("dmidecode-ddr4-two.txt") << false << qint64(16) << "16 GB DDR4 (2 Sticks)";
        QTest::newRow("soldered LPDDR5")
            << fixture("dmidecode-lpddr5.txt") << false << qint64(16) << "16 GB LPDDR5 (2 Sticks)";
        QTest::newRow("size in MB") << fixture("dmidecode-mb-ddr3.txt") << false << qint64(4)
                                    << "4 GB DDR3 (1 Stick)";
        QTest::newRow("no table") << "" << false << qint64(16) << "Could not retrieve RAM information";
        QTest::newRow("virtual") << "" << true << qint64(8) << "8 GB Virtual RAM";
        QTest::newRow("no total") << "" << true << qint64(0) << "Could not retrieve RAM information";
    }
    void ram() {
        QFETCH(QString, dmidecode);
        QFETCH(bool, virtualMachine);
        QFETCH(qint64, total);
        QTEST(ramInfo(virtualMachine, total, parseDmidecodeMemory(dmidecode)), "text");
    }

    void disks_data() {
        QTest::addColumn<QString>("lsblk");
        QTest::addColumn<QString>("text");
        // NVMe and virtio disks count; loop, optical, RAM and empty devices do not.
        QTest::newRow("NVMe and SATA") << fixture("lsblk-nvme-hdd.txt") << "512 GB SSD, 1.5 TB SSD, 2 TB HDD";
        QTest::newRow("virtio") << fixture("lsblk-virtio.txt") << "274 GB HDD";
        QTest::newRow("rounding") << fixture("lsblk-scsi-only.txt") << "999 GB SSD, 2 TB HDD";
        QTest::newRow("header only") << "NAME SIZE ROTA TYPE\n"
                                     << "";
    }
    void disks() {
        QFETCH(QString, lsblk);
        QTEST(diskInfo(lsblk), "text");
    }

    void uptime_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("hour") << 3725.9 << "0D 01:02:05";
        QTest::newRow("days") << 200000.5 << "2D 07:33:20";
        QTest::newRow("a year") << 31536000.0 << "365D 00:00:00";
    }
    void uptime() {
        QFETCH(double, seconds);
        QTEST(formatUptime(seconds, "D"), "text");
        QCOMPARE(parseUptime(QString::number(seconds, 'f', 2) + " 1234.56\n").value_or(-1),
                 std::floor(seconds * 100 + 0.5) / 100);
    }

    void memory_data() {
        QTest::addColumn<QString>("meminfo");
        QTest::addColumn<QString>("ram");
        QTest::addColumn<QString>("swap");
        QTest::newRow("16 GB") << fixture("root/proc/meminfo") << "4.9 GB/16 GB"
                               << "2.3 GB/8 GB";
        QTest::newRow("little used") << "MemTotal: 16303000 kB\nMemAvailable: 16000000 kB\n"
                                     << "295 MB/16 GB"
                                     << "0 MB/0 GB";
        QTest::newRow("not snapped") << "MemTotal: 16000000 kB\nMemAvailable: 8000000 kB\n"
                                     << "7.8 GB/15.6 GB"
                                     << "0 MB/0 GB";
        QTest::newRow("old kernel") << "MemTotal: 4030000 kB\nMemFree: 1000000 kB\nBuffers: 200000 kB\n"
                                       "Cached: 1000000 kB\nSwapCached: 999999 kB\nbroken line\n"
                                    << "1.8 GB/4 GB"
                                    << "0 MB/0 GB";
    }
    void memory() {
        QFETCH(QString, meminfo);
        const MemInfo info = parseMemInfo(meminfo);
        QTEST(formatRamUsage(info), "ram");
        QTEST(formatSwapUsage(info), "swap");
    }

    void counts() {
        QCOMPARE(parseLoadavgTaskCount("0.33 0.13 0.04 7/195 11657\n").value_or(-1), 195);
        QVERIFY(!parseLoadavgTaskCount("0.33 0.13\n"));
        // Sticky windows (desktop -1) are left out; a title holding " -1 " is not.
        QCOMPARE(countDesktopWindows(fixture("wmctrl-lx.txt")), 3);
        QCOMPARE(countDesktopWindows(""), 0);
        QCOMPARE(countLoggedInUsers(fixture("who.txt")), 3);
    }

    void cronJobs_data() {
        QTest::addColumn<QString>("crontab");
        QTest::addColumn<bool>("system");
        QTest::addColumn<int>("jobs");
        const QString mixed = "# m h dom mon dow command\n\nMAILTO=root\n@reboot /usr/local/bin/start\n"
                              "*/5 * * * * backup\n";
        QTest::newRow("user crontab") << mixed << false << 2;
        QTest::newRow("as system crontab") << mixed << true << 1;
        QTest::newRow("system with user") << "17 * * * * root cd / && run-parts --report /etc/cron.hourly\n"
                                          << true << 1;
        QTest::newRow("incomplete lines") << "* * * * *\n@daily\n0 5 * * mon /named/day\n" << false << 0;
    }
    void cronJobs() {
        QFETCH(QString, crontab);
        QFETCH(bool, system);
        QTEST(countCronJobs(crontab, system), "jobs");
    }
};

QTEST_GUILESS_MAIN(TestSysInfoParser)
#include "tst_sysinfoparser.moc"
