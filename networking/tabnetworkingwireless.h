#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabNetworkingWireless : public QWidget {
    Q_OBJECT
public:
    TabNetworkingWireless(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingWireless() override;

public slots:
    void startTimer();
    void stopTimer();
    void onThemeChanged();

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
