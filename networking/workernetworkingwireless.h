#pragma once

#include <QObject>
#include <QString>
#include <memory>

class TickGate;

// Reads the wireless link state and the router's details on its own thread.
// Every tool runs with an argument list and a short time limit; nothing the
// tools print reaches a shell.
class WorkerNetworkingWireless : public QObject {
    Q_OBJECT
public:
    // pollGate is held open by the tab while a statistics poll is queued or
    // running, so polls never pile up behind a slow tool.
    explicit WorkerNetworkingWireless(std::shared_ptr<TickGate> pollGate = nullptr,
                                      QObject* parent = nullptr);
    ~WorkerNetworkingWireless() override;

    // The vendor of a hardware address from the table in the resources.
    static QString lookupVendor(const QString& mac, bool fullName);

signals:
    void wirelessInterfaceFound(const QString& interfaceName);
    void wirelessDataFetched(int linkQuality, int signalLevel, int noiseLevel, const QString& ssid,
                             const QString& bssid, const QString& macAddress, const QString& ipAddress,
                             const QString& frequency, const QString& encryption,
                             const QString& connectionStatus);
    void wifiRouterInfoLeftColumnUpdated(const QString& routerIPAddress, const QString& bssid,
                                         const QString& vendor);
    void wifiRouterInfoOtherColumnsUpdated(const QString& channels, const QString& frequencies,
                                           const QString& protocols, const QString& uptime,
                                           const QString& encryptionMethods,
                                           const QString& authenticationMethods);
    void failedToGetRouterInfo(bool lastUpdateFailed);

public slots:
    void findWirelessInterface();
    void fetchWirelessStats(const QString& selectedInterface);
    void updateWifiRouterInfo(const QString& selectedInterface);

private:
    bool nmcliAvailable();

    std::shared_ptr<TickGate> pollGate;
    bool nmcliMissingLogged = false;
};
