#pragma once

#include "interfacetraffic.h"
#include "tabworker.h"
#include "themecolors.h"
#include "workernetworkingbandwidthmonitor.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QButtonGroup;
class QCustomPlot;
class QFrame;
class QLabel;
class QTimer;

// The graph data of one interface: rates in Kbit/s at each sample time.
struct InterfaceTrafficHistory {
    QList<double> timestamps;
    QList<double> rxRates;
    QList<double> txRates;
    quint64 lastRxBytes = 0;
    quint64 lastTxBytes = 0;
    double lastTimestamp = 0.0;
};

// The detail panel's counters of one interface and what its rates need.
struct InterfaceStatistics {
    traffic::InterfaceCounters counters;
    quint64 previousRxBytes = 0, previousTxBytes = 0, previousRxPackets = 0, previousTxPackets = 0;
    double previousTimestamp = 0.0;
    double totalRxBytes = 0, totalTxBytes = 0;
    double peakRxBitsPerSecond = 0, peakTxBitsPerSecond = 0;
    double startTimestamp = 0.0;
};

// The Bandwidth Monitor page: samples the interface counters every 500 ms
// while the Networking page is shown and draws download and upload graphs.
// A worker reads the counters; link speeds, which need tools, are probed by
// a second one and cached.
class TabNetworkingBandwidthMonitor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHistoryLength = 1000;

    TabNetworkingBandwidthMonitor(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingBandwidthMonitor() override;

    bool isSampling() const;
    QString checkedInterface() const;
    InterfaceTrafficHistory historyOf(const QString& name) const { return history.value(name); }

signals:
    void requestUpdateBandwidth();
    void requestLinkSpeed(const QString& interfaceName);

public slots:
    void startTimer();
    void stopTimer();
    // Side by side below a window height of 581, stacked from 581 on.
    void handleWindowResized(const QSize& newSize);
    void onNetworkInterfaceSelected();
    void onInterfaceCountersDataReady(const InterfaceSample& sample);
    void onLinkSpeedDataReady(const LinkSpeed& speed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPlotsOf(const QString& name);
    void initializeUi(QWidget* interfacesBox);
    void updatePlot(const QString& name);
    void updatePlotLayout();
    void positionSpeedLabels();
    void updateInterfaceDetails(const traffic::InterfaceCounters& counters, double now);
    void updateInterfaceLabels(double now, const InterfaceStatistics& record, const QString& name,
                               bool haveRates, double rxBits, double txBits, double rxPackets,
                               double txPackets);
    void showLinkSpeed(const QString& name);
    void formatRate(double kbps, QLabel* label);

    ThemeColors themeColors;
    Ui::MainWindow* ui;
    // Download and upload graphs of the interfaces shown so far.
    QMap<QString, QPair<QCustomPlot*, QCustomPlot*>> plots;
    QButtonGroup* interfaceButtons = nullptr;
    QFrame* frameRX;
    QFrame* frameTX;
    QTimer* samplingTimer;
    QMap<QString, InterfaceTrafficHistory> history;
    QLabel* labelDownload;
    QLabel* labelDownloadSpeed;
    QLabel* labelUpload;
    QLabel* labelUploadSpeed;
    QMap<QString, InterfaceStatistics> statistics;
    // Link speeds rarely change: each is probed off the GUI thread at most
    // every half minute.
    QHash<QString, int> linkSpeeds;
    QHash<QString, double> linkSpeedProbedAt;
    bool linkSpeedProbeRunning = false;
    TabWorker<WorkerNetworkingBandwidthMonitor> worker{QStringLiteral("workernetworkingbandwidthmonitor")};
    TabWorker<WorkerNetworkingBandwidthMonitor> linkSpeedWorker{QStringLiteral("workerlinkspeed")};
};
