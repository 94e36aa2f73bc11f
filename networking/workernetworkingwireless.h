#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

// One poll of the wireless link. Figures are as /proc/net/wireless gives
// them (link quality out of 70, levels in dBm); texts are "N/A" when unknown.
struct WirelessStats {
    int linkQuality = 0;
    int signalLevel = 0;
    int noiseLevel = 0;
    QString ssid;
    QString bssid;
    QString macAddress;
    QString ipAddress;
    QString frequency;
    QString encryption;
    QString connectionStatus;
};

// What the router of the link announces. The address, access point and
// vendor are known before the scan; failed says the scan found no
// associated access point, and the rest is then empty.
struct WirelessRouterInfo {
    QString routerIPAddress;
    QString bssid;
    QString vendor;
    bool failed = false;
    QString channels;
    QString frequencies;
    QString protocols;
    QString uptime;
    QString encryptionMethods;
    QString authenticationMethods;
};

Q_DECLARE_METATYPE(WirelessStats)
Q_DECLARE_METATYPE(WirelessRouterInfo)

// Reads the wireless link state and the router's details on its own thread.
// Every tool runs with an argument list and a short time limit; nothing the
// tools print reaches a shell.
class WorkerNetworkingWireless : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingWireless(QObject* parent = nullptr);
    ~WorkerNetworkingWireless() override;

    // The vendor of a hardware address from the table in the resources.
    static QString lookupVendor(const QString& mac, bool fullName);

signals:
    // The first wireless interface, or an empty name when there is none.
    void wirelessInterfaceUpdated(const QString& interfaceName);
    void wirelessStatsUpdated(const WirelessStats& stats);
    void routerInfoUpdated(const WirelessRouterInfo& info);

public slots:
    void findWirelessInterface();
    void fetchWirelessStats(const QString& interfaceName);
    void fetchRouterInfo(const QString& interfaceName);

private:
    bool nmcliAvailable();

    bool nmcliMissingLogged = false;
    bool wirelessFileMissingLogged = false;
};
