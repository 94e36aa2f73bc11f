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

signals:
    void requestUpdateCronJobsTable();

public slots:
    void onThemeChanged();
    void onCronJobsDataReady(const QList<DetailsCronJob>& detailsCronJob);

private:
    void setupTable();

    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
