#include "taboverviewgraphs.h"

#include "clickablegroupbox.h"
#include "overviewstyles.h"
#include "ui_mainwindow.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcOverviewGraphs, "tessmar.overview.graphs", QtWarningMsg)

namespace {

constexpr int defaultIntervalMs = 500;

const char* const graphTitles[] = {
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "CPU History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "GPU History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "RAM History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "Disk I/O History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "Network I/O History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "Temperatures History"),
};

// The plot each graph index shows.
const OverviewPlots::Plot shownPlots[] = {OverviewPlots::Cpu,     OverviewPlots::Gpu,
                                          OverviewPlots::Ram,     OverviewPlots::Disk,
                                          OverviewPlots::Network, OverviewPlots::Temperature};

const QString notAvailable = QStringLiteral("N/A");

// A bar for a figure that may be unknown (negative): then it is emptied and
// says so rather than keeping whatever it showed before. Values beyond the
// bar's range fill or empty it, while format may still name the real value.
void setBarValue(QProgressBar* bar, int value, const QString& format) {
    if (value < 0) {
        bar->setValue(bar->minimum());
        bar->setFormat(notAvailable);
        return;
    }
    bar->setValue(std::clamp(value, bar->minimum(), bar->maximum()));
    bar->setFormat(format);
}

} // namespace

TabOverviewGraphs::TabOverviewGraphs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    qCDebug(lcOverviewGraphs) << "OverviewTabHandler constructed";

    resizeTimer = new QTimer(this);
    resizeTimer->setObjectName(QStringLiteral("overviewResizeTimer"));
    resizeTimer->setInterval(100);
    resizeTimer->setSingleShot(true);
    connect(resizeTimer, &QTimer::timeout, this, [this] {
        isResizing = false;
        positionOverlayLabels();
        drawGrid();
    });

    worker.connectResult(&WorkerOverviewGraphs::updateCompleted, this, &TabOverviewGraphs::updateGraphs);
    // A slow sample (a hanging GPU tool) delays the next tick instead of
    // queueing them up.
    worker.connectRequest(this, &TabOverviewGraphs::requestUpdateGraphs, &WorkerOverviewGraphs::process,
                          RequestDelivery::SkipWhileBusy);
    worker.start();
    emit requestUpdateGraphs();

    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("overviewUpdateTimer"));
    connect(updateTimer, &QTimer::timeout, this, &TabOverviewGraphs::requestUpdateGraphs);

    ClickableGroupBox* const boxes[GraphCount] = {ui->gbCPU,    ui->gbGPU,       ui->gbRAM,
                                                  ui->gbDiskIO, ui->gbNetworkIO, ui->gbTemps};
    for (int index = 0; index < GraphCount; ++index) {
        groupBoxes[index] = boxes[index];
        connect(boxes[index], &ClickableGroupBox::clicked, this, [this, index] { selectGraph(index); });
    }
    diskSpeedLabel = ui->labelDiskIOSpeed;
    networkSpeedLabel = ui->labelNetworkIOSpeed;
    diskSpeedLabel->hide();
    networkSpeedLabel->hide();
    // The labels sit in the plot frame's top right corner, wherever the
    // frame's size comes from (also while another tab is shown).
    if (ui->fCPUUsagePlot)
        ui->fCPUUsagePlot->installEventFilter(this);
    showPlaceholders();

    applyFrameStyles();

    updateTimer->start(defaultIntervalMs);
    currentGraphIndex = -1;
    QTimer::singleShot(0, this, [this] { selectGraph(CpuGraph); });
}

TabOverviewGraphs::~TabOverviewGraphs() = default;

// The form's sample figures must not pass for readings before the first sample.
void TabOverviewGraphs::showPlaceholders() {
    for (QProgressBar* bar : {ui->pbCPU, ui->pbGPU, ui->pbRAM, ui->pbDiskIO, ui->pbNetworkIO, ui->pbTemps})
        setBarValue(bar, -1, QString());
    updateDiskScaleLabel(OverviewPlots::diskScaleCeiling(std::numeric_limits<double>::lowest()));
    updateNetworkScaleLabel(OverviewPlots::networkScaleCeiling(std::numeric_limits<double>::lowest()));
}

void TabOverviewGraphs::setupGraphs() {
    sampleCounter = 0;
    QFrame* frame = ui->fCPUUsagePlot;
    if (!frame) {
        qCDebug(lcOverviewGraphs) << "fCPUUsagePlot is null";
        return;
    }
    plots.build(frame);

    noDataLabel = new QLabel(notAvailable, frame);
    noDataLabel->setObjectName(QStringLiteral("labelOverviewGraphNoData"));
    noDataLabel->setAlignment(Qt::AlignCenter);
    noDataLabel->hide();

    diskSpeedLabel->raise();
    networkSpeedLabel->raise();
    historyGroupBox = ui->gbHistory;
    setColorTheme(QStringLiteral("aperture"));
    graphsInitialized = true;
}

