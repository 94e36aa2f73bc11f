#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class MainWindow;
}
class QTimer;
class SystemInfoProbes;
class TickGate;
class WorkerThread;
struct StaticSystemInfo;

// The Overview page's system-information panel: the static facts, gathered
// once off the GUI thread, and the live figures, sampled every second.
class TabOverviewSysInfo : public QWidget {
    Q_OBJECT
public:
    TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent);
    ~TabOverviewSysInfo() override;

    // Starts gathering the static facts; their labels fill in when all are known.
    void loadStaticSystemInfo();

public slots:
    void onStatsUpdated(const QString& uptime, const QString& ramUsed, const QString& swapUsed,
                        const QString& procsThreads, int applications, int servicesEnabled, int cronJobs,
                        int activeUsers, const QString& error);
    void onStaticInfoReady(const StaticSystemInfo& info);

signals:
    void requestUpdateSysInfo();
    void requestStaticSystemInfo();
    // After the static labels have been filled.
    void staticInfoShown();

private:
    void requestLiveSample();
    void clearValueLabels();

    Ui::MainWindow* ui;
    QTimer* updateTimer = nullptr;
    std::shared_ptr<TickGate> sampleGate;
    std::unique_ptr<WorkerThread> workerThread;
    SystemInfoProbes* probes = nullptr;
    std::unique_ptr<WorkerThread> probesThread;
};
