#include "tabnetworkingwireless.h"

#include "commandrunner.h"
#include "mainwindow.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workernetworkingwireless.h"
#include "workerthread.h"

#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

TabNetworkingWireless::TabNetworkingWireless(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qDebug() << "We are here in Tab Networking Wireless!";
    auto* worker = new WorkerNetworkingWireless;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workernetworkingwireless"));
    connect(this, &TabNetworkingWireless::fetchStats, worker, &WorkerNetworkingWireless::fetchWirelessStats);
    workerThread->start();

    findWirelessInterface();

    pollTimer = new QTimer(this);
    pollTimer->setInterval(500);
    connect(pollTimer, &QTimer::timeout, this, [this] { emit fetchStats(selectedInterface()); });

    connect(this, &TabNetworkingWireless::requestWifiRouterInfo, worker,
            &WorkerNetworkingWireless::updateWifiRouterInfo, Qt::QueuedConnection);

    // The ticker keeps counting while the page is hidden, so it is not tied
    // to the window's timers.
    uptimeTimer = std::make_unique<QTimer>();
    connect(uptimeTimer.get(), &QTimer::timeout, this, &TabNetworkingWireless::updateUptime);

    setRouterInfoLabels(QStringLiteral("N/A"));

    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabNetworkingWireless::onThemeChanged);
    onThemeChanged();
}

TabNetworkingWireless::~TabNetworkingWireless() {
    pollTimer->stop();
    uptimeTimer->stop();
}

bool TabNetworkingWireless::isPolling() const {
    return pollTimer->isActive();
}

void TabNetworkingWireless::startTimer() {
    pollTimer->start();
}

void TabNetworkingWireless::stopTimer() {
    pollTimer->stop();
}

QString TabNetworkingWireless::selectedInterface() const {
    const QString chosen = ui->comboBoxNetworkingWirelessSelectWifiInterface->currentText();
    return chosen.isEmpty() ? wirelessInterface : chosen;
}

void TabNetworkingWireless::findWirelessInterface() {
    const CommandResult result = CommandRunner::run(QStringLiteral("iw"), {QStringLiteral("dev")});
    const QString output = result.outputText();
    qDebug() << "IW Dev Command Output:" << output;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.contains(QLatin1String("Interface")))
            continue;
        wirelessInterface = line.mid(line.lastIndexOf(QLatin1Char(' ')) + 1).trimmed();
        qDebug() << "First available wireless interface found:" << wirelessInterface;
        ui->comboBoxNetworkingWirelessSelectWifiInterface->addItem(wirelessInterface);
        return;
    }
    qDebug() << "No wireless interface found.";
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
    ui->labelWirelessUptime->setText(QStringLiteral("%1D %2:%3:%4")
                                         .arg(uptimeDays)
                                         .arg(uptimeHours, 2, 10, QLatin1Char('0'))
                                         .arg(uptimeMinutes, 2, 10, QLatin1Char('0'))
                                         .arg(uptimeSeconds, 2, 10, QLatin1Char('0')));
}
