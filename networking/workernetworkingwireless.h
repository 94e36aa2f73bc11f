#pragma once

#include <QObject>

// Reads the wireless link state and the router's details on its own thread.
class WorkerNetworkingWireless : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingWireless(QObject* parent = nullptr);
    ~WorkerNetworkingWireless() override;

signals:
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
    void fetchWirelessStats(const QString& selectedInterface);
    void updateWifiRouterInfo(const QString& selectedInterface);
};
