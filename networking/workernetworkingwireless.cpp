#include "workernetworkingwireless.h"

#include "commandrunner.h"
#include "systempaths.h"
#include "tickgate.h"
#include "wirelessparsing.h"

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
    const CommandResult result = CommandRunner::run(program, arguments, options);
    return result.succeeded() ? result.outputText() : QString();
}

QString orNotAvailable(const QString& value) {
    return value.isEmpty() || value == QLatin1String("--") ? QStringLiteral("N/A") : value;
}
} // namespace

WorkerNetworkingWireless::WorkerNetworkingWireless(std::shared_ptr<TickGate> pollGate, QObject* parent)
    : QObject(parent), pollGate(std::move(pollGate)) {
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
    const QString output = runTool(QStringLiteral("iw"), {QStringLiteral("dev")});
    qCDebug(lcWireless) << "IW Dev Command Output:" << output;
    const QString name = wireless::firstWirelessInterface(output);
    if (name.isEmpty())
        qCDebug(lcWireless) << "No wireless interface found.";
    else
        qCDebug(lcWireless) << "First available wireless interface found:" << name;
    emit wirelessInterfaceFound(name);
}

void WorkerNetworkingWireless::fetchWirelessStats(const QString& selectedInterface) {
    TickGate::Pass pass(pollGate.get());
    QFile file(SystemPaths::path(QStringLiteral("/proc/net/wireless")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning("Failed to open /proc/net/wireless");
        const QString na = QStringLiteral("N/A");
        emit wirelessDataFetched(0, 0, 0, na, na, na, na, na, na, QStringLiteral("Disconnected"));
        return;
    }
    const wireless::LinkFigures figures =
        wireless::parseProcNetWireless(QString::fromUtf8(file.readAll()), selectedInterface);

    const QString link =
        runTool(QStringLiteral("iw"), {QStringLiteral("dev"), selectedInterface, QStringLiteral("link")});
    const QString frequency = wireless::linkFrequencyText(link);
    const QString bssid = wireless::bssidFromLink(link);

    QString ssid = QStringLiteral("N/A");
    QString macAddress = QStringLiteral("N/A");
    QString ipAddress = QStringLiteral("N/A");
    QString encryption = QStringLiteral("N/A");
    QString status = wireless::linkStatusFromIw(link);
    if (nmcliAvailable()) {
        const QString device = runTool(QStringLiteral("nmcli"),
                                       {QStringLiteral("device"), QStringLiteral("show"), selectedInterface});
        ssid = orNotAvailable(wireless::extractValue(device, QStringLiteral("GENERAL.CONNECTION")));
        macAddress = orNotAvailable(wireless::extractValue(device, QStringLiteral("GENERAL.HWADDR")));
        ipAddress = orNotAvailable(
            wireless::extractValue(device, QStringLiteral("IP4.ADDRESS[1]")).section(QLatin1Char('/'), 0, 0));
        if (!device.isEmpty())
            status = wireless::connectionStateToString(
                wireless::extractValue(device, QStringLiteral("GENERAL.STATE")));
        if (ssid != QLatin1String("N/A")) {
            // "id" keeps a connection named like an nmcli keyword ("help")
            // from being read as one.
            const QString connection =
                runTool(QStringLiteral("nmcli"),
                        {QStringLiteral("connection"), QStringLiteral("show"), QStringLiteral("id"), ssid});
            if (!connection.isEmpty())
                encryption = wireless::encryptionFromKeyManagement(
                    wireless::extractValue(connection, QStringLiteral("802-11-wireless-security.key-mgmt")));
        }
    }
    emit wirelessDataFetched(int(figures.link), int(figures.level), int(figures.noise), ssid, bssid,
                             macAddress, ipAddress, frequency, encryption, status);
}

void WorkerNetworkingWireless::updateWifiRouterInfo(const QString& selectedInterface) {
    qCDebug(lcWireless) << "Wi-Fi info requested, will attempt to do a scan of" << selectedInterface << "now";
    const QString routes = runTool(QStringLiteral("ip"), {QStringLiteral("-4"), QStringLiteral("route"),
                                                          QStringLiteral("show"), QStringLiteral("default")});
    const QString routerIPAddress = wireless::defaultGateway(routes, selectedInterface);
    const QString bssid = wireless::bssidFromLink(
        runTool(QStringLiteral("iw"), {QStringLiteral("dev"), selectedInterface, QStringLiteral("link")}));
    const QString vendor = bssid == QLatin1String("N/A") ? bssid : lookupVendor(bssid, true);
    emit wifiRouterInfoLeftColumnUpdated(routerIPAddress, bssid, vendor);

    // The cached results of the last scan first: an active scan takes the
    // radio off its channel for a moment.
    wireless::RouterScan scan =
        wireless::parseScan(runTool(QStringLiteral("iw"), {QStringLiteral("dev"), selectedInterface,
                                                           QStringLiteral("scan"), QStringLiteral("dump")}));
    if (!scan.associated) {
        const QString fresh =
            runTool(QStringLiteral("sudo"),
                    {QStringLiteral("iw"), QStringLiteral("dev"), selectedInterface, QStringLiteral("scan")},
                    kScanTimeoutMs);
        scan = wireless::parseScan(fresh);
    }
    if (!scan.associated) {
        qCDebug(lcWireless) << "Scan of" << selectedInterface
                            << "found no associated access point. We will try again...";
        emit failedToGetRouterInfo(true);
        return;
    }
    emit wifiRouterInfoOtherColumnsUpdated(scan.channels, scan.frequencies, scan.protocols, scan.uptime,
                                           scan.encryption, scan.authentication);
    qCDebug(lcWireless) << "Router Info Updated:"
                        << "IP Address:" << routerIPAddress << "BSSID:" << bssid << "Vendor:" << vendor
                        << "Channels:" << scan.channels << "Frequencies:" << scan.frequencies
                        << "Protocols:" << scan.protocols << "Encryption:" << scan.encryption
                        << "Authentication:" << scan.authentication;
}

QString WorkerNetworkingWireless::lookupVendor(const QString& mac, bool fullName) {
    static QMutex mutex;
    static wireless::VendorTable table;
    QMutexLocker lock(&mutex);
    if (table.isEmpty()) {
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
