#include "tabnetworkingwireless.h"

#include "mainwindow.h"
#include "themecolors.h"
#include "tickgate.h"
#include "ui_mainwindow.h"
#include "wirelessparsing.h"
#include "workernetworkingwireless.h"
#include "workerthread.h"

#include <QComboBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcWireless)

namespace {
constexpr int kPollIntervalMs = 500;
constexpr int kFirstRouterRequestMs = 500;
constexpr int kLongestRouterRetryMs = 60000;
constexpr int kVendorLength = 27;
} // namespace

TabNetworkingWireless::TabNetworkingWireless(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui), pollGate(std::make_shared<TickGate>()) {
    qCDebug(lcWireless) << "We are here in Tab Networking Wireless!";
    auto* worker = new WorkerNetworkingWireless(pollGate);
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workernetworkingwireless"));
    connect(this, &TabNetworkingWireless::requestWirelessInterface, worker,
            &WorkerNetworkingWireless::findWirelessInterface);
    connect(worker, &WorkerNetworkingWireless::wirelessInterfaceFound, this,
            &TabNetworkingWireless::onWirelessInterfaceFound);
    connect(this, &TabNetworkingWireless::fetchStats, worker, &WorkerNetworkingWireless::fetchWirelessStats);
    connect(worker, &WorkerNetworkingWireless::wirelessDataFetched, this,
            &TabNetworkingWireless::updateWirelessData);
    connect(worker, &WorkerNetworkingWireless::wifiRouterInfoLeftColumnUpdated, this,
            &TabNetworkingWireless::onWifiRouterInfoLeftColumnUpdated, Qt::QueuedConnection);
    connect(worker, &WorkerNetworkingWireless::wifiRouterInfoOtherColumnsUpdated, this,
            &TabNetworkingWireless::onWifiRouterInfoOtherColumnsUpdated, Qt::QueuedConnection);
    connect(this, &TabNetworkingWireless::requestWifiRouterInfo, worker,
            &WorkerNetworkingWireless::updateWifiRouterInfo, Qt::QueuedConnection);
    connect(worker, &WorkerNetworkingWireless::failedToGetRouterInfo, this,
            &TabNetworkingWireless::onFailedToGetRouterInfo, Qt::QueuedConnection);
    workerThread->start();

    connect(ui->comboBoxNetworkingWirelessSelectWifiInterface,
            QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TabNetworkingWireless::on_comboBoxNetworkingWirelessSelectWifiInterface_currentIndexChanged);

    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    pollTimer->setInterval(kPollIntervalMs);
    connect(pollTimer, &QTimer::timeout, this, &TabNetworkingWireless::pollOnce);

    routerRetryTimer = new QTimer(this);
    routerRetryTimer->setObjectName(QStringLiteral("routerRetryTimer"));
    routerRetryTimer->setSingleShot(true);
    connect(routerRetryTimer, &QTimer::timeout, this, [this] {
        if (!routerRequestIsRetry)
            setRouterInfoLabels(QStringLiteral("Scanning..."));
        emit requestWifiRouterInfo(selectedInterface());
    });

    // The ticker keeps counting while the page is hidden, so it is not tied
    // to the window's timers.
    uptimeTimer = std::make_unique<QTimer>();
    connect(uptimeTimer.get(), &QTimer::timeout, this, &TabNetworkingWireless::updateUptime);

    // Nothing of the form's sample network may show before the first poll.
    showNoLink(QStringLiteral("N/A"));
    setRouterInfoLabels(QStringLiteral("N/A"));

    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabNetworkingWireless::onThemeChanged);
    onThemeChanged();

    // Looking for the interface runs a tool: the worker answers when it can.
    emit requestWirelessInterface();
}

TabNetworkingWireless::~TabNetworkingWireless() {
    pollTimer->stop();
    routerRetryTimer->stop();
    uptimeTimer->stop();
}

bool TabNetworkingWireless::isPolling() const {
    return pollTimer->isActive();
}

void TabNetworkingWireless::startTimer() {
    pageShown = true;
    if (!wirelessInterface.isEmpty())
        pollTimer->start();
}

void TabNetworkingWireless::stopTimer() {
    pageShown = false;
    pollTimer->stop();
    if (routerRetryTimer->isActive() || !routerInfoKnown) {
        // The router is asked again when the page comes back.
        routerRetryTimer->stop();
        lastConnectionStatus.clear();
    }
}

