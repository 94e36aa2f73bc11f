#include "taboverviewsysinfo.h"

#include "systeminfoprobes.h"
#include "tickgate.h"
#include "ui_mainwindow.h"
#include "workeroverviewsysinfo.h"
#include "workerthread.h"

#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcSysInfoPanel, "tessmar.sysinfo.panel", QtWarningMsg)

namespace {
QString countText(int count) {
    return count < 0 ? QStringLiteral("N/A") : QString::number(count);
}
} // namespace

TabOverviewSysInfo::TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui), sampleGate(std::make_shared<TickGate>()) {
    qRegisterMetaType<StaticSystemInfo>();
    clearValueLabels();

    auto* worker = new WorkerOverviewSysInfo;
    worker->setTickGate(sampleGate);
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("sysinfo"));
    connect(worker, &WorkerOverviewSysInfo::updateCompleted, this, &TabOverviewSysInfo::onStatsUpdated);
    connect(this, &TabOverviewSysInfo::requestUpdateSysInfo, worker, &WorkerOverviewSysInfo::process,
            Qt::QueuedConnection);
    workerThread->start();
    requestLiveSample();

    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("sysInfoUpdateTimer"));
    updateTimer->setInterval(1000);
    connect(updateTimer, &QTimer::timeout, this, &TabOverviewSysInfo::requestLiveSample);
    updateTimer->start();
    QTimer::singleShot(100, this, &TabOverviewSysInfo::requestLiveSample);
}

TabOverviewSysInfo::~TabOverviewSysInfo() {
    // Probes still to run give up at once, so the thread ends within one tool's limit.
    if (probes)
        probes->abort();
    probesThread.reset();
    workerThread.reset();
}

void TabOverviewSysInfo::clearValueLabels() {
    // The form's sample texts must not pass for facts: empty until read.
    QLabel* const labels[] = {
        ui->labelOSName,        ui->labelOSVersion,    ui->labelBasedOn,
        ui->labelKernel,        ui->labelGPUDriver,    ui->labelDesktopEnvironment,
        ui->labelWindowManager, ui->labelSoundServer,  ui->labelSystemModelAndManufacturer,
        ui->labelMotherboard,   ui->labelCPUModel,     ui->labelCPUCoresAndThreads,
        ui->labelRAMInfo,       ui->labelGPU,          ui->labelStorage,
        ui->labelAudioDevice,   ui->labelUptime,       ui->labelRamUsage,
        ui->labelSwapUsage,     ui->labelProcsThreads, ui->labelApplications,
        ui->labelServices,      ui->labelCronJobs,     ui->labelActiveUsers,
    };
    for (QLabel* label : labels) {
        // Tool output and the environment are shown as they are, never as markup.
        label->setTextFormat(Qt::PlainText);
        label->clear();
    }
}

void TabOverviewSysInfo::requestLiveSample() {
    // A sample still running (a slow tool) makes this tick skip, not queue up.
    if (!sampleGate->tryEnter())
        return;
    emit requestUpdateSysInfo();
}

void TabOverviewSysInfo::loadStaticSystemInfo() {
    if (!probesThread) {
        probes = new SystemInfoProbes;
        probesThread = std::make_unique<WorkerThread>(probes, QStringLiteral("sysinfo-probes"));
        connect(probes, &SystemInfoProbes::collected, this, &TabOverviewSysInfo::onStaticInfoReady);
        connect(this, &TabOverviewSysInfo::requestStaticSystemInfo, probes, &SystemInfoProbes::collect,
                Qt::QueuedConnection);
        probesThread->start();
    }
    emit requestStaticSystemInfo();
}

void TabOverviewSysInfo::onStaticInfoReady(const StaticSystemInfo& info) {
    ui->labelGPU->setText(info.gpu);
    ui->labelOSName->setText(info.osName);
    ui->labelOSVersion->setText(info.osVersion);
    ui->labelBasedOn->setText(info.basedOn);
    ui->labelKernel->setText(info.kernel);
    ui->labelGPUDriver->setText(info.gpuDriver);
    ui->labelDesktopEnvironment->setText(info.desktopEnvironment);
    ui->labelWindowManager->setText(info.windowManager);
    ui->labelSoundServer->setText(info.soundServer);
    ui->labelSystemModelAndManufacturer->setText(info.machine);
    ui->labelMotherboard->setText(info.motherboard);
    ui->labelCPUModel->setText(info.cpuModel);
    ui->labelCPUCoresAndThreads->setText(info.cpuCoresAndThreads);
    ui->labelRAMInfo->setText(info.ramInfo);
    ui->labelStorage->setText(info.storage);
    ui->labelAudioDevice->setText(info.audioDevice);
    emit staticInfoShown();
}

void TabOverviewSysInfo::onStatsUpdated(const QString& uptime, const QString& ramUsed,
                                        const QString& swapUsed, const QString& procsThreads,
                                        int applications, int servicesEnabled, int cronJobs, int activeUsers,
                                        const QString& error) {
    if (!error.isEmpty()) {
        qCDebug(lcSysInfoPanel) << "Error updating system stats:" << error;
        return;
    }
    ui->labelUptime->setText(uptime);
    ui->labelProcsThreads->setText(procsThreads);
    ui->labelApplications->setText(countText(applications));
    ui->labelRamUsage->setText(ramUsed);
    ui->labelSwapUsage->setText(swapUsed);
    ui->labelServices->setText(countText(servicesEnabled));
    ui->labelCronJobs->setText(countText(cronJobs));
    ui->labelActiveUsers->setText(countText(activeUsers));
}