QCustomPlot* TabOverviewGraphs::currentPlot() const {
    const bool known = currentGraphIndex >= 0 && currentGraphIndex < GraphCount;
    return plots.plot(known ? shownPlots[currentGraphIndex] : OverviewPlots::Cpu);
}

void TabOverviewGraphs::selectGraph(int index) {
    if (index == currentGraphIndex)
        return;
    plots.hideShownPlots();
    diskSpeedLabel->hide();
    networkSpeedLabel->hide();

    QFont font = ui->gbCPU->font();
    font.setBold(false);
    for (ClickableGroupBox* box : groupBoxes) {
        box->setStyleSheet(groupBoxStyle);
        box->setFont(font);
    }
    if (index >= 0 && index < GraphCount) {
        currentGraphIndex = index;
        if (historyGroupBox)
            historyGroupBox->setTitle(tr(graphTitles[index]));
        font.setBold(true);
        groupBoxes[index]->setStyleSheet(groupBoxStyleSelected);
        groupBoxes[index]->setFont(font);
        diskSpeedLabel->setVisible(index == DiskGraph);
        networkSpeedLabel->setVisible(index == NetworkGraph);
        applyGraphPens();
    }
    updateNoDataLabel();
    drawGrid();
}

void TabOverviewGraphs::updateNoDataLabel() {
    if (!noDataLabel)
        return;
    const bool unknown = (currentGraphIndex == GpuGraph && lastGpuUsage < 0) ||
                         (currentGraphIndex == TemperatureGraph && lastTemperature < 0);
    if (unknown == noDataLabel->isVisible())
        return;
    noDataLabel->setVisible(unknown);
    if (unknown) {
        positionOverlayLabels();
        noDataLabel->raise();
    }
}

void TabOverviewGraphs::applyGraphPens() {
    if (QCustomPlot* plot = currentPlot())
        OverviewPlots::applyPens(plot, themeColors);
}

void TabOverviewGraphs::applyFrameStyles() {
    const bool dark = isDarkTheme();
    groupBoxStyleSelected = OverviewStyles::selectedGroupBoxStyle();
    groupBoxStyle = OverviewStyles::groupBoxStyle(dark);
    const QString frameStyle = OverviewStyles::frameStyle(dark);
    for (QFrame* frame : {ui->frameCPU, ui->frameGPU, ui->frameRAM, ui->frameDiskIO, ui->frameNetworkIO,
                          ui->frameTemps, ui->fCPUUsagePlot, ui->frameNetworkingRX, ui->frameNetworkingTX}) {
        if (frame)
            frame->setStyleSheet(frameStyle);
    }
}

void TabOverviewGraphs::onThemeChanged() {
    applyFrameStyles();
    const int shown = currentGraphIndex;
    currentGraphIndex = -1;
    selectGraph(shown);
}

void TabOverviewGraphs::setColorTheme(const QString& theme) {
    themeColors.setTheme(theme);
    const QString labelStyle = OverviewStyles::overlayLabelStyle(themeColors.foregroundColor());
    diskSpeedLabel->setStyleSheet(labelStyle);
    networkSpeedLabel->setStyleSheet(labelStyle);
    if (noDataLabel)
        noDataLabel->setStyleSheet(labelStyle);
    const QString barStyle =
        OverviewStyles::barStyle(themeColors.foregroundColor(), themeColors.backgroundColor());
    for (QProgressBar* bar : {ui->pbCPU, ui->pbGPU, ui->pbRAM, ui->pbDiskIO, ui->pbNetworkIO, ui->pbTemps})
        bar->setStyleSheet(barStyle);
    applyGraphPens();
    drawGrid();
}

void TabOverviewGraphs::setUpdateSpeed(const QString& speed) {
    static const std::pair<const char*, int> intervals[] = {{"slow", 1000}, {"medium", 500}, {"fast", 250}};
    if (speed == QLatin1String("paused")) {
        if (updateTimer->isActive())
            updateTimer->stop();
        return;
    }
    for (const auto& [name, interval] : intervals) {
        if (speed == QLatin1String(name)) {
            updateTimer->stop();
            updateTimer->setInterval(interval);
            updateTimer->start();
        }
    }
    if (!updateTimer->isActive())
        updateTimer->start();
}

void TabOverviewGraphs::handleResizeEvent(const QSize& newSize) {
    Q_UNUSED(newSize)
    isResizing = true;
    positionOverlayLabels();
    resizeTimer->start();
}

bool TabOverviewGraphs::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->fCPUUsagePlot && event->type() == QEvent::Resize)
        positionOverlayLabels();
    return QWidget::eventFilter(watched, event);
}

void TabOverviewGraphs::positionOverlayLabels() {
    for (QLabel* label : {diskSpeedLabel, networkSpeedLabel}) {
        label->adjustSize();
        if (const QWidget* host = label->parentWidget())
            label->move(host->width() - label->width() - 5, 5);
    }
    if (noDataLabel) {
        noDataLabel->adjustSize();
        if (const QWidget* host = noDataLabel->parentWidget())
            noDataLabel->move((host->width() - noDataLabel->width()) / 2,
                              (host->height() - noDataLabel->height()) / 2);
    }
}

