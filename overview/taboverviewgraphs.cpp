#include "taboverviewgraphs.h"

#include "clickablegroupbox.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "workeroverviewgraphs.h"
#include "workerthread.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QLoggingCategory>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcOverviewGraphs, "tessmar.overview.graphs", QtWarningMsg)

namespace {

constexpr int defaultIntervalMs = 500;
constexpr int maximumHistory = 1000;
constexpr int gridSpacing = 14;

const char* const graphTitles[] = {
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "CPU History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "GPU History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "RAM History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "Disk I/O History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "Network I/O History"),
    QT_TRANSLATE_NOOP("TabOverviewGraphs", "Temperatures History"),
};

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

// A hidden plot is drawn when it is selected; drawing it on every sample
// would only cost time.
void replotIfShown(QCustomPlot* plot) {
    if (plot->isVisible())
        plot->replot();
}

QCPGraphDataContainer& dataOf(QCustomPlot* plot) {
    return *plot->graph(0)->data();
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

    worker = new WorkerOverviewGraphs;
    workerThread = std::make_unique<WorkerThread>(worker, QStringLiteral("workeroverviewgraphs"));
    connect(worker, &WorkerOverviewGraphs::updateCompleted, this, &TabOverviewGraphs::updateGraphs);
    worker->sampleGate().tryEnter();
    connect(workerThread->thread(), &QThread::started, worker, &WorkerOverviewGraphs::process);
    workerThread->start();

    updateTimer = new QTimer(this);
    updateTimer->setObjectName(QStringLiteral("overviewUpdateTimer"));
    connect(updateTimer, &QTimer::timeout, this, &TabOverviewGraphs::requestSample);

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
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabOverviewGraphs::onThemeChanged);

    updateTimer->start(defaultIntervalMs);
    currentGraphIndex = -1;
    QTimer::singleShot(0, this, [this] { selectGraph(CpuGraph); });
}

TabOverviewGraphs::~TabOverviewGraphs() = default;

void TabOverviewGraphs::requestSample() {
    if (!worker->sampleGate().tryEnter()) {
        qCDebug(lcOverviewGraphs) << "Previous sample still running; tick skipped";
        return;
    }
    QMetaObject::invokeMethod(worker, &WorkerOverviewGraphs::process, Qt::QueuedConnection);
}

// The form's sample figures must not pass for readings before the first sample.
void TabOverviewGraphs::showPlaceholders() {
    for (QProgressBar* bar : {ui->pbCPU, ui->pbGPU, ui->pbRAM, ui->pbDiskIO, ui->pbNetworkIO, ui->pbTemps})
        setBarValue(bar, -1, QString());
    updateDiskScaleLabel(diskScaleCeiling(std::numeric_limits<double>::lowest()));
    updateNetworkScaleLabel(networkScaleCeiling(std::numeric_limits<double>::lowest()));
}

void TabOverviewGraphs::setupGraphs() {
    sampleCounter = 0;
    QFrame* frame = ui->fCPUUsagePlot;
    if (!frame) {
        qCDebug(lcOverviewGraphs) << "fCPUUsagePlot is null";
        return;
    }
    QCustomPlot** const fields[] = {&cpuUsagePlot,  &gpuUsagePlot,  &ramUsagePlot,     &diskIOPlot,
                                    &diskIORawPlot, &networkIOPlot, &networkIORawPlot, &temperaturePlot};
    const char* const names[] = {"cpuUsagePlot",  "gpuUsagePlot",  "ramUsagePlot",     "diskIOPlot",
                                 "diskIORawPlot", "networkIOPlot", "networkIORawPlot", "temperaturePlot"};
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 8; ++i) {
        auto* plot = new QCustomPlot(frame);
        plot->setObjectName(QString::fromLatin1(names[i]));
        plot->setVisible(i == 0);
        plot->addGraph();
        layout->addWidget(plot);
        *fields[i] = plot;
    }
    frame->setLayout(layout);

    const QPen gridPen(QColor(150, 101, 0, 255), 1, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    for (QCustomPlot* plot :
         {cpuUsagePlot, gpuUsagePlot, ramUsagePlot, diskIOPlot, networkIOPlot, temperaturePlot}) {
        plot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        QCPAxisRect* rect = plot->axisRect(0);
        rect->setMinimumMargins(QMargins(0, 0, 0, 0));
        rect->setAutoMargins(QCP::msNone);
        rect->setMargins(QMargins(0, 1, 0, 0));
        for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
            axis->setTicks(false);
            axis->setPadding(0);
            axis->grid()->setVisible(true);
            axis->grid()->setPen(gridPen);
        }
        plot->xAxis->ticker()->setTickCount(50);
        plot->yAxis->ticker()->setTickCount(10);
    }

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
    switch (currentGraphIndex) {
    case GpuGraph:
        return gpuUsagePlot;
    case RamGraph:
        return ramUsagePlot;
    case DiskGraph:
        return diskIOPlot;
    case NetworkGraph:
        return networkIOPlot;
    case TemperatureGraph:
        return temperaturePlot;
    default:
        return cpuUsagePlot;
    }
}

