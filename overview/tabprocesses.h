#pragma once

#include "detailsprocess.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

// The Processes tab: drives tableProcesses and its filter and buttons.
class TabProcesses : public QWidget {
    Q_OBJECT
public:
    TabProcesses(Ui::MainWindow* ui, QWidget* parent);
    ~TabProcesses() override;

public slots:
    void updateProcessesTable();
    void onProcessDataReady(const QList<DetailsProcess>& processes);
    void onThemeChanged();

signals:
    void requestUpdateProcessesTable();

private:
    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
