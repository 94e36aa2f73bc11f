#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QTimer;
class TickGate;
class WorkerThread;

// The Wireless page: polls the link state every 500 ms while the Networking
// page is shown and keeps a live uptime of the router.
class TabNetworkingWireless : public QWidget {
    Q_OBJECT
public:
    TabNetworkingWireless(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingWireless() override;

    bool isPolling() const;
    QString interfaceName() const { return wirelessInterface; }

    // The colours of the quality bar for a quality in percent.
    static QString linkQualityStyleSheet(int quality, bool dark);
    // "-55 dBm", or "N/A" outside -99 to -1.
    static QString levelText(int level);

signals:
    void requestWirelessInterface();
    void fetchStats(const QString& interfaceName);
    void requestWifiRouterInfo(const QString& selectedInterface);

public slots:
    void startTimer();
    void stopTimer();
    void onThemeChanged();
    void updateUptime();
    void updateWirelessData(int linkQuality, int signalLevel, int noiseLevel, const QString& ssid,
                            const QString& bssid, const QString& macAddress, const QString& ipAddress,
                            const QString& frequency, const QString& encryption,
                            const QString& connectionStatus);
    void onWifiRouterInfoLeftColumnUpdated(const QString& routerIPAddress, const QString& bssid,
                                           const QString& vendor);
    void onWifiRouterInfoOtherColumnsUpdated(const QString& channels, const QString& frequencies,
                                             const QString& protocols, const QString& uptime,
                                             const QString& encryptionMethods,
                                             const QString& authenticationMethods);
    void onFailedToGetRouterInfo(bool lastUpdateFailed);
    void on_comboBoxNetworkingWirelessSelectWifiInterface_currentIndexChanged(int index);

private:
    void onWirelessInterfaceFound(const QString& name);
    void pollOnce();
    void showNoLink(const QString& status);
    void setRouterInfoLabels(const QString& text);
    void clearRouterInfo();
    QString selectedInterface() const;

    Ui::MainWindow* ui;
    QTimer* pollTimer;
    // Waits before the next router request; doubles after every failed scan.
    QTimer* routerRetryTimer;
    int routerRetryDelayMs = 500;
    bool routerRequestIsRetry = false;
    bool routerInfoKnown = false;
    bool pageShown = false;
    QString wirelessInterface;
    QString lastConnectionStatus;
    int uptimeDays = 0;
    int uptimeHours = 0;
    int uptimeMinutes = 0;
    int uptimeSeconds = 0;
    std::unique_ptr<QTimer> uptimeTimer;
    std::shared_ptr<TickGate> pollGate;
    std::unique_ptr<WorkerThread> workerThread;
};