void TabNetworkingWireless::pollOnce() {
    if (wirelessInterface.isEmpty() || !pollGate->tryEnter())
        return;
    emit fetchStats(selectedInterface());
}

QString TabNetworkingWireless::selectedInterface() const {
    const QString chosen = ui->comboBoxNetworkingWirelessSelectWifiInterface->currentText();
    return chosen.isEmpty() ? wirelessInterface : chosen;
}

void TabNetworkingWireless::on_comboBoxNetworkingWirelessSelectWifiInterface_currentIndexChanged(int) {}

void TabNetworkingWireless::onWirelessInterfaceFound(const QString& name) {
    wirelessInterface = name;
    if (name.isEmpty()) {
        showNoLink(tr("No wireless interface found"));
        return;
    }
    ui->comboBoxNetworkingWirelessSelectWifiInterface->clear();
    ui->comboBoxNetworkingWirelessSelectWifiInterface->addItem(name);
    if (pageShown)
        pollTimer->start();
}

void TabNetworkingWireless::showNoLink(const QString& status) {
    ui->progressBarLinkQuality->setValue(0);
    ui->progressBarLinkQuality->setTextVisible(false);
    QLabel* const linkLabels[] = {
        ui->labelWirelessSignalQuality, ui->labelWirelessSignalStrength, ui->labelWirelessNoiseLevel,
        ui->labelWirelessSSID,          ui->labelWirelessMACAddress,     ui->labelWirelessIPAddress,
        ui->labelWirelessFrequency,     ui->labelWirelessEncryptionType,
    };
    for (QLabel* label : linkLabels)
        label->setText(QStringLiteral("N/A"));
    ui->labelWirelessConnectionStatus->setText(status);
}

QString TabNetworkingWireless::linkQualityStyleSheet(int quality, bool dark) {
    QString chunk;
    if (quality < 20)
        chunk = QStringLiteral("background-color: red;");
    else if (quality < 30)
        chunk = QStringLiteral("background-color: #FF4500;");
    else if (quality < 40)
        chunk = QStringLiteral("background-color: orange;");
    else if (quality < 50)
        chunk = QStringLiteral("background-color: #9ACD32;");
    else
        chunk = QStringLiteral("background-color: #4CAF50;");
    const QString background = dark ? QStringLiteral("#202A36") : QStringLiteral("#E0E0E0");
    return QStringLiteral(
               "QProgressBar {    border: 1px solid #5A5A5A;    border-radius: 5px;    background: ") +
           background + QStringLiteral(";    text-align: center;}QProgressBar::chunk {") + chunk +
           QStringLiteral("    margin: 0px;}");
}

QString TabNetworkingWireless::levelText(int level) {
    if (level >= -99 && level <= -1)
        return QStringLiteral("%1 dBm").arg(level);
    return QStringLiteral("N/A");
}

void TabNetworkingWireless::updateWirelessData(int linkQuality, int signalLevel, int noiseLevel,
                                               const QString& ssid, const QString&, const QString& macAddress,
                                               const QString& ipAddress, const QString& frequency,
                                               const QString& encryption, const QString& connectionStatus) {
    const int quality = linkQuality * 100 / 70;
    ui->progressBarLinkQuality->setValue(quality);
    ui->progressBarLinkQuality->setTextVisible(true);
    ui->progressBarLinkQuality->setStyleSheet(linkQualityStyleSheet(quality, isDarkTheme()));
    ui->labelWirelessSignalQuality->setText(quality < 1 ? QStringLiteral("N/A")
                                                        : QStringLiteral("%1%").arg(quality));
    ui->labelWirelessSignalStrength->setText(levelText(signalLevel));
    ui->labelWirelessNoiseLevel->setText(levelText(noiseLevel));
    const auto orNotAvailable = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("N/A") : text;
    };
    ui->labelWirelessSSID->setText(orNotAvailable(ssid));
    ui->labelWirelessMACAddress->setText(orNotAvailable(macAddress));
    ui->labelWirelessIPAddress->setText(orNotAvailable(ipAddress));
    ui->labelWirelessFrequency->setText(orNotAvailable(frequency));
    ui->labelWirelessEncryptionType->setText(orNotAvailable(encryption));
    ui->labelWirelessConnectionStatus->setText(connectionStatus);

    if (connectionStatus != lastConnectionStatus) {
        if (connectionStatus == QLatin1String("Connected"))
            onFailedToGetRouterInfo(false);
        else
            clearRouterInfo();
    }
    lastConnectionStatus = connectionStatus;
}

