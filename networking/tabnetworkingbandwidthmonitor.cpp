#include "tabnetworkingbandwidthmonitor.h"

#include "custompushbutton.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QLabel>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QTimer>
#include <qcustomplot.h>

Q_DECLARE_LOGGING_CATEGORY(lcBandwidth)

namespace {
constexpr int kSampleIntervalMs = 500;
constexpr double kLinkSpeedMaxAgeSeconds = 30;
// Grid lines stand about this many pixels apart whatever the data.
constexpr int kGridSpacingPixels = 14;

double nowSeconds() {
    return WorkerNetworkingBandwidthMonitor::monotonicSeconds();
}

void appendCapped(QList<double>& list, double value) {
    list.append(value);
    if (list.size() > TabNetworkingBandwidthMonitor::kHistoryLength)
        list.removeFirst();
}

void styleTrafficPlot(QCustomPlot* plot, const ThemeColors& colors) {
    plot->addGraph();
    plot->graph(0)->setPen(QPen(colors.foregroundColor(), 1, Qt::SolidLine));
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->setTicks(false);
        axis->setTickLabels(false);
        axis->setBasePen(Qt::NoPen);
        axis->grid()->setPen(QPen(QColor(150, 101, 0), 1.0, Qt::DotLine));
        axis->grid()->setVisible(true);
    }
    plot->yAxis->grid()->setZeroLinePen(Qt::NoPen);
    plot->axisRect()->setAutoMargins(QCP::msNone);
    plot->axisRect()->setMargins(QMargins(0, 0, 0, 0));
    plot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    plot->setAntialiasedElements(QCP::aeAll);
    plot->setBackground(QBrush(colors.backgroundColor()));
}
} // namespace

TabNetworkingBandwidthMonitor::TabNetworkingBandwidthMonitor(Ui::MainWindow* ui, QWidget* parent)
    : QWidget(parent), ui(ui) {
    qCDebug(lcBandwidth) << "We are here in tab Networking Bandwidth Monitor!";
    worker.connectResult(&WorkerNetworkingBandwidthMonitor::interfaceCountersUpdated, this,
                         &TabNetworkingBandwidthMonitor::onInterfaceCountersDataReady);
    worker.connectRequest(this, &TabNetworkingBandwidthMonitor::requestUpdateBandwidth,
                          &WorkerNetworkingBandwidthMonitor::fetchInterfaceCounters,
                          RequestDelivery::SkipWhileBusy);
    worker.start();
    linkSpeedWorker.connectResult(&WorkerNetworkingBandwidthMonitor::linkSpeedUpdated, this,
                                  &TabNetworkingBandwidthMonitor::onLinkSpeedDataReady);
    linkSpeedWorker.connectRequest(this, &TabNetworkingBandwidthMonitor::requestLinkSpeed,
                                   &WorkerNetworkingBandwidthMonitor::probeLinkSpeed);
    linkSpeedWorker.start();

    frameRX = ui->frameNetworkingRX;
    frameTX = ui->frameNetworkingTX;
    labelDownload = ui->labelNetworkingDownload;
    labelDownloadSpeed = ui->labelNetworkingDownloadSpeed;
    labelUpload = ui->labelNetworkingUpload;
    labelUploadSpeed = ui->labelNetworkingUploadSpeed;
    for (QFrame* frame : {frameRX, frameTX}) {
        if (!frame->layout())
            new QVBoxLayout(frame);
    }
    // No figure of the form may pass for a reading before the first sample;
    // broadcast and overrun counts are not in the kernel's table at all.
    for (QLabel* label : ui->groupBoxNetworkingGraphs->parentWidget()->findChildren<QLabel*>(
             QRegularExpression(QStringLiteral("^labelNetworking.*(RX|TX)$"))))
        label->setText(QStringLiteral("N/A"));
    labelDownloadSpeed->clear();
    labelUploadSpeed->clear();

    initializeUi(ui->groupBoxNetworkingBandwidthMonitorNetworkInterfaces);
    frameRX->installEventFilter(this);

    samplingTimer = new QTimer(this);
    samplingTimer->setInterval(kSampleIntervalMs);
    connect(samplingTimer, &QTimer::timeout, this, &TabNetworkingBandwidthMonitor::requestUpdateBandwidth);
}