void TabOverviewGraphs::updateGraphs(const OverviewSample& sample) {
    if (!sample.error.isEmpty()) {
        qCDebug(lcOverviewGraphs) << "Error updating system stats:" << sample.error;
        return;
    }
    const double key = sampleCounter;
    rates.take(sample, updateTimer->interval() > 0 ? updateTimer->interval() / 1000.0 : 0.5);

    lastGpuUsage = sample.gpuUsage;
    lastTemperature = sample.maxTemperature;
    updateNoDataLabel();
    setBarValue(ui->pbCPU, sample.cpuUsage, QStringLiteral("%p%"));
    setBarValue(ui->pbGPU, sample.gpuUsage, QStringLiteral("%p%"));
    setBarValue(ui->pbRAM, sample.ramUsage, QStringLiteral("%p%"));
    updateDiskBar();
    updateNetworkBar();
    setBarValue(ui->pbTemps, sample.maxTemperature, QStringLiteral("%1°C").arg(sample.maxTemperature));
    if (graphsInitialized) {
        plots.addPoint(OverviewPlots::Cpu, key, sample.cpuUsage);
        plots.addPoint(OverviewPlots::Gpu, key, sample.gpuUsage);
        plots.addPoint(OverviewPlots::Ram, key, sample.ramUsage);

        plots.addPoint(OverviewPlots::DiskRaw, key, rates.diskRate());
        const double diskCeiling =
            OverviewPlots::diskScaleCeiling(plots.peakInView(OverviewPlots::DiskRaw, OverviewPlots::Disk));
        updateDiskScaleLabel(diskCeiling);
        rescaleDiskGraph(diskCeiling);

        plots.addPoint(OverviewPlots::NetworkRaw, key, rates.networkRate());
        const double networkCeiling = OverviewPlots::networkScaleCeiling(
            plots.peakInView(OverviewPlots::NetworkRaw, OverviewPlots::Network));
        updateNetworkScaleLabel(networkCeiling);
        rescaleNetworkGraph(networkCeiling);

        plots.addPoint(OverviewPlots::Temperature, key, sample.maxTemperature);
        OverviewPlots::replotIfShown(plots.plot(OverviewPlots::Temperature));
    }
    drawGrid();
    ++sampleCounter;
    if (graphsInitialized)
        plots.trim(key);
}

// The bar maxima only grow, so a new peak shows at once as a full bar.
void TabOverviewGraphs::updateDiskBar() {
    QProgressBar* bar = ui->pbDiskIO;
    if (!rates.isDiskRateKnown()) {
        setBarValue(bar, -1, QString());
        return;
    }
    const int barValue = int(std::ceil(rates.diskRate()));
    if (barValue > diskBarMaximum) {
        diskBarMaximum = barValue;
        bar->setMaximum(diskBarMaximum);
    }
    bar->setValue(barValue);
    bar->setFormat(OverviewRates::diskRateText(rates.diskRate()));
}

void TabOverviewGraphs::updateNetworkBar() {
    QProgressBar* bar = ui->pbNetworkIO;
    if (rates.networkRate() > networkBarMaximum) {
        networkBarMaximum = rates.networkRate();
        bar->setMaximum(networkBarMaximum);
    }
    bar->setValue(rates.networkRate());
    bar->setFormat(OverviewRates::networkRateText(rates.networkRate()));
}

void TabOverviewGraphs::updateDiskScaleLabel(double ceiling) {
    diskSpeedLabel->setText(OverviewPlots::diskScaleText(ceiling));
    positionOverlayLabels();
}

void TabOverviewGraphs::updateNetworkScaleLabel(double ceiling) {
    networkSpeedLabel->setText(OverviewPlots::networkScaleText(ceiling));
    positionOverlayLabels();
}

void TabOverviewGraphs::rescaleDiskGraph(double ceiling) {
    plots.rescale(OverviewPlots::DiskRaw, OverviewPlots::Disk, ceiling);
}

void TabOverviewGraphs::rescaleNetworkGraph(double ceiling) {
    if (ceiling == 0) {
        qCDebug(lcOverviewGraphs)
            << "Scale for conversion to percentage is zero, which may lead to division by zero errors.";
        return;
    }
    plots.rescale(OverviewPlots::NetworkRaw, OverviewPlots::Network, ceiling);
}

void TabOverviewGraphs::drawGrid() {
    if (!plots.plot(OverviewPlots::Cpu)) {
        qCDebug(lcOverviewGraphs) << "cpuUsagePlot is null in drawGrid";
        return;
    }
    if (!graphsInitialized)
        return;
    QCustomPlot* plot = currentPlot();
    if (plot->isHidden())
        plot->show();
    if (isResizing)
        return;
    OverviewPlots::fitAxes(plot, sampleCounter);
}