void TabNetworkingWireless::clearRouterInfo() {
    routerRetryTimer->stop();
    routerInfoKnown = false;
    if (uptimeTimer->isActive())
        uptimeTimer->stop();
    setRouterInfoLabels(QStringLiteral("N/A"));
}

void TabNetworkingWireless::onFailedToGetRouterInfo(bool lastUpdateFailed) {
    if (!lastUpdateFailed) {
        routerRetryDelayMs = kFirstRouterRequestMs;
    } else {
        // A failed scan is retried only while the link is up and the page is
        // shown, and ever less often: every active scan takes the radio off
        // its channel.
        if (!pageShown || lastConnectionStatus != QLatin1String("Connected"))
            return;
        routerRetryDelayMs = qMin(routerRetryDelayMs * 2, kLongestRouterRetryMs);
    }
    routerRequestIsRetry = lastUpdateFailed;
    routerRetryTimer->start(routerRetryDelayMs);
}

void TabNetworkingWireless::setRouterInfoLabels(const QString& text) {
    QLabel* const routerInfoLabels[] = {
        ui->labelWirelessRouterIPAddress,
        ui->labelWirelessBSSID,
        ui->labelWirelessVendor,
        ui->labelWirelessChannels,
        ui->labelWirelessFrequencies,
        ui->labelWirelessProtocols,
        ui->labelWirelessUptime,
        ui->labelWirelessEncryptionMethods,
        ui->labelWirelessAuthenticationMethods,
    };
    for (QLabel* label : routerInfoLabels)
        label->setText(text);
}

void TabNetworkingWireless::onWifiRouterInfoLeftColumnUpdated(const QString& routerIPAddress,
                                                              const QString& bssid, const QString& vendor) {
    ui->labelWirelessRouterIPAddress->setText(routerIPAddress);
    ui->labelWirelessBSSID->setText(bssid);
    ui->labelWirelessVendor->setText(wireless::elideText(vendor, kVendorLength));
}

void TabNetworkingWireless::onWifiRouterInfoOtherColumnsUpdated(
    const QString& channels, const QString& frequencies, const QString& protocols, const QString& uptime,
    const QString& encryptionMethods, const QString& authenticationMethods) {
    routerInfoKnown = true;
    routerRetryDelayMs = kFirstRouterRequestMs;
    static const QRegularExpression uptimeShape(QStringLiteral("(\\d+)D\\s+(\\d{2}):(\\d{2}):(\\d{2})"));
    const QRegularExpressionMatch match = uptimeShape.match(uptime);
    if (match.hasMatch()) {
        uptimeDays = match.captured(1).toInt();
        uptimeHours = match.captured(2).toInt();
        uptimeMinutes = match.captured(3).toInt();
        uptimeSeconds = match.captured(4).toInt();
    } else {
        qCDebug(lcWireless) << "Unexpected uptime format:" << uptime;
        uptimeDays = uptimeHours = uptimeMinutes = uptimeSeconds = 0;
    }
    if (!uptimeTimer->isActive())
        uptimeTimer->start(1000);
    ui->labelWirelessChannels->setText(channels);
    ui->labelWirelessFrequencies->setText(frequencies);
    ui->labelWirelessProtocols->setText(protocols.isEmpty() ? QStringLiteral("N/A") : protocols);
    ui->labelWirelessEncryptionMethods->setText(encryptionMethods);
    ui->labelWirelessAuthenticationMethods->setText(authenticationMethods);
    ui->labelWirelessUptime->setText(uptime);
}

void TabNetworkingWireless::onThemeChanged() {
    QProgressBar* bar = ui->progressBarLinkQuality;
    QString styleSheet = bar->styleSheet();
    if (isDarkTheme())
        styleSheet.replace(QLatin1String("#E0E0E0"), QLatin1String("#202A36"));
    else
        styleSheet.replace(QLatin1String("#202A36"), QLatin1String("#E0E0E0"));
    bar->setStyleSheet(styleSheet);
}

void TabNetworkingWireless::updateUptime() {
    if (++uptimeSeconds > 59) {
        uptimeSeconds = 0;
        ++uptimeMinutes;
    }
    if (uptimeMinutes > 59) {
        uptimeMinutes = 0;
        ++uptimeHours;
    }
    if (uptimeHours > 23) {
        uptimeHours = 0;
        ++uptimeDays;
    }
    ui->labelWirelessUptime->setText(
        wireless::formatUptime(uptimeDays, uptimeHours, uptimeMinutes, uptimeSeconds));
}