void TabOverviewGraphs::selectGraph(int index) {
    if (index == currentGraphIndex)
        return;
    for (QCustomPlot* plot :
         {cpuUsagePlot, gpuUsagePlot, ramUsagePlot, diskIOPlot, networkIOPlot, temperaturePlot}) {
        if (plot)
            plot->hide();
    }
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
    QCustomPlot* plot = currentPlot();
    if (!plot)
        return;
    plot->setBackground(QBrush(themeColors.backgroundColor()));
    const QPen gridPen(themeColors.secondaryColor(), 1, Qt::DotLine);
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->grid()->setPen(gridPen);
        axis->grid()->setZeroLinePen(gridPen);
        axis->setTickPen(gridPen);
    }
    plot->graph(0)->setPen(QPen(themeColors.foregroundColor(), 1, Qt::SolidLine));
}

void TabOverviewGraphs::applyFrameStyles() {
    const bool dark = isDarkTheme();
    const QString borderColor = dark ? QStringLiteral("#404040") : QStringLiteral("lightgray");
    const QString frameStyle =
        dark ? QStringLiteral(
                   "QFrame {background-color: #2C1A00;padding: 0;border-style: solid;border-width: 2px;"
                   "border-color: #101010 #303030 #303030 #101010;}")
             : QStringLiteral(
                   "QFrame {background-color: #2C1A00;padding: 0;border-style: solid;border-width: 2px;"
                   "border-color: grey lightgrey lightgrey grey;}");
    const QString boxRules =
        QStringLiteral("border-radius: 5px;margin-top: 1ex;padding: 2px;}"
                       "QGroupBox::title {subcontrol-origin: margin;subcontrol-position: top "
                       "left;padding: 0 2px;left: 6px;top: -1px;"
                       "background-color: palette(tooltipbase);}");
    groupBoxStyleSelected =
        QStringLiteral("QGroupBox {background-color: palette(tooltipbase);border: 1px solid gray;") +
        boxRules;
    groupBoxStyle = QStringLiteral("QGroupBox {background-color: palette(tooltipbase);border: 1px solid ") +
                    borderColor + QLatin1Char(';') + boxRules;
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
    const QString foreground = themeColors.foregroundColor().name();
    const QString background = themeColors.backgroundColor().name();
    const QString labelStyle = QStringLiteral("QLabel {color: %1;background-color : rgba(125, 125, 125, 128);"
                                              "padding: 1px;border: 0;}")
                                   .arg(foreground);
    diskSpeedLabel->setStyleSheet(labelStyle);
    networkSpeedLabel->setStyleSheet(labelStyle);
    if (noDataLabel)
        noDataLabel->setStyleSheet(labelStyle);
    const QString barStyle =
        QStringLiteral("QProgressBar {color: %1;border: 0px solid grey;border-radius: 5px;text-align: center;"
                       "padding: 0;margin-bottom: 0;background: transparent;}"
                       "QProgressBar::chunk {background: qlineargradient(x1: 0, y1: 1, x2: 0, y2: 0, "
                       "stop: 0 %1, stop: 1.0 %2);margin: 0px;padding: 0px;}"
                       "QProgressBar:vertical {min-width: 100px;}"
                       "QProgressBar::chunk:vertical {height: 2px;width: 100%;}")
            .arg(foreground, background);
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

void TabOverviewGraphs::updateGraphs(int cpuUsage, int gpuUsage, int ramUsage, double diskIO,
                                     double networkSpeedMB, int maxTemp, const QString& error,
                                     qint64 sampledAtMs) {
    if (!error.isEmpty()) {
        qCDebug(lcOverviewGraphs) << "Error updating system stats:" << error;
        return;
    }
    const double key = sampleCounter;
    const double nominalSeconds = updateTimer->interval() > 0 ? updateTimer->interval() / 1000.0 : 0.5;
    const auto secondsSince = [sampledAtMs, nominalSeconds](qint64 before) {
        if (sampledAtMs > 0 && before > 0 && sampledAtMs > before)
            return (sampledAtMs - before) / 1000.0;
        return nominalSeconds;
    };

    lastGpuUsage = gpuUsage;
    lastTemperature = maxTemp;
    updateNoDataLabel();
    setBarValue(ui->pbCPU, cpuUsage, QStringLiteral("%p%"));
    setBarValue(ui->pbGPU, gpuUsage, QStringLiteral("%p%"));
    setBarValue(ui->pbRAM, ramUsage, QStringLiteral("%p%"));
    if (graphsInitialized) {
        cpuUsagePlot->graph(0)->addData(key, cpuUsage);
        gpuUsagePlot->graph(0)->addData(key, gpuUsage);
        ramUsagePlot->graph(0)->addData(key, ramUsage);
    }

    updateDiskRate(diskIO, secondsSince(previousDiskAtMs));
    if (diskIO >= 0)
        previousDiskAtMs = sampledAtMs;
    if (graphsInitialized) {
        diskIORawPlot->graph(0)->addData(key, diskRate);
        replotIfShown(diskIORawPlot);
        const double ceiling = diskScaleCeiling(peakInView(diskIORawPlot, diskIOPlot));
        updateDiskScaleLabel(ceiling);
        rescaleDiskGraph(ceiling);
    }

    updateNetworkRate(networkSpeedMB, secondsSince(previousSampledAtMs));
    previousSampledAtMs = sampledAtMs;
    if (graphsInitialized) {
        networkIORawPlot->graph(0)->addData(key, networkRate);
        replotIfShown(networkIORawPlot);
        const double ceiling = networkScaleCeiling(peakInView(networkIORawPlot, networkIOPlot));
        updateNetworkScaleLabel(ceiling);
        rescaleNetworkGraph(ceiling);
    }

    setBarValue(ui->pbTemps, maxTemp, QStringLiteral("%1°C").arg(maxTemp));
    if (graphsInitialized) {
        temperaturePlot->graph(0)->addData(key, maxTemp);
        replotIfShown(temperaturePlot);
    }

    drawGrid();
    ++sampleCounter;

    if (graphsInitialized && dataOf(cpuUsagePlot).size() > maximumHistory) {
        for (QCustomPlot* plot : {cpuUsagePlot, gpuUsagePlot, ramUsagePlot, diskIOPlot, diskIORawPlot,
                                  networkIOPlot, networkIORawPlot, temperaturePlot})
            dataOf(plot).removeBefore(key - maximumHistory);
    }
}

// diskTotal is a running total in megabytes; negative when it could not be
// read, which shows as N/A without disturbing the stored total. A total
// that went down (a device removed) gives 0 and becomes the new base.
void TabOverviewGraphs::updateDiskRate(double diskTotal, double elapsedSeconds) {
    QProgressBar* bar = ui->pbDiskIO;
    if (diskTotal < 0) {
        diskRate = 0;
        setBarValue(bar, -1, QString());
        return;
    }
    if (previousDiskTotal >= 0)
        diskRate = std::clamp((diskTotal - previousDiskTotal) / elapsedSeconds, 0.0,
                              double(std::numeric_limits<int>::max()));
    previousDiskTotal = diskTotal;
    const int barValue = int(std::ceil(diskRate));
    if (barValue > diskBarMaximum) {
        diskBarMaximum = barValue;
        bar->setMaximum(diskBarMaximum);
    }
    bar->setValue(barValue);
    bar->setFormat(diskBarText(diskRate));
}

QString TabOverviewGraphs::diskBarText(double megabytesPerSecond) {
    if (megabytesPerSecond > 999)
        return QString::number(megabytesPerSecond / 1024.0, 'f', 1) + QStringLiteral(" GB/s");
    // Below 10 MB/s a tenth is worth showing; 0 stays 0.
    if (megabytesPerSecond > 0 && megabytesPerSecond < 9.95)
        return QString::number(std::max(megabytesPerSecond, 0.1), 'f', 1) + QStringLiteral(" MB/s");
    return QString::number(std::round(megabytesPerSecond), 'f', 0) + QStringLiteral(" MB/s");
}

void TabOverviewGraphs::updateNetworkRate(double kilobits, double elapsedSeconds) {
    const double rate = std::max(0.0, kilobits / elapsedSeconds);
    networkRate = rate > 0 && rate < 1 ? 1 : int(std::min(rate, double(std::numeric_limits<int>::max())));
    QProgressBar* bar = ui->pbNetworkIO;
    if (networkRate > networkBarMaximum) {
        networkBarMaximum = networkRate;
        bar->setMaximum(networkBarMaximum);
    }
    bar->setValue(networkRate);
    bar->setFormat(networkBarText(networkRate));
}

QString TabOverviewGraphs::networkBarText(int kilobitsPerSecond) {
    if (kilobitsPerSecond > 999999)
        return QString::number(kilobitsPerSecond / 1000000.0, 'f', 2) + QStringLiteral(" Gb/s");
    if (kilobitsPerSecond > 999)
        return QString::number(kilobitsPerSecond / 1000.0, 'f', 0) + QStringLiteral(" Mb/s");
    return QString::number(kilobitsPerSecond) + QStringLiteral(" Kb/s");
}

// The highest raw rate within the shown plot's x range, one point beyond
// each end included; the lowest double when there is none.
double TabOverviewGraphs::peakInView(const QCustomPlot* raw, const QCustomPlot* shown) const {
    const QCPRange range = shown->xAxis->range();
    const QCPGraphDataContainer& data = *raw->graph(0)->data();
    double peak = std::numeric_limits<double>::lowest();
    const auto end = data.findEnd(range.upper, true);
    for (auto it = data.findBegin(range.lower, true); it != end; ++it)
        peak = std::max(peak, it->value);
    return peak;
}

double TabOverviewGraphs::diskScaleCeiling(double peak) {
    for (double ceiling : {10.0, 100.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0}) {
        if (peak < ceiling)
            return ceiling;
    }
    return 8000.0;
}

double TabOverviewGraphs::networkScaleCeiling(double peak) {
    for (double ceiling : {100.0, 500.0, 1000.0, 5000.0, 10000.0, 50000.0, 100000.0, 500000.0, 1000000.0}) {
        if (peak < ceiling)
            return ceiling;
    }
    return 5000000.0;
}

QString TabOverviewGraphs::diskScaleText(double ceiling) {
    if (ceiling >= 1000)
        return QStringLiteral("%1 GB/s").arg(ceiling / 1000, 0, 'g');
    return QStringLiteral("%1 MB/s").arg(ceiling, 0, 'g');
}

QString TabOverviewGraphs::networkScaleText(double ceiling) {
    if (ceiling >= 1000000)
        return QStringLiteral("%1 Gb/s").arg(ceiling / 1000000, 0, 'f', 2);
    if (ceiling >= 1000)
        return QStringLiteral("%1 Mb/s").arg(ceiling / 1000, 0, 'f', 0);
    return QStringLiteral("%1 Kb/s").arg(ceiling, 0, 'g');
}

void TabOverviewGraphs::updateDiskScaleLabel(double ceiling) {
    diskSpeedLabel->setText(diskScaleText(ceiling));
    positionOverlayLabels();
}

void TabOverviewGraphs::updateNetworkScaleLabel(double ceiling) {
    networkSpeedLabel->setText(networkScaleText(ceiling));
    positionOverlayLabels();
}

void TabOverviewGraphs::rescaleDiskGraph(double ceiling) {
    rescale(diskIORawPlot, diskIOPlot, ceiling);
}

void TabOverviewGraphs::rescaleNetworkGraph(double ceiling) {
    if (ceiling == 0) {
        qCDebug(lcOverviewGraphs)
            << "Scale for conversion to percentage is zero, which may lead to division by zero errors.";
        return;
    }
    rescale(networkIORawPlot, networkIOPlot, ceiling);
}

void TabOverviewGraphs::rescale(QCustomPlot* raw, QCustomPlot* shown, double ceiling) {
    const QCPGraphDataContainer& source = dataOf(raw);
    QVector<QCPGraphData> points;
    points.reserve(source.size());
    for (auto point = source.constBegin(); point != source.constEnd(); ++point)
        points.append(QCPGraphData(point->key, point->value / ceiling * 100.0));
    // Raw points are already in key order.
    dataOf(shown).set(points, true);
    replotIfShown(shown);
}

void TabOverviewGraphs::drawGrid() {
    if (!cpuUsagePlot) {
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
    plot->yAxis->setRange(-1, 100);
    plot->clearItems();
    samplesPerPixel = 0.4;
    const int shownSamples = std::max(1, int(plot->width() * samplesPerPixel));
    plot->xAxis->setRange(sampleCounter - shownSamples, sampleCounter);

    // Under gridSpacing pixels there is no room for a single division: the
    // previous ticker stays rather than one with an endless tick step.
    const QCPAxisRect* rect = plot->axisRect();
    const int xDivisions = rect->width() / gridSpacing;
    const int yDivisions = rect->height() / gridSpacing;
    for (const auto& [axis, divisions] :
         {std::pair{plot->xAxis, xDivisions}, std::pair{plot->yAxis, yDivisions}}) {
        if (divisions <= 0)
            continue;
        QSharedPointer<QCPAxisTickerFixed> ticker(new QCPAxisTickerFixed);
        ticker->setTickStep(axis->range().size() / divisions);
        axis->setTicker(ticker);
    }
    plot->replot();
}
