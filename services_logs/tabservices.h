#pragma once

#include "detailsservice.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class WorkerThread;

// The Services tab: drives tableServices with the listing of WorkerServices.
class TabServices : public QWidget {
    Q_OBJECT
public:
    TabServices(Ui::MainWindow* ui, QWidget* parent);
    ~TabServices() override;

signals:
    void requestUpdateServicesTable();

public slots:
    // A theme flip fetches the whole listing again so every row is repainted.
    void onThemeChanged();
    void onProcessDataReady(const QList<DetailsService>& detailsService);
    void updateServicesTable();

private:
    void setupTable();

    Ui::MainWindow* ui;
    std::unique_ptr<WorkerThread> workerThread;
};
