#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

namespace Ui {
class MainWindow;
}

// The Overview page's usage bars and history graphs.
class TabOverviewGraphs : public QWidget {
    Q_OBJECT
public:
    TabOverviewGraphs(Ui::MainWindow* ui, QWidget* parent);
    ~TabOverviewGraphs() override;

    void setupGraphs();
    QString colorTheme() const { return currentColorTheme; }
    QString updateSpeed() const { return currentUpdateSpeed; }

public slots:
    void handleResizeEvent(const QSize& newSize);
    void setColorTheme(const QString& name);
    void setUpdateSpeed(const QString& speed);
    void onThemeChanged();

private:
    Ui::MainWindow* ui;
    QString currentColorTheme = QStringLiteral("aperture");
    QString currentUpdateSpeed;
};
