#pragma once

#include "tabworker.h"
#include "workernetworkingwireless.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QTimer;

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
    void requestUpdateWirelessStats(const QString& interfaceName);
    void requestUpdateRouterInfo(const QString& interfaceName);

public slots:
    void startTimer();
    void stopTimer();
    void onThemeChanged();
    void updateUptime();
    void onWirelessInterfaceDataReady(const QString& name);
    void onWirelessStatsDataReady(const WirelessStats& stats);
    void onRouterInfoDataReady(const WirelessRouterInfo& info);

private:
    void pollOnce();
    // Asks for the router's details after a while: soon after the link came
    // up, ever later after each failed scan.
    void scheduleRouterRequest(bool afterFailure);
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
    TabWorker<WorkerNetworkingWireless> worker{QStringLiteral("workernetworkingwireless")};
};
