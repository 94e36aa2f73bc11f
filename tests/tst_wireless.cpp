#include "mainwindow.h"
#include "systempaths.h"
#include "tabnetworkingwireless.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "wirelessparsing.h"
#include "workernetworkingwireless.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <unistd.h>

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();
QString fixture(const QString& name) {
    QFile file(TestSupport::testDataPath("wireless/" + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtWarningMsg)
        warnings << message;
}

// Stand-ins for nmcli, iw, ip and sudo: each logs its argument list, one
// argument per line, and prints the recorded output its arguments ask for.
class StandInTools {
public:
    // Without a radio, iw fails as it does without the wireless stack.
    explicit StandInTools(const QString& nmcliDelay = "0", const QString& iwDev = "iw_dev.txt",
                          bool radio = true) {
        const QString data = TestSupport::testDataPath("wireless");
        write("nmcli", QString("sleep %1\ncase \"$1 $2\" in\n"
                               "  'device show') cat '%2/nmcli_device.txt' ;;\n"
                               "  'connection show') cat '%2/nmcli_connection.txt' ;;\nesac\n")
                           .arg(nmcliDelay, data));
        if (radio)
            write("iw", QString("case \"$*\" in\n  dev) cat '%1/%2' ;;\n  *link) cat '%1/iw_link.txt' ;;\n"
                                "  *'scan dump') exit 0 ;;\n  *scan) cat '%1/scan.txt' ;;\nesac\n")
                            .arg(data, iwDev));
        else
            write("iw", "echo 'nl80211 not found.' >&2; exit 1\n");
        write("ip", QString("cat '%1/ip_route.txt'\n").arg(data));
        write("sudo", "\"$@\"\n");
        SystemPaths::prependSearchPath(dir.path());
        QDir(proc.path()).mkpath("proc/net");
        QFile wireless(proc.filePath("proc/net/wireless"));
        wireless.open(QIODevice::WriteOnly);
        wireless.write(fixture("proc_net_wireless.txt").toUtf8());
        if (radio)
            QDir(proc.path()).mkpath("sys/class/ieee80211/phy0");
        SystemPaths::setRootPrefix(proc.path());
    }
    ~StandInTools() {
        SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        SystemPaths::setRootPrefix(QString());
    }
    QString callLog() const { return dir.filePath("calls"); }
    // Every call as "tool arg arg ...", arguments separated by "|".
    QStringList calls() const {
        QFile log(dir.filePath("calls"));
        log.open(QIODevice::ReadOnly);
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    void write(const QString& name, const QString& body) {
        const QString log = QString("{ printf '%1'; for a in \"$@\"; do printf '|%s' \"$a\"; done; echo; "
                                    "} >> '%2/calls'\n")
                                .arg(name, dir.path());
        TestSupport::writeScript(dir.filePath(name), (log + body).toUtf8());
    }
    QTemporaryDir dir;
    QTemporaryDir proc;
};
} // namespace

class TestWireless : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> ui;

private slots:
    void initTestCase() {
        QVERIFY(ownNetwork || geteuid() != 0);
        window = std::make_unique<QMainWindow>();
        ui = std::make_unique<Ui::MainWindow>();
        ui->setupUi(window.get());
    }

    void parsesRecordedOutputs() {
        const wireless::LinkFigures figures =
            wireless::parseProcNetWireless(fixture("proc_net_wireless.txt"), "wlp2s0");
        QCOMPARE(figures.link, 70.0);
        QCOMPARE(figures.level, -40.0);
        QCOMPARE(wireless::firstWirelessInterface(fixture("iw_dev.txt")), QString("wlp2s0"));
        QCOMPARE(wireless::linkFrequencyText(fixture("iw_link.txt")), QString("5G (5180 MHz)"));
        QCOMPARE(wireless::linkFrequencyText("\tfreq: 2437.0\n"), QString("2437.0 MHz"));
        QCOMPARE(wireless::bssidFromLink(fixture("iw_link.txt")), QString("70:B3:D5:F2:F0:11"));
        for (const auto& [state, text] : {std::pair{"100 (connected)", "Connected"},
                                          {"20 (unavailable)", "Disconnected"},
                                          {"70 (connecting)", "Unknown Status"}})
            QCOMPARE(wireless::connectionStateToString(state), QString(text));
        // The gateway of this very interface, not of one whose name starts alike.
        QCOMPARE(wireless::defaultGateway(fixture("ip_route.txt"), "wlp2s0"), QString("192.168.1.1"));
        QCOMPARE(wireless::defaultGateway(fixture("ip_route.txt"), "eth0"), QString("N/A"));
        // The key management value decides, not WEP fields every security section prints.
        QCOMPARE(wireless::encryptionFromKeyManagement(wireless::extractValue(
                     fixture("nmcli_connection.txt"), "802-11-wireless-security.key-mgmt")),
                 QString("WPA2"));
        QCOMPARE(wireless::encryptionFromKeyManagement("sae"), QString("WPA3"));
        QCOMPARE(wireless::encryptionFromKeyManagement(""), QString("None"));
        QCOMPARE(wireless::encryptionFromKeyManagement("none"), QString("WEP"));
    }

    void scanDescribesTheWholeNetwork() {
        const wireless::RouterScan scan = wireless::parseScan(fixture("scan.txt"));
        QVERIFY(scan.associated);
        QCOMPARE(scan.uptime, QString("1D 10:17:36"));
        QCOMPARE(scan.channels, QString("36, 6")); // sorted as text
        QCOMPARE(scan.frequencies, QString("2.4G, 5G"));
        QCOMPARE(scan.protocols, QString("802.11ax/ac/n/g/b"));
        QCOMPARE(scan.encryption, QString("TKIP, WPA2"));
        QCOMPARE(scan.authentication, QString("PSK"));
        QVERIFY(!wireless::parseScan("BSS 00:11:22:33:44:55(on wlan0)\n\tSSID: x\n").associated);
        QCOMPARE(wireless::scanBandText(5925), QString("5G"));
        QCOMPARE(wireless::scanBandText(5955), QString("6G"));
    }

    // Only its own header line marks the connected access point, and the link
    // names which one it is: not a network named "x -- associated" or like a
    // header line, nor a header that a neighbour's WPS strings print (iw
    // writes those as they are, line breaks and all). A field counts on its
    // own line only: a network may be named "freq: 1".
    void scanReadsEachFieldOnItsOwnLine() {
        const wireless::RouterScan scan =
            wireless::parseScan(fixture("scan_spoofed.txt"), "70:B3:D5:F2:F0:11");
        QCOMPARE(scan.bssid, QString("70:B3:D5:F2:F0:11"));
        QCOMPARE(scan.uptime, QString("1D 10:17:36"));
        QCOMPARE(scan.channels, QString("36, 6"));
        QCOMPARE(scan.protocols, QString("802.11ax/ac/n/g/b"));
        QCOMPARE(wireless::linkFrequencyText("Connected to 70:b3:d5:f2:f0:11 (on wlp2s0)\n"
                                             "\tSSID: x freq: 1\n\tfreq: 5180\n"),
                 QString("5G (5180 MHz)"));
    }

    // iw names the capability elements in lower case ("HT capabilities:")
    // and prints their details a level deeper; a network name is no element.
    void protocolsFromTheElementsIwPrints() {
        const QString scan = QStringLiteral(
            "BSS 70:b3:d5:f2:f0:20(on wlp2s0) -- associated\n"
            "\tfreq: 2437\n\tSSID: Flat\n\tSupported rates: 1.0* 2.0* 5.5* 11.0* 6.0 9.0 12.0 18.0 \n"
            "\tHT capabilities:\n\t\tCapabilities: 0x1ad\n\t\t\tRX LDPC\n\t\t\tHT20\n"
            "BSS 70:b3:d5:f2:f0:21(on wlp2s0)\n"
            "\tfreq: 5180\n\tSSID: Flat\n"
            "\tHT capabilities:\n\t\tCapabilities: 0x9ef\n"
            "\tVHT capabilities:\n\t\tVHT Capabilities (0x0f8b69b5):\n"
            "\tHE capabilities:\n\t\tHE MAC Capabilities (0x000801185018):\n"
            "BSS 00:22:72:aa:bb:cc(on wlp2s0)\n\tfreq: 2412\n\tSSID: HE capabilities\n");
        QCOMPARE(wireless::parseScan(scan).protocols, QString("802.11ax/ac/n/b"));
        QCOMPARE(wireless::parseScan(QString(scan).replace("\tHE capabilities:", "\tExtended capabilities:"))
                     .protocols,
                 QString("802.11ac/n/b"));
        QCOMPARE(wireless::parseScan(scan.left(scan.indexOf("BSS 70:b3:d5:f2:f0:21"))).protocols,
                 QString("802.11n/b"));
    }

    void vendorTable() {
        wireless::VendorTable table;
        table.load("# comment\n\n00:22:72\tAmerican\tAmerican Micro-Fuel Device Corp.\n"
                   "00:22:72:A0:00:00/36\tTiny\tTiny Block Ltd\n");
        QCOMPARE(table.lookup("00:22:72:a0:01:02", true), QString("Tiny Block Ltd"));
        QCOMPARE(table.lookup("00-22-72-B0-01-02", false), QString("American"));
        QCOMPARE(table.lookup("FF:FF:FF:00:00:00", true), QString("Unknown Vendor"));

        // The table made from the IEEE registries loads without a warning.
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
        const QString vendor = WorkerNetworkingWireless::lookupVendor("00:22:72:01:02:03", true);
        qInstallMessageHandler(previous);
        QCOMPARE(vendor, QString("American Micro-Fuel Device Corp."));
        QCOMPARE(warnings, QStringList());
    }

    // A hostile interface name is one argument of each tool, never shell text.
    void workerRunsNoShell() {
        StandInTools tools;
        WorkerNetworkingWireless worker;
        WirelessRouterInfo router;
        WirelessStats stats;
        connect(&worker, &WorkerNetworkingWireless::routerInfoUpdated,
                [&](const auto& info) { router = info; });
        connect(&worker, &WorkerNetworkingWireless::wirelessStatsUpdated, [&](const auto& s) { stats = s; });
        const QString hostile = "wl'; touch pwned; '";
        worker.fetchRouterInfo(hostile);
        worker.fetchWirelessStats("wlp2s0");
        QVERIFY(!QFile::exists("pwned"));
        QVERIFY(tools.calls().contains("iw|dev|" + hostile + "|link"));
        QVERIFY(tools.calls().contains("ip|-4|route|show|default"));
        QCOMPARE(router.routerIPAddress, QString("N/A")); // no default route through that name
        QCOMPARE(stats.encryption, QString("WPA2"));
        QVERIFY(tools.calls().contains("nmcli|connection|show|id|Home-5G"));
    }

    void pageFollowsTheLink() {
        StandInTools tools;
        auto tab = std::make_unique<TabNetworkingWireless>(ui.get(), window.get());
        QTRY_COMPARE(tab->interfaceName(), QString("wlp2s0"));
        QSignalSpy routerRequests(tab.get(), &TabNetworkingWireless::requestUpdateRouterInfo);
        tab->startTimer();
        QTRY_COMPARE(ui->labelWirelessSSID->text(), QString("Home-5G"));
        QCOMPARE(ui->labelWirelessSignalQuality->text(), QString("100%"));
        QCOMPARE(ui->labelWirelessNoiseLevel->text(), QString("N/A"));
        QVERIFY(ui->progressBarLinkQuality->styleSheet().contains("#4CAF50"));
        QTRY_COMPARE(ui->labelWirelessUptime->text().left(6), QString("1D 10:"));
        QCOMPARE(ui->labelWirelessVendor->text(), QString("TELEPLATFORMS"));
        QSignalSpy polls(tab.get(), &TabNetworkingWireless::requestUpdateWirelessStats);
        QTRY_VERIFY(polls.count() >= 2); // more polls, all "Connected"
        QCOMPARE(routerRequests.count(), 1);

        tab->onWirelessStatsDataReady({13, -100, 0, "", "", "", "", "", "", "Disconnected"});
        QVERIFY(ui->progressBarLinkQuality->styleSheet().contains("background-color: red;"));
        QCOMPARE(ui->labelWirelessSignalStrength->text(), QString("N/A"));
        QCOMPARE(ui->labelWirelessVendor->text(), QString("N/A"));
        tab->stopTimer();
    }

    // Failed scans are retried ever less often, and not at all once the
    // link is down or the page hidden.
    void failedScansBackOff() {
        StandInTools tools;
        auto tab = std::make_unique<TabNetworkingWireless>(ui.get(), window.get());
        QTRY_COMPARE(tab->interfaceName(), QString("wlp2s0"));
        auto* retry = tab->findChild<QTimer*>("routerRetryTimer");
        QVERIFY(retry);
        tab->startTimer();
        tab->onWirelessStatsDataReady({70, -40, 0, "x", "", "", "", "", "", "Connected"});
        QCOMPARE(retry->interval(), 500);
        WirelessRouterInfo failedScan;
        failedScan.failed = true;
        for (int expected : {1000, 2000, 4000}) {
            tab->onRouterInfoDataReady(failedScan);
            QCOMPARE(retry->interval(), expected);
        }
        tab->onWirelessStatsDataReady({0, 0, 0, "", "", "", "", "", "", "Disconnected"});
        QVERIFY(!retry->isActive());
        tab->onRouterInfoDataReady(failedScan);
        QVERIFY(!retry->isActive());
    }

    // A slow nmcli never gets a second poll queued behind the first; with no
    // wireless interface no tool is started at all.
    void pollsNeverPileUpAndNothingRunsWithoutAnInterface() {
        {
            StandInTools tools("2");
            auto tab = std::make_unique<TabNetworkingWireless>(ui.get(), window.get());
            QTRY_COMPARE(tab->interfaceName(), QString("wlp2s0"));
            QSignalSpy ticks(tab->findChild<QTimer*>("pollTimer"), &QTimer::timeout);
            tab->startTimer();
            QTRY_VERIFY(ticks.count() >= 3); // while the first poll still runs
            tab->stopTimer();
            // Answered after whatever was queued before it.
            emit tab->requestWirelessInterface();
            QTRY_COMPARE(tools.calls().count("iw|dev"), 2);
            QCOMPARE(tools.calls().filter("nmcli|device|show").size(), 1);
        }
        StandInTools tools("0", "iw_dev_none.txt");
        auto tab = std::make_unique<TabNetworkingWireless>(ui.get(), window.get());
        QTRY_COMPARE(ui->labelWirelessConnectionStatus->text(), QString("No wireless interface found"));
        tab->startTimer();
        QVERIFY(!tab->isPolling()); // nothing to poll, no timer to wait for
        QCOMPARE(tools.calls(), QStringList{"iw|dev"});
        QCOMPARE(ui->labelWirelessSSID->text(), QString("N/A"));
        QCOMPARE(ui->progressBarLinkQuality->value(), 0);
        tab.reset();

        // A machine without a radio: not even iw runs, and nothing is
        // written to stderr.
        StandInTools noRadio("0", "iw_dev_none.txt", false);
        WorkerNetworkingWireless worker;
        QSignalSpy found(&worker, &WorkerNetworkingWireless::wirelessInterfaceUpdated);
        warnings.clear();
        {
            const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
            auto restore = qScopeGuard([&] { qInstallMessageHandler(previous); });
            worker.findWirelessInterface();
        }
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.first().first().toString(), QString());
        QVERIFY(!QFile::exists(noRadio.callLog())); // no tool ran
    }

    void uptimeTicksAndVendorIsElided() {
        StandInTools tools("0", "iw_dev_none.txt");
        auto tab = std::make_unique<TabNetworkingWireless>(ui.get(), window.get());
        tab->onRouterInfoDataReady(
            {"1.2.3.4", "AA", QString(30, 'v'), false, "1", "2.4G", "", "1D 23:59:59", "WPA2", "PSK"});
        QCOMPARE(ui->labelWirelessProtocols->text(), QString("N/A"));
        QCOMPARE(ui->labelWirelessVendor->text(), QString(27, 'v') + "...");
        tab->updateUptime();
        QCOMPARE(ui->labelWirelessUptime->text(), QString("2D 00:00:00"));
    }
};

QTEST_MAIN(TestWireless)
#include "tst_wireless.moc"
