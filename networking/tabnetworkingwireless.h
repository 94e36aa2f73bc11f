#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QTimer;
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

signals:
    void fetchStats(const QString& interfaceName);
    void requestWifiRouterInfo(const QString& selectedInterface);

public slots:
    void startTimer();
    void stopTimer();
    void onThemeChanged();
    void updateUptime();

private:
    void findWirelessInterface();
    void setRouterInfoLabels(const QString& text);
    QString selectedInterface() const;

    Ui::MainWindow* ui;
    QTimer* pollTimer;
    QString wirelessInterface;
    QString lastConnectionStatus;
    int uptimeDays = 0;
    int uptimeHours = 0;
    int uptimeMinutes = 0;
    int uptimeSeconds = 0;
    std::unique_ptr<QTimer> uptimeTimer;
    std::unique_ptr<WorkerThread> workerThread;
};
