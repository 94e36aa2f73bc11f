#pragma once

#include <QWidget>

namespace Ui {
class MainWindow;
}

// The Overview page's system-information panel.
class TabOverviewSysInfo : public QWidget {
    Q_OBJECT
public:
    TabOverviewSysInfo(Ui::MainWindow* ui, QWidget* parent);
    ~TabOverviewSysInfo() override;

    void loadStaticSystemInfo();

private:
    Ui::MainWindow* ui;
};
