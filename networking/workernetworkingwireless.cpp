#include "workernetworkingwireless.h"

#include "commandrunner.h"
#include "systempaths.h"
#include "wirelessparsing.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcWireless, "tessmar.wireless", QtWarningMsg)

namespace {
// Wireless tools answer at once unless the driver is stuck; an active scan
// takes a few seconds.
constexpr int kToolTimeoutMs = 3000;
constexpr int kScanTimeoutMs = 15000;

QString runTool(const QString& program, const QStringList& arguments, int timeoutMs = kToolTimeoutMs) {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    // A scan prints 2 to 6 KB for every access point in range.
    options.maxOutputBytes = 16 * 1024 * 1024;
    const CommandResult result = CommandRunner::run(program, arguments, options);
    return result.succeeded() ? result.outputText() : QString();
}

// Every wireless device the kernel drives is listed there. Without one, iw
// has nothing to report (without the wireless stack it even fails with
// "nl80211 not found"): no tool is started for an expected absence.
bool hasWirelessDevice() {
    const QDir devices(SystemPaths::path(QStringLiteral("/sys/class/ieee80211")));
    return !devices.entryList(QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

QString orNotAvailable(const QString& value) {
    return value.isEmpty() || value == QLatin1String("--") ? QStringLiteral("N/A") : value;
}
} // namespace

WorkerNetworkingWireless::WorkerNetworkingWireless(QObject* parent) : QObject(parent) {
    qCDebug(lcWireless) << "We are here in Worker Networking Wireless";
}

WorkerNetworkingWireless::~WorkerNetworkingWireless() = default;

bool WorkerNetworkingWireless::nmcliAvailable() {
    if (!CommandRunner::resolveProgram(QStringLiteral("nmcli")).isEmpty())
        return true;
    if (!nmcliMissingLogged) {
        qWarning("nmcli (NetworkManager) is not installed: the wireless network name, addresses and "
                 "encryption show N/A");
        nmcliMissingLogged = true;
    }
    return false;
}

void WorkerNetworkingWireless::findWirelessInterface() {
    if (!hasWirelessDevice()) {
        qCDebug(lcWireless) << "No wireless device on this machine.";
        emit wirelessInterfaceUpdated(QString());
        return;
    }
    const QString output = runTool(QStringLiteral("iw"), {QStringLiteral("dev")});
    qCDebug(lcWireless) << "IW Dev Command Output:" << output;
    const QString name = wireless::firstWirelessInterface(output);
    if (name.isEmpty())
        qCDebug(lcWireless) << "No wireless interface found.";
    else
        qCDebug(lcWireless) << "First available wireless interface found:" << name;
    emit wirelessInterfaceUpdated(name);
}

void WorkerNetworkingWireless::fetchWirelessStats(const QString& interfaceName) {
    WirelessStats stats;
    const QString na = QStringLiteral("N/A");
    stats.ssid = stats.bssid = stats.macAddress = stats.ipAddress = stats.frequency = stats.encryption = na;
    QFile file(SystemPaths::path(QStringLiteral("/proc/net/wireless")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // Polled twice a second: said once.
        if (!wirelessFileMissingLogged)
            qWarning("Failed to open /proc/net/wireless");
        wirelessFileMissingLogged = true;
        stats.connectionStatus = QStringLiteral("Disconnected");
        emit wirelessStatsUpdated(stats);
        return;
    }
    const wireless::LinkFigures figures =
        wireless::parseProcNetWireless(QString::fromUtf8(file.readAll()), interfaceName);
    stats.linkQuality = int(figures.link);
    stats.signalLevel = int(figures.level);
    stats.noiseLevel = int(figures.noise);

    const QString link =
        runTool(QStringLiteral("iw"), {QStringLiteral("dev"), interfaceName, QStringLiteral("link")});
    stats.frequency = wireless::linkFrequencyText(link);
    stats.bssid = wireless::bssidFromLink(link);
    stats.connectionStatus = wireless::linkStatusFromIw(link);
    if (nmcliAvailable()) {
        const QString device = runTool(QStringLiteral("nmcli"),
                                       {QStringLiteral("device"), QStringLiteral("show"), interfaceName});
        stats.ssid = orNotAvailable(wireless::extractValue(device, QStringLiteral("GENERAL.CONNECTION")));
        stats.macAddress = orNotAvailable(wireless::extractValue(device, QStringLiteral("GENERAL.HWADDR")));
        stats.ipAddress = orNotAvailable(
            wireless::extractValue(device, QStringLiteral("IP4.ADDRESS[1]")).section(QLatin1Char('/'), 0, 0));
        if (!device.isEmpty())
            stats.connectionStatus = wireless::connectionStateToString(
                wireless::extractValue(device, QStringLiteral("GENERAL.STATE")));
        if (stats.ssid != na) {
            // "id" keeps a connection named like an nmcli keyword ("help")
            // from being read as one.
            const QString connection =
                runTool(QStringLiteral("nmcli"), {QStringLiteral("connection"), QStringLiteral("show"),
                                                  QStringLiteral("id"), stats.ssid});
            if (!connection.isEmpty())
                stats.encryption = wireless::encryptionFromKeyManagement(
                    wireless::extractValue(connection, QStringLiteral("802-11-wireless-security.key-mgmt")));
        }
    }
    emit wirelessStatsUpdated(stats);
}

void WorkerNetworkingWireless::fetchRouterInfo(const QString& interfaceName) {
    qCDebug(lcWireless) << "Wi-Fi info requested, will attempt to do a scan of" << interfaceName << "now";
    WirelessRouterInfo info;
    const QString routes = runTool(QStringLiteral("ip"), {QStringLiteral("-4"), QStringLiteral("route"),
                                                          QStringLiteral("show"), QStringLiteral("default")});
    info.routerIPAddress = wireless::defaultGateway(routes, interfaceName);
    info.bssid = wireless::bssidFromLink(
        runTool(QStringLiteral("iw"), {QStringLiteral("dev"), interfaceName, QStringLiteral("link")}));
    info.vendor = info.bssid == QLatin1String("N/A") ? info.bssid : lookupVendor(info.bssid, true);

    // The cached results of the last scan first: an active scan takes the
    // radio off its channel for a moment.
    // The access point the link names is the one the scan must mark.
    wireless::RouterScan scan =
        wireless::parseScan(runTool(QStringLiteral("iw"), {QStringLiteral("dev"), interfaceName,
                                                           QStringLiteral("scan"), QStringLiteral("dump")}),
                            info.bssid);
    if (!scan.associated) {
        const QString fresh =
            runTool(QStringLiteral("sudo"),
                    {QStringLiteral("iw"), QStringLiteral("dev"), interfaceName, QStringLiteral("scan")},
                    kScanTimeoutMs);
        scan = wireless::parseScan(fresh, info.bssid);
    }
    if (!scan.associated) {
        qCDebug(lcWireless) << "Scan of" << interfaceName
                            << "found no associated access point. We will try again...";
        info.failed = true;
        emit routerInfoUpdated(info);
        return;
    }
    info.channels = scan.channels;
    info.frequencies = scan.frequencies;
    info.protocols = scan.protocols;
    info.uptime = scan.uptime;
    info.encryptionMethods = scan.encryption;
    info.authenticationMethods = scan.authentication;
    qCDebug(lcWireless) << "Router Info Updated:"
                        << "IP Address:" << info.routerIPAddress << "BSSID:" << info.bssid
                        << "Vendor:" << info.vendor << "Channels:" << scan.channels
                        << "Frequencies:" << scan.frequencies << "Protocols:" << scan.protocols
                        << "Encryption:" << scan.encryption << "Authentication:" << scan.authentication;
    emit routerInfoUpdated(info);
}

// The vendor table is compiled into the networking library, which nothing
// would pull into the program unless some code names it.
static void loadVendorTable() {
    Q_INIT_RESOURCE(vendors);
}

QString WorkerNetworkingWireless::lookupVendor(const QString& mac, bool fullName) {
    static QMutex mutex;
    static wireless::VendorTable table;
    QMutexLocker lock(&mutex);
    if (table.isEmpty()) {
        loadVendorTable();
        QFile file(QStringLiteral(":/files/router_manufacturers"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            qWarning("Failed to open router_manufacturers file.");
            return QStringLiteral("Unknown Vendor");
        }
        QStringList unparsed;
        table.load(QString::fromUtf8(file.readAll()), &unparsed);
        for (const QString& line : qAsConst(unparsed))
            qWarning().noquote() << "Failed to parse line:" << line;
    }
    return table.lookup(mac, fullName);
}
