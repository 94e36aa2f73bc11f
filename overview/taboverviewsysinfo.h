#pragma once

#include "systeminfoprobes.h"
#include "tabworker.h"
#include "workeroverviewsysinfo.h"

#include <QWidget>

namespace Ui {
class MainWindow;
}
class QTimer;

// The Overview page's system-information panel: the static facts, gathered
// once off the GUI thread, and the live figures, sampled every second.
class TabOverviewSysInfo : public QWidget {
    Q_OBJECT
public:
    // cronJobCounting: how the scheduled jobs are counted (see CronJobCounting).
    TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent, CronJobCounting cronJobCounting = {});
    ~TabOverviewSysInfo() override;

    // Starts gathering the static facts; their labels fill in when all are known.
    void loadStaticSystemInfo();

public slots:
    void onStatsUpdated(const SysInfoSample& sample);
    void onStaticSystemInfoDataReady(const StaticSystemInfo& info);

signals:
    void requestUpdateSysInfo();
    void requestStaticSystemInfo();
    // After the static labels have been filled.
    void staticInfoShown();

private:
    void clearValueLabels();

    Ui::MainWindow* ui;
    QTimer* updateTimer = nullptr;
    TabWorker<WorkerOverviewSysInfo> worker;
    // Its thread starts with the first loadStaticSystemInfo.
    TabWorker<SystemInfoProbes> probes{QStringLiteral("workersysinfoprobes")};
};
