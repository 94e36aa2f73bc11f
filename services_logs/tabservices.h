#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabServices : public QWidget {
    Q_OBJECT
public:
    TabServices(Ui::MainWindow* ui, QWidget* parent);
    ~TabServices() override;

public slots:
    void onThemeChanged();

signals:
    void requestUpdateServicesTable();

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
