#pragma once

#include "detailscronjob.h"
#include "tabworker.h"
#include "workercronjobs.h"

#include <QWidget>

namespace Ui {
class MainWindow;
}

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
    TabWorker<WorkerCronJobs> worker{QStringLiteral("workercronjobs")};
};
