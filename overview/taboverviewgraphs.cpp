#include "taboverviewgraphs.h"

#include "mainwindow.h"

TabOverviewGraphs::TabOverviewGraphs(Ui::MainWindow* ui, QWidget* parent) : QWidget(parent), ui(ui) {
    if (auto* window = qobject_cast<MainWindow*>(parent))
        connect(window, &MainWindow::themeChanged, this, &TabOverviewGraphs::onThemeChanged);
}

TabOverviewGraphs::~TabOverviewGraphs() = default;

void TabOverviewGraphs::setupGraphs() {}

void TabOverviewGraphs::handleResizeEvent(const QSize& newSize) {
    Q_UNUSED(newSize)
}

void TabOverviewGraphs::setColorTheme(const QString& name) {
    currentColorTheme = name;
}

void TabOverviewGraphs::setUpdateSpeed(const QString& speed) {
    currentUpdateSpeed = speed;
}

void TabOverviewGraphs::onThemeChanged() {}