TabNetworkingBandwidthMonitor::~TabNetworkingBandwidthMonitor() {
    samplingTimer->stop();
}

bool TabNetworkingBandwidthMonitor::isSampling() const {
    return samplingTimer->isActive();
}

void TabNetworkingBandwidthMonitor::startTimer() {
    samplingTimer->start();
}

void TabNetworkingBandwidthMonitor::stopTimer() {
    samplingTimer->stop();
}

QString TabNetworkingBandwidthMonitor::checkedInterface() const {
    auto* button =
        interfaceButtons ? qobject_cast<CustomPushButton*>(interfaceButtons->checkedButton()) : nullptr;
    return button ? button->interfaceName() : QString();
}

void TabNetworkingBandwidthMonitor::initializeUi(QWidget* interfacesBox) {
    QLayout* boxLayout = interfacesBox->layout();
    if (!boxLayout) {
        boxLayout = new QVBoxLayout(interfacesBox);
    } else {
        while (QLayoutItem* item = boxLayout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
    }
    interfaceButtons = new QButtonGroup(this);
    interfaceButtons->setExclusive(true);
    for (QFrame* frame : {frameRX, frameTX}) {
        frame->layout()->setContentsMargins(0, 0, 0, 0);
        frame->layout()->setSpacing(0);
    }

    CustomPushButton* firstEnabled = nullptr;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& networkInterface : interfaces) {
        CustomPushButton* button = CustomPushButton::forInterface(networkInterface, interfacesBox);
        interfaceButtons->addButton(button);
        boxLayout->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                &TabNetworkingBandwidthMonitor::onNetworkInterfaceSelected);
        if (!firstEnabled && button->isEnabled())
            firstEnabled = button;

        history.insert(networkInterface.name(), InterfaceTrafficHistory());
    }
    if (firstEnabled) {
        firstEnabled->setChecked(true);
        onNetworkInterfaceSelected();
    }
}

void TabNetworkingBandwidthMonitor::onInterfaceCountersDataReady(const InterfaceSample& sample) {
    if (!sample.failure.isEmpty())
        return;
    const double now = sample.sampledAt;
    const QString checked = checkedInterface();
    const QVector<traffic::InterfaceCounters>& all = sample.interfaces;
    for (const traffic::InterfaceCounters& counters : all) {
        auto found = history.find(counters.name);
        if (found == history.end())
            continue;
        InterfaceTrafficHistory& record = *found;
        double rxBytesPerSecond = 0, txBytesPerSecond = 0;
        const double elapsed = now - record.lastTimestamp;
        const bool haveRates =
            record.lastTimestamp > 0 &&
            traffic::counterRate(record.lastRxBytes, counters.rxBytes, elapsed, &rxBytesPerSecond) &&
            traffic::counterRate(record.lastTxBytes, counters.txBytes, elapsed, &txBytesPerSecond);
        if (record.lastTimestamp > 0 && elapsed <= 0)
            continue;
        record.lastRxBytes = counters.rxBytes;
        record.lastTxBytes = counters.txBytes;
        record.lastTimestamp = now;
        if (!haveRates)
            continue;
        appendCapped(record.timestamps, now);
        appendCapped(record.rxRates, rxBytesPerSecond * 8 / 1024);
        appendCapped(record.txRates, txBytesPerSecond * 8 / 1024);
    }
    if (checked.isEmpty())
        return;
    updatePlot(checked);
    for (const traffic::InterfaceCounters& counters : all) {
        if (counters.name == checked) {
            updateInterfaceDetails(counters, now);
            break;
        }
    }
}

