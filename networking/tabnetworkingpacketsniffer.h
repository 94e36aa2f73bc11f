#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabNetworkingPacketSniffer : public QWidget {
    Q_OBJECT
public:
    TabNetworkingPacketSniffer(Ui::MainWindow* ui, QWidget* parent);
    ~TabNetworkingPacketSniffer() override;

public slots:
    void handleWindowResized(const QSize& newSize);

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
