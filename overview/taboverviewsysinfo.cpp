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

TabOverviewSysInfo::TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui), sampleGate(std::make_shared<TickGate>()) {
    qRegisterMetaType<StaticSystemInfo>();
    clearValueLabels();

    auto* worker = new WorkerOverviewSysInfo;
    worker->setTickGate(sampleGate);
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workeroverviewsysinfo"));
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
        probesThread = std::make_unique<WorkerThread>(probes, QStringLiteral("workersysinfoprobes"));
        connect(probes, &SystemInfoProbes::collected, this, &TabOverviewSysInfo::onStaticInfoReady);
        connect(this, &TabOverviewSysInfo::requestStaticSystemInfo, probes, &SystemInfoProbes::collect,
                Qt::QueuedConnection);
        probesThread->start();
    }
    emit requestStaticSystemInfo();
}

void TabOverviewSysInfo::onStaticInfoReady(const StaticSystemInfo& info) {
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

void TabOverviewSysInfo::onStatsUpdated(const QString& uptime, const QString& ramUsed,
                                        const QString& swapUsed, const QString& procsThreads,
                                        int applications, int servicesEnabled, int cronJobs, int activeUsers,
                                        const QString& error) {
    if (!error.isEmpty()) {
        qCDebug(lcSysInfoPanel) << "Error updating system stats:" << error;
        return;
    }
    showValue(ui->labelUptime, uptime);
    showValue(ui->labelProcsThreads, procsThreads);
    showValue(ui->labelApplications, countText(applications));
    showValue(ui->labelRamUsage, ramUsed);
    showValue(ui->labelSwapUsage, swapUsed);
    showValue(ui->labelServices, countText(servicesEnabled));
    showValue(ui->labelCronJobs, countText(cronJobs));
    showValue(ui->labelActiveUsers, countText(activeUsers));
}