void TabNetworkingBandwidthMonitor::updatePlot(const QString& name) {
    const InterfaceTrafficHistory record = history.value(name);
    if (record.timestamps.isEmpty())
        return;
    // The scale labels follow the samples also while the graphs are not built.
    const auto found = plots.constFind(name);
    QCustomPlot* download = found == plots.constEnd() ? nullptr : found->first;
    QCustomPlot* upload = found == plots.constEnd() ? nullptr : found->second;
    const double upper = record.timestamps.last();
    const double lower = upper - 0.2 * qMax(1, download ? download->width() : frameRX->width());

    QVector<double> times, rx, tx;
    for (int i = 0; i < record.timestamps.size(); ++i) {
        const double t = record.timestamps.at(i);
        if (t < lower || t > upper)
            continue;
        times << t;
        rx << record.rxRates.at(i);
        tx << record.txRates.at(i);
    }
    if (times.isEmpty())
        return;
    const double rxScale = traffic::calculateScale(*std::max_element(rx.cbegin(), rx.cend()));
    const double txScale = traffic::calculateScale(*std::max_element(tx.cbegin(), tx.cend()));
    formatRate(rxScale, labelDownloadSpeed);
    formatRate(txScale, labelUploadSpeed);
    if (!download)
        return;
    const auto draw = [&times, lower, upper](QCustomPlot* plot, QVector<double> rates, double scale) {
        for (double& rate : rates)
            rate = rate / scale * 100;
        plot->graph(0)->setData(times, rates, true);
        plot->xAxis->setRange(lower, upper);
        plot->yAxis->setRange(-1, 100);
    };
    draw(download, rx, rxScale);
    draw(upload, tx, txScale);
    // Lays the grid out and draws each plot once.
    updatePlotLayout();
}

void TabNetworkingBandwidthMonitor::updatePlotLayout() {
    QList<QCustomPlot*> all = frameRX->findChildren<QCustomPlot*>();
    all += frameTX->findChildren<QCustomPlot*>();
    for (QCustomPlot* plot : qAsConst(all)) {
        if (!plot->isVisible())
            continue;
        const QRect area = plot->axisRect()->rect();
        const int xSteps = qMax(1, area.width() / kGridSpacingPixels);
        const int ySteps = qMax(1, area.height() / kGridSpacingPixels);
        for (auto [axis, steps] : {qMakePair(plot->xAxis, xSteps), qMakePair(plot->yAxis, ySteps)}) {
            const double step = axis->range().size() / steps;
            // A plot with no room yet keeps its ticker: a zero step would
            // never finish laying out ticks.
            if (!(step > 0))
                continue;
            QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
            ticker->setTickStep(step);
            ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
            axis->setTicker(ticker);
            axis->grid()->setVisible(true);
        }
        plot->replot(QCustomPlot::rpRefreshHint);
    }
}

void TabNetworkingBandwidthMonitor::formatRate(double kbps, QLabel* label) {
    label->setText(traffic::formatRate(kbps));
    positionSpeedLabels();
}

void TabNetworkingBandwidthMonitor::positionSpeedLabels() {
    for (QLabel* caption : {labelDownload, labelUpload}) {
        caption->adjustSize();
        caption->raise();
        caption->move(5, 5);
    }
    for (QLabel* speed : {labelDownloadSpeed, labelUploadSpeed}) {
        speed->adjustSize();
        speed->raise();
        speed->move(speed->parentWidget()->width() - speed->width() - 5, 5);
    }
}

void TabNetworkingBandwidthMonitor::onNetworkInterfaceSelected() {
    const QString name = checkedInterface();
    if (name.isEmpty()) {
        qWarning("No interface selected.");
        return;
    }
    if (!history.contains(name)) {
        qWarning().noquote() << "Plots for interface" << name << "not found.";
        return;
    }
    labelDownloadSpeed->clear();
    labelUploadSpeed->clear();
    if (frameRX->isVisible())
        showPlotsOf(name);
    positionSpeedLabels();
    emit requestUpdateBandwidth();
}

bool TabNetworkingBandwidthMonitor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frameRX && event->type() == QEvent::Show) {
        const QString name = checkedInterface();
        if (history.contains(name))
            showPlotsOf(name);
    }
    return QWidget::eventFilter(watched, event);
}

