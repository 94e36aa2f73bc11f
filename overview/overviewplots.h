#pragma once

#include <QString>

class QCustomPlot;
class QFrame;
class ThemeColors;

// The Overview's eight history plots in the plot frame: one per figure and,
// never shown, the raw rates behind the disk and network graphs, which show
// those rates as a share of a scale ceiling. Keeps the newest points only,
// and fits a plot's axes and grid to its size.
class OverviewPlots {
public:
    // In the order the plots are made (and laid out).
    enum Plot { Cpu, Gpu, Ram, Disk, DiskRaw, Network, NetworkRaw, Temperature, PlotCount };

    // Points older than this many samples before the newest are dropped.
    static constexpr int maximumHistory = 1000;

    // Makes the plots in frame, each with one graph; only the CPU plot is visible.
    void build(QFrame* frame);
    // Null before build.
    QCustomPlot* plot(Plot which) const { return plots[which]; }

    void hideShownPlots();
    void addPoint(Plot which, double key, double value);
    // The highest raw value within the shown plot's x range, one point beyond
    // each end included; the lowest double when there is none.
    double peakInView(Plot raw, Plot shown) const;
    // Refills shown with raw's points as a percentage of ceiling.
    void rescale(Plot raw, Plot shown, double ceiling);
    // Once the CPU history is longer than the limit, drops from every plot
    // the points more than the limit before newestKey.
    void trim(double newestKey);

    // Scale ceilings of the disk (MB/s) and network (Kb/s) graphs for the
    // highest rate in view, and the texts of their scale labels.
    static double diskScaleCeiling(double peak);
    static double networkScaleCeiling(double peak);
    static QString diskScaleText(double ceiling);
    static QString networkScaleText(double ceiling);

    static void applyPens(QCustomPlot* plot, const ThemeColors& colors);
    // The y axis from -1 to 100, the x axis ending at newestKey and showing
    // 0.4 samples a pixel, a grid division about every 14 pixels; redraws.
    static void fitAxes(QCustomPlot* plot, int newestKey);
    // A hidden plot is drawn when it is selected; drawing it on every sample
    // would only cost time.
    static void replotIfShown(QCustomPlot* plot);

private:
    QCustomPlot* plots[PlotCount] = {};
};
