#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabLogs : public QWidget {
    Q_OBJECT
public:
    TabLogs(Ui::MainWindow* ui, QWidget* parent);
    ~TabLogs() override;

public slots:
    void initializeLogs();
    void onThemeChanged();

signals:
    void requestUpdateLogsSysLogTable();

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