void TabNetworkingBandwidthMonitor::showPlotsOf(const QString& name) {
    auto found = plots.find(name);
    if (found == plots.end()) {
        // Built when first seen: each graph keeps drawing buffers of its
        // size, a few megabytes a pair, and most interfaces are never looked at.
        const double now = nowSeconds();
        auto* download = new QCustomPlot;
        auto* upload = new QCustomPlot;
        for (QCustomPlot* plot : {download, upload}) {
            styleTrafficPlot(plot, themeColors);
            plot->xAxis->setRange(now - 0.4 * qMax(1, frameRX->width()), now);
            plot->yAxis->setRange(0, 100);
            plot->hide();
        }
        frameRX->layout()->addWidget(download);
        frameTX->layout()->addWidget(upload);
        found = plots.insert(name, qMakePair(download, upload));
    }
    for (auto pair = plots.cbegin(); pair != plots.cend(); ++pair) {
        if (pair != found) {
            pair->first->hide();
            pair->second->hide();
        }
    }
    found->first->show();
    found->second->show();
    updatePlot(name);
    updatePlotLayout();
}

void TabNetworkingBandwidthMonitor::updateInterfaceDetails(const traffic::InterfaceCounters& counters,
                                                           double now) {
    const QString& name = counters.name;
    auto found = statistics.find(name);
    if (found == statistics.end()) {
        InterfaceStatistics fresh;
        fresh.startTimestamp = now;
        found = statistics.insert(name, fresh);
    }
    InterfaceStatistics& record = *found;
    record.counters = counters;
    const double elapsed = now - record.previousTimestamp;
    double rxBytes = 0, txBytes = 0, rxPackets = 0, txPackets = 0;
    const bool haveRates =
        record.previousTimestamp > 0 &&
        traffic::counterRate(record.previousRxBytes, counters.rxBytes, elapsed, &rxBytes) &&
        traffic::counterRate(record.previousTxBytes, counters.txBytes, elapsed, &txBytes) &&
        traffic::counterRate(record.previousRxPackets, counters.rxPackets, elapsed, &rxPackets) &&
        traffic::counterRate(record.previousTxPackets, counters.txPackets, elapsed, &txPackets);
    if (haveRates) {
        record.peakRxBitsPerSecond = qMax(record.peakRxBitsPerSecond, rxBytes * 8);
        record.peakTxBitsPerSecond = qMax(record.peakTxBitsPerSecond, txBytes * 8);
        record.totalRxBytes += double(counters.rxBytes - record.previousRxBytes);
        record.totalTxBytes += double(counters.txBytes - record.previousTxBytes);
    }
    updateInterfaceLabels(now, record, name, haveRates, rxBytes * 8, txBytes * 8, rxPackets, txPackets);
    record.previousRxBytes = counters.rxBytes;
    record.previousTxBytes = counters.txBytes;
    record.previousRxPackets = counters.rxPackets;
    record.previousTxPackets = counters.txPackets;
    record.previousTimestamp = now;
}

