#pragma once

#include "themecolors.h"

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class ClickableGroupBox;
class QCustomPlot;
class QGroupBox;
class QLabel;
class QProgressBar;
class QTimer;
class WorkerOverviewGraphs;
class WorkerThread;

// The Overview page's six usage bars and the history graph below them: one
// sampler on its own thread, paced by the update timer; one plot per figure,
// the one shown chosen by clicking its bar's group box.
class TabOverviewGraphs : public QWidget {
    Q_OBJECT
public:
    TabOverviewGraphs(Ui::MainWindow* ui, QWidget* parent);
    ~TabOverviewGraphs() override;

    enum GraphIndex { CpuGraph, GpuGraph, RamGraph, DiskGraph, NetworkGraph, TemperatureGraph, GraphCount };

    void setupGraphs();
    void selectGraph(int index);
    QCustomPlot* currentPlot() const;
    // "N/A" over the graph when it is shown; null before setupGraphs.
    const QLabel* noDataOverlay() const { return noDataLabel; }
    int currentGraph() const { return currentGraphIndex; }
    WorkerOverviewGraphs* sampleWorker() const { return worker; }
    void setColorTheme(const QString& theme);
    void setUpdateSpeed(const QString& speed);

    // Scale ceilings of the disk (MB/s) and network (Kb/s) graphs for the
    // highest rate in view, and the texts of their scale labels.
    static double diskScaleCeiling(double peak);
    static double networkScaleCeiling(double peak);
    static QString diskScaleText(double ceiling);
    static QString networkScaleText(double ceiling);
    static QString networkBarText(int kilobitsPerSecond);
    static QString diskBarText(double megabytesPerSecond);

public slots:
    void onThemeChanged();
    void handleResizeEvent(const QSize& newSize);
    // One sample of the worker. sampledAtMs (monotonic) lets rates divide by
    // the time really elapsed; 0 falls back to the timer's interval.
    void updateGraphs(int cpuUsage, int gpuUsage, int ramUsage, double diskIO, double networkSpeedMB,
                      int maxTemp, const QString& error, qint64 sampledAtMs = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void requestSample();
    void showPlaceholders();
    void applyFrameStyles();
    void applyGraphPens();
    void positionOverlayLabels();
    void updateNoDataLabel();
    void drawGrid();
    void updateDiskRate(double diskTotal, double elapsedSeconds);
    void updateNetworkRate(double kilobits, double elapsedSeconds);
    double peakInView(const QCustomPlot* raw, const QCustomPlot* shown) const;
    void updateDiskScaleLabel(double ceiling);
    void updateNetworkScaleLabel(double ceiling);
    void rescaleDiskGraph(double ceiling);
    void rescaleNetworkGraph(double ceiling);
    void rescale(QCustomPlot* raw, QCustomPlot* shown, double ceiling);

    Ui::MainWindow* ui;
    ThemeColors themeColors;
    bool isResizing = false;
    WorkerOverviewGraphs* worker = nullptr;
    std::unique_ptr<WorkerThread> workerThread;
    int sampleCounter = 0;
    QString groupBoxStyleSelected;
    QString groupBoxStyle;
    ClickableGroupBox* groupBoxes[GraphCount] = {};
    QGroupBox* historyGroupBox = nullptr;

    // In this order; the two raw plots hold the rates and are never shown.
    QCustomPlot* cpuUsagePlot = nullptr;
    QCustomPlot* gpuUsagePlot = nullptr;
    QCustomPlot* ramUsagePlot = nullptr;
    QCustomPlot* diskIOPlot = nullptr;
    QCustomPlot* diskIORawPlot = nullptr;
    QCustomPlot* networkIOPlot = nullptr;
    QCustomPlot* networkIORawPlot = nullptr;
    QCustomPlot* temperaturePlot = nullptr;

    bool graphsInitialized = false;
    QTimer* updateTimer = nullptr;
    QTimer* resizeTimer = nullptr;
    double samplesPerPixel = 0.4;
    // Megabytes per second; the total it comes from has fractions of a
    // megabyte, so a small write shows as a small rate, not as 0.
    double diskRate = 0;
    int diskBarMaximum = 100;
    double previousDiskTotal = -1;
    int networkRate = 0;
    int networkBarMaximum = 100;
    // Monotonic times of the previous sample and of the previous disk total.
    qint64 previousSampledAtMs = 0;
    qint64 previousDiskAtMs = 0;
    QLabel* diskSpeedLabel = nullptr;
    QLabel* networkSpeedLabel = nullptr;
    // Over the shown graph while its figure has no source, as its bar says.
    QLabel* noDataLabel = nullptr;
    int lastGpuUsage = -1;
    int lastTemperature = -1;
    int currentGraphIndex = -1;
};
