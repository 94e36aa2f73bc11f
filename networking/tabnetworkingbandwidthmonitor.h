#pragma once

#include "themecolors.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QFrame;
class QLabel;
class QTimer;
class WorkerThread;

// The Bandwidth Monitor page: samples the interface counters every 500 ms
// while the Networking page is shown and draws download and upload graphs.
class TabNetworkingBandwidthMonitor : public QWidget {
    Q_OBJECT
public:
    TabNetworkingBandwidthMonitor(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingBandwidthMonitor() override;

    bool isSampling() const;

public slots:
    void startTimer();
    void stopTimer();
    // Side by side below a window height of 581, stacked from 581 on.
    void handleWindowResized(const QSize& newSize);
    void updateNetworkStats();

private:
    void positionSpeedLabels();

    ThemeColors themeColors;
    Ui::MainWindow* ui;
    QFrame* frameRX;
    QFrame* frameTX;
    QLabel* labelDownload;
    QLabel* labelDownloadSpeed;
    QLabel* labelUpload;
    QLabel* labelUploadSpeed;
    QTimer* samplingTimer;
    std::unique_ptr<WorkerThread> workerThread;
};
