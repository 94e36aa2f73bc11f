#include "overviewplots.h"

#include "themecolors.h"

#include <qcustomplot.h>

#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int gridSpacing = 14;
constexpr double samplesPerPixel = 0.4;

const char* const plotNames[OverviewPlots::PlotCount] = {
    "cpuUsagePlot",  "gpuUsagePlot",  "ramUsagePlot",     "diskIOPlot",
    "diskIORawPlot", "networkIOPlot", "networkIORawPlot", "temperaturePlot"};

QCPGraphDataContainer& dataOf(QCustomPlot* plot) {
    return *plot->graph(0)->data();
}

bool isRaw(int plot) {
    return plot == OverviewPlots::DiskRaw || plot == OverviewPlots::NetworkRaw;
}

} // namespace

void OverviewPlots::build(QFrame* frame) {
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < PlotCount; ++i) {
        auto* plot = new QCustomPlot(frame);
        plot->setObjectName(QString::fromLatin1(plotNames[i]));
        plot->setVisible(i == Cpu);
        plot->addGraph();
        layout->addWidget(plot);
        plots[i] = plot;
    }
    frame->setLayout(layout);

    const QPen gridPen(QColor(150, 101, 0, 255), 1, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    for (int i = 0; i < PlotCount; ++i) {
        if (isRaw(i))
            continue;
        QCustomPlot* plot = plots[i];
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
}

void OverviewPlots::hideShownPlots() {
    for (int i = 0; i < PlotCount; ++i) {
        if (plots[i] && !isRaw(i))
            plots[i]->hide();
    }
}

void OverviewPlots::addPoint(Plot which, double key, double value) {
    plots[which]->graph(0)->addData(key, value);
}

double OverviewPlots::peakInView(Plot raw, Plot shown) const {
    const QCPRange range = plots[shown]->xAxis->range();
    const QCPGraphDataContainer& data = dataOf(plots[raw]);
    double peak = std::numeric_limits<double>::lowest();
    const auto end = data.findEnd(range.upper, true);
    for (auto it = data.findBegin(range.lower, true); it != end; ++it)
        peak = std::max(peak, it->value);
    return peak;
}

void OverviewPlots::rescale(Plot raw, Plot shown, double ceiling) {
    const QCPGraphDataContainer& source = dataOf(plots[raw]);
    QVector<QCPGraphData> points;
    points.reserve(source.size());
    for (auto point = source.constBegin(); point != source.constEnd(); ++point)
        points.append(QCPGraphData(point->key, point->value / ceiling * 100.0));
    // Raw points are already in key order.
    dataOf(plots[shown]).set(points, true);
    replotIfShown(plots[shown]);
}

void OverviewPlots::trim(double newestKey) {
    if (dataOf(plots[Cpu]).size() <= maximumHistory)
        return;
    for (QCustomPlot* plot : plots)
        dataOf(plot).removeBefore(newestKey - maximumHistory);
}

double OverviewPlots::diskScaleCeiling(double peak) {
    for (double ceiling : {10.0, 100.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0}) {
        if (peak < ceiling)
            return ceiling;
    }
    return 8000.0;
}

double OverviewPlots::networkScaleCeiling(double peak) {
    for (double ceiling : {100.0, 500.0, 1000.0, 5000.0, 10000.0, 50000.0, 100000.0, 500000.0, 1000000.0}) {
        if (peak < ceiling)
            return ceiling;
    }
    return 5000000.0;
}

QString OverviewPlots::diskScaleText(double ceiling) {
    if (ceiling >= 1000)
        return QStringLiteral("%1 GB/s").arg(ceiling / 1000, 0, 'g');
    return QStringLiteral("%1 MB/s").arg(ceiling, 0, 'g');
}

QString OverviewPlots::networkScaleText(double ceiling) {
    if (ceiling >= 1000000)
        return QStringLiteral("%1 Gb/s").arg(ceiling / 1000000, 0, 'f', 2);
    if (ceiling >= 1000)
        return QStringLiteral("%1 Mb/s").arg(ceiling / 1000, 0, 'f', 0);
    return QStringLiteral("%1 Kb/s").arg(ceiling, 0, 'g');
}

void OverviewPlots::applyPens(QCustomPlot* plot, const ThemeColors& colors) {
    plot->setBackground(QBrush(colors.backgroundColor()));
    const QPen gridPen(colors.secondaryColor(), 1, Qt::DotLine);
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->grid()->setPen(gridPen);
        axis->grid()->setZeroLinePen(gridPen);
        axis->setTickPen(gridPen);
    }
    plot->graph(0)->setPen(QPen(colors.foregroundColor(), 1, Qt::SolidLine));
}

void OverviewPlots::fitAxes(QCustomPlot* plot, int newestKey) {
    plot->yAxis->setRange(-1, 100);
    plot->clearItems();
    const int shownSamples = std::max(1, int(plot->width() * samplesPerPixel));
    plot->xAxis->setRange(newestKey - shownSamples, newestKey);

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

void OverviewPlots::replotIfShown(QCustomPlot* plot) {
    if (plot->isVisible())
        plot->replot();
}
