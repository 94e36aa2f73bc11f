#include "tabnetworkingwireless.h"

#include "themecolors.h"
#include "ui_mainwindow.h"
#include "wirelessparsing.h"

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

TabNetworkingWireless::TabNetworkingWireless(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qCDebug(lcWireless) << "We are here in Tab Networking Wireless!";
    worker.connectResult(&WorkerNetworkingWireless::wirelessInterfaceUpdated, this,
                         &TabNetworkingWireless::onWirelessInterfaceDataReady);
    worker.connectResult(&WorkerNetworkingWireless::wirelessStatsUpdated, this,
                         &TabNetworkingWireless::onWirelessStatsDataReady);
    worker.connectResult(&WorkerNetworkingWireless::routerInfoUpdated, this,
                         &TabNetworkingWireless::onRouterInfoDataReady);
    worker.connectRequest(this, &TabNetworkingWireless::requestWirelessInterface,
                          &WorkerNetworkingWireless::findWirelessInterface);
    // A poll waits on tools; a tick while one still runs is dropped.
    worker.connectRequest(this, &TabNetworkingWireless::requestUpdateWirelessStats,
                          &WorkerNetworkingWireless::fetchWirelessStats, RequestDelivery::SkipWhileBusy);
    worker.connectRequest(this, &TabNetworkingWireless::requestUpdateRouterInfo,
                          &WorkerNetworkingWireless::fetchRouterInfo);
    worker.start();

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
        emit requestUpdateRouterInfo(selectedInterface());
    });

    // The ticker keeps counting while the page is hidden, so it is not tied
    // to the window's timers.
    uptimeTimer = std::make_unique<QTimer>();
    connect(uptimeTimer.get(), &QTimer::timeout, this, &TabNetworkingWireless::updateUptime);

    // Nothing of the form's sample network may show before the first poll.
    showNoLink(QStringLiteral("N/A"));
    setRouterInfoLabels(QStringLiteral("N/A"));

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
    if (!wirelessInterface.isEmpty())
        emit requestUpdateWirelessStats(selectedInterface());
}

QString TabNetworkingWireless::selectedInterface() const {
    const QString chosen = ui->comboBoxNetworkingWirelessSelectWifiInterface->currentText();
    return chosen.isEmpty() ? wirelessInterface : chosen;
}

void TabNetworkingWireless::onWirelessInterfaceDataReady(const QString& name) {
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

void TabNetworkingWireless::onWirelessStatsDataReady(const WirelessStats& stats) {
    const int quality = stats.linkQuality * 100 / 70;
    ui->progressBarLinkQuality->setValue(quality);
    ui->progressBarLinkQuality->setTextVisible(true);
    ui->progressBarLinkQuality->setStyleSheet(linkQualityStyleSheet(quality, isDarkTheme()));
    ui->labelWirelessSignalQuality->setText(quality < 1 ? QStringLiteral("N/A")
                                                        : QStringLiteral("%1%").arg(quality));
    ui->labelWirelessSignalStrength->setText(levelText(stats.signalLevel));
    ui->labelWirelessNoiseLevel->setText(levelText(stats.noiseLevel));
    const auto orNotAvailable = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("N/A") : text;
    };
    ui->labelWirelessSSID->setText(orNotAvailable(stats.ssid));
    ui->labelWirelessMACAddress->setText(orNotAvailable(stats.macAddress));
    ui->labelWirelessIPAddress->setText(orNotAvailable(stats.ipAddress));
    ui->labelWirelessFrequency->setText(orNotAvailable(stats.frequency));
    ui->labelWirelessEncryptionType->setText(orNotAvailable(stats.encryption));
    ui->labelWirelessConnectionStatus->setText(stats.connectionStatus);

    if (stats.connectionStatus != lastConnectionStatus) {
        if (stats.connectionStatus == QLatin1String("Connected"))
            scheduleRouterRequest(false);
        else
            clearRouterInfo();
    }
    lastConnectionStatus = stats.connectionStatus;
}

void TabNetworkingWireless::clearRouterInfo() {
    routerRetryTimer->stop();
    routerInfoKnown = false;
    if (uptimeTimer->isActive())
        uptimeTimer->stop();
    setRouterInfoLabels(QStringLiteral("N/A"));
}

void TabNetworkingWireless::scheduleRouterRequest(bool afterFailure) {
    if (!afterFailure) {
        routerRetryDelayMs = kFirstRouterRequestMs;
    } else {
        // A failed scan is retried only while the link is up and the page is
        // shown, and ever less often: every active scan takes the radio off
        // its channel.
        if (!pageShown || lastConnectionStatus != QLatin1String("Connected"))
            return;
        routerRetryDelayMs = qMin(routerRetryDelayMs * 2, kLongestRouterRetryMs);
    }
    routerRequestIsRetry = afterFailure;
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

void TabNetworkingWireless::onRouterInfoDataReady(const WirelessRouterInfo& info) {
    ui->labelWirelessRouterIPAddress->setText(info.routerIPAddress);
    ui->labelWirelessBSSID->setText(info.bssid);
    ui->labelWirelessVendor->setText(wireless::elideText(info.vendor, kVendorLength));
    if (info.failed) {
        scheduleRouterRequest(true);
        return;
    }
    routerInfoKnown = true;
    routerRetryDelayMs = kFirstRouterRequestMs;
    static const QRegularExpression uptimeShape(QStringLiteral("(\\d+)D\\s+(\\d{2}):(\\d{2}):(\\d{2})"));
    const QRegularExpressionMatch match = uptimeShape.match(info.uptime);
    if (match.hasMatch()) {
        uptimeDays = match.captured(1).toInt();
        uptimeHours = match.captured(2).toInt();
        uptimeMinutes = match.captured(3).toInt();
        uptimeSeconds = match.captured(4).toInt();
    } else {
        qCDebug(lcWireless) << "Unexpected uptime format:" << info.uptime;
        uptimeDays = uptimeHours = uptimeMinutes = uptimeSeconds = 0;
    }
    if (!uptimeTimer->isActive())
        uptimeTimer->start(1000);
    ui->labelWirelessChannels->setText(info.channels);
    ui->labelWirelessFrequencies->setText(info.frequencies);
    ui->labelWirelessProtocols->setText(info.protocols.isEmpty() ? QStringLiteral("N/A") : info.protocols);
    ui->labelWirelessEncryptionMethods->setText(info.encryptionMethods);
    ui->labelWirelessAuthenticationMethods->setText(info.authenticationMethods);
    ui->labelWirelessUptime->setText(info.uptime);
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
