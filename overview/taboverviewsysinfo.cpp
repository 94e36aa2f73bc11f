#include "taboverviewsysinfo.h"

#include "ui_mainwindow.h"

#include <QTimer>

namespace {
QString countText(int count) {
    return count < 0 ? QStringLiteral("N/A") : QString::number(count);
}

// The panel's columns cut long facts off at the window's default size; the
// tooltip holds the whole text. Tool tips would take markup for rich text,
// so the text is escaped: it comes from tools and the environment.
void showValue(QLabel* label, const QString& text) {
    if (label->text() == text)
        return;
    label->setText(text);
    label->setToolTip(text.isEmpty()
                          ? QString()
                          : QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped()));
}
} // namespace

TabOverviewSysInfo::TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent, CronJobCounting cronJobCounting)
    : QWidget(parent), ui(ui), worker(QStringLiteral("workeroverviewsysinfo"), std::move(cronJobCounting)) {
    clearValueLabels();

    worker.connectResult(&WorkerOverviewSysInfo::updateCompleted, this, &TabOverviewSysInfo::onStatsUpdated);
    // A sample still running (a slow X server) makes a tick skip, not queue up.
    worker.connectRequest(this, &TabOverviewSysInfo::requestUpdateSysInfo, &WorkerOverviewSysInfo::process,
                          RequestDelivery::SkipWhileBusy);
    worker.start();
    emit requestUpdateSysInfo();

    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("sysInfoUpdateTimer"));
    updateTimer->setInterval(1000);
    connect(updateTimer, &QTimer::timeout, this, &TabOverviewSysInfo::requestUpdateSysInfo);
    updateTimer->start();
    QTimer::singleShot(100, this, &TabOverviewSysInfo::requestUpdateSysInfo);

    probes.connectResult(&SystemInfoProbes::staticSystemInfoUpdated, this,
                         &TabOverviewSysInfo::onStaticSystemInfoDataReady);
    probes.connectRequest(this, &TabOverviewSysInfo::requestStaticSystemInfo,
                          &SystemInfoProbes::fetchStaticSystemInfo);
}

TabOverviewSysInfo::~TabOverviewSysInfo() {
    // Probes still to run give up at once, so the thread ends within one tool's limit.
    probes.object()->abort();
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

void TabOverviewSysInfo::loadStaticSystemInfo() {
    probes.start();
    emit requestStaticSystemInfo();
}

void TabOverviewSysInfo::onStaticSystemInfoDataReady(const StaticSystemInfo& info) {
    showValue(ui->labelGPU, info.gpu);
    showValue(ui->labelOSName, info.osName);
    showValue(ui->labelOSVersion, info.osVersion);
    showValue(ui->labelBasedOn, info.basedOn);
    showValue(ui->labelKernel, info.kernel);
    showValue(ui->labelGPUDriver, info.gpuDriver);
    showValue(ui->labelDesktopEnvironment, info.desktopEnvironment);
    showValue(ui->labelWindowManager, info.windowManager);
    showValue(ui->labelSoundServer, info.soundServer);
    showValue(ui->labelSystemModelAndManufacturer, info.machine);
    showValue(ui->labelMotherboard, info.motherboard);
    showValue(ui->labelCPUModel, info.cpuModel);
    showValue(ui->labelCPUCoresAndThreads, info.cpuCoresAndThreads);
    showValue(ui->labelRAMInfo, info.ramInfo);
    showValue(ui->labelStorage, info.storage);
    showValue(ui->labelAudioDevice, info.audioDevice);
    emit staticInfoShown();
}

void TabOverviewSysInfo::onStatsUpdated(const SysInfoSample& sample) {
    showValue(ui->labelUptime, sample.uptime);
    showValue(ui->labelProcsThreads, sample.procsThreads);
    showValue(ui->labelApplications, countText(sample.applications));
    showValue(ui->labelRamUsage, sample.ramUsed);
    showValue(ui->labelSwapUsage, sample.swapUsed);
    showValue(ui->labelServices, countText(sample.servicesEnabled));
    showValue(ui->labelCronJobs, countText(sample.cronJobs));
    showValue(ui->labelActiveUsers, countText(sample.activeUsers));
}
