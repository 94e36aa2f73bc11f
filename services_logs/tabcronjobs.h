#pragma once

#include "detailscronjob.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

// The Cron Jobs tab: drives tableCronJobs and keeps the page's explanatory
// label readable in light and dark themes.
class TabCronJobs : public QWidget {
    Q_OBJECT
public:
    TabCronJobs(Ui::MainWindow* ui, QWidget* parent);
    ~TabCronJobs() override;

    enum Column { ColumnName, ColumnSchedule, ColumnCommand, ColumnType, ColumnLocation, ColumnStatus };

signals:
    void requestUpdateCronJobsTable();
    // After every refill, once the filter and selection are restored.
    void cronJobsTableFilled();

public slots:
    void onThemeChanged();
    void onCronJobsDataReady(const QList<DetailsCronJob>& detailsCronJob);
    void filterCronJobsTable();

private:
    void setupTable();

    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