void TabNetworkingBandwidthMonitor::updateInterfaceLabels(double now, const InterfaceStatistics& record,
                                                          const QString& name, bool haveRates, double rxBits,
                                                          double txBits, double rxPackets, double txPackets) {
    const traffic::InterfaceCounters& c = record.counters;
    ui->labelNetworkingBytesRX->setText(traffic::formatBytes(c.rxBytes));
    ui->labelNetworkingBytesTX->setText(traffic::formatBytes(c.txBytes));
    ui->labelNetworkingPacketsRX->setText(QString::number(c.rxPackets));
    ui->labelNetworkingPacketsTX->setText(QString::number(c.txPackets));
    ui->labelNetworkingMulticastRX->setText(QString::number(c.rxMulticast));
    // The kernel counts multicast only on receive.
    ui->labelNetworkingMulticastTX->setText(QStringLiteral("N/A"));
    ui->labelNetworkingCompressedRX->setText(QString::number(c.rxCompressed));
    ui->labelNetworkingCompressedTX->setText(QString::number(c.txCompressed));
    ui->labelNetworkingErrorsRX->setText(QString::number(c.rxErrors));
    ui->labelNetworkingErrorsTX->setText(QString::number(c.txErrors));
    ui->labelNetworkingCollisionsRX->setText(QStringLiteral("N/A"));
    ui->labelNetworkingCollisionsTX->setText(QString::number(c.txCollisions));
    ui->labelNetworkingDroppedRX->setText(QString::number(c.rxDropped));
    ui->labelNetworkingDroppedTX->setText(QString::number(c.txDropped));
    ui->labelNetworkingFifoErrorsRX->setText(QString::number(c.rxFifo));
    ui->labelNetworkingFifoErrorsTX->setText(QString::number(c.txFifo));
    showLinkSpeed(name);
    if (haveRates) {
        ui->labelNetworkingThroughputRX->setText(traffic::formatBits(rxBits));
        ui->labelNetworkingThroughputTX->setText(traffic::formatBits(txBits));
        ui->labelNetworkingPacketsPerSecondRX->setText(QString::number(rxPackets, 'f', 2));
        ui->labelNetworkingPacketsPerSecondTX->setText(QString::number(txPackets, 'f', 2));
    }
    const double span = now - record.startTimestamp;
    if (span > 0) {
        ui->labelNetworkingAverageSpeedRX->setText(traffic::formatBits(record.totalRxBytes * 8 / span));
        ui->labelNetworkingAverageSpeedTX->setText(traffic::formatBits(record.totalTxBytes * 8 / span));
    } else {
        ui->labelNetworkingAverageSpeedRX->setText(QStringLiteral("Calculating..."));
        ui->labelNetworkingAverageSpeedTX->setText(QStringLiteral("Calculating..."));
    }
    ui->labelNetworkingPeakSpeedRX->setText(traffic::formatBits(record.peakRxBitsPerSecond));
    ui->labelNetworkingPeakSpeedTX->setText(traffic::formatBits(record.peakTxBitsPerSecond));
}

void TabNetworkingBandwidthMonitor::showLinkSpeed(const QString& name) {
    const auto known = linkSpeeds.constFind(name);
    const QString text = known == linkSpeeds.constEnd() || *known < 0 ? QStringLiteral("N/A")
                                                                      : QStringLiteral("%1 Mbps").arg(*known);
    ui->labelNetworkingBandwidthRX->setText(text);
    ui->labelNetworkingBandwidthTX->setText(text);
    const auto probedAt = linkSpeedProbedAt.constFind(name);
    if (linkSpeedProbeRunning ||
        (probedAt != linkSpeedProbedAt.constEnd() && nowSeconds() - *probedAt < kLinkSpeedMaxAgeSeconds))
        return;
    linkSpeedProbeRunning = true;
    linkSpeedProbedAt.insert(name, nowSeconds());
    emit requestLinkSpeed(name);
}

void TabNetworkingBandwidthMonitor::onLinkSpeedDataReady(const LinkSpeed& speed) {
    linkSpeedProbeRunning = false;
    linkSpeeds.insert(speed.interfaceName, speed.megabitsPerSecond);
    // Shows the answer, or asks for the interface chosen meanwhile.
    const QString checked = checkedInterface();
    if (!checked.isEmpty())
        showLinkSpeed(checked);
}

void TabNetworkingBandwidthMonitor::handleWindowResized(const QSize& newSize) {
    if (auto* layout = qobject_cast<QBoxLayout*>(ui->groupBoxNetworkingGraphs->layout())) {
        const bool wantHorizontal = newSize.height() < 581;
        const bool horizontal = layout->direction() == QBoxLayout::LeftToRight;
        if (wantHorizontal != horizontal) {
            layout->setDirection(wantHorizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
            qCDebug(lcBandwidth) << (wantHorizontal ? "Switched to horizontal layout"
                                                    : "Switched to vertical layout");
            layout->setStretch(0, 1);
            layout->setStretch(1, 1);
        }
    }
    if (plots.contains(checkedInterface()))
        updatePlotLayout();
    positionSpeedLabels();
    // The frames have their final geometry only once the layout has run.
    QTimer::singleShot(200, this, &TabNetworkingBandwidthMonitor::positionSpeedLabels);
}
