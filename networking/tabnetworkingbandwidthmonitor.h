#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabNetworkingBandwidthMonitor : public QWidget {
    Q_OBJECT
public:
    TabNetworkingBandwidthMonitor(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingBandwidthMonitor() override;

public slots:
    void startTimer();
    void stopTimer();
    void handleWindowResized(const QSize& newSize);

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
