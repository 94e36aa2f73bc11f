#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

class TabCronJobs : public QWidget {
    Q_OBJECT
public:
    TabCronJobs(Ui::MainWindow* ui, QWidget* parent);
    ~TabCronJobs() override;

public slots:
    void onThemeChanged();

signals:
    void requestUpdateCronJobsTable();

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
