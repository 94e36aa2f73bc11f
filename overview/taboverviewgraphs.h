#pragma once

#include "overviewplots.h"
#include "overviewrates.h"
#include "overviewsampler.h"
#include "tabworker.h"
#include "themecolors.h"
#include "workeroverviewgraphs.h"

#include <QSize>
#include <QString>
#include <QWidget>

namespace Ui {
class MainWindow;
}
class ClickableGroupBox;
class QCustomPlot;
class QGroupBox;
class QLabel;
class QProgressBar;
class QTimer;

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
    WorkerOverviewGraphs* sampleWorker() const { return worker.object(); }
    // A sample asked for by a tick is queued or being taken.
    bool isSampling() const { return worker.isBusy(); }
    void setColorTheme(const QString& theme);
    void setUpdateSpeed(const QString& speed);

signals:
    void requestUpdateGraphs();

public slots:
    void onThemeChanged();
    void handleResizeEvent(const QSize& newSize);
    // One sample of the worker. Its sampledAtMs (monotonic) lets rates
    // divide by the time really elapsed; 0 falls back to the timer's interval.
    void updateGraphs(const OverviewSample& sample);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPlaceholders();
    void applyFrameStyles();
    void applyGraphPens();
    void positionOverlayLabels();
    void updateNoDataLabel();
    void drawGrid();
    void updateDiskBar();
    void updateNetworkBar();
    void updateDiskScaleLabel(double ceiling);
    void updateNetworkScaleLabel(double ceiling);
    void rescaleDiskGraph(double ceiling);
    void rescaleNetworkGraph(double ceiling);

    Ui::MainWindow* ui;
    ThemeColors themeColors;
    bool isResizing = false;
    int sampleCounter = 0;
    QString groupBoxStyleSelected;
    QString groupBoxStyle;
    ClickableGroupBox* groupBoxes[GraphCount] = {};
    QGroupBox* historyGroupBox = nullptr;
    OverviewPlots plots;
    bool graphsInitialized = false;

    QTimer* updateTimer = nullptr;
    QTimer* resizeTimer = nullptr;
    OverviewRates rates;
    int diskBarMaximum = 100;
    int networkBarMaximum = 100;
    QLabel* diskSpeedLabel = nullptr;
    QLabel* networkSpeedLabel = nullptr;
    // Over the shown graph while its figure has no source, as its bar says.
    QLabel* noDataLabel = nullptr;
    int lastGpuUsage = -1;
    int lastTemperature = -1;
    int currentGraphIndex = -1;
    TabWorker<WorkerOverviewGraphs> worker{QStringLiteral("workeroverviewgraphs")};
};
