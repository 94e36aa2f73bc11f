#pragma once

#include "detailsservice.h"
#include "tabworker.h"
#include "workerservices.h"

#include <QColor>
#include <QWidget>

namespace Ui {
class MainWindow;
}
class DialogServiceDetails;
class QLabel;
class QModelIndex;

// The Services tab: drives tableServices with the listing of WorkerServices.
class TabServices : public QWidget {
    Q_OBJECT
public:
    TabServices(Ui::MainWindow* ui, QWidget* parent);
    ~TabServices() override;

    enum Column { ColumnName, ColumnStatus, ColumnDescription };

    // The row colour of a unit-file state in the palette in force.
    static QColor statusColor(const QString& unitFileState);

    // The record behind a table row, rebuilt from its cells.
    DetailsService serviceAt(int row) const;
    // Opens the details dialog, modally, with the given title.
    void showServiceDetails(const QString& title);
    DialogServiceDetails* detailsDialog() const { return serviceDetailsDialog; }
    // The message shown over the table when the listing failed; empty otherwise.
    QString failureMessage() const;

signals:
    void requestUpdateServicesTable();
    // After every refill, once the filter, selection and scroll are restored.
    void servicesTableFilled();

public slots:
    // A theme flip fetches the whole listing again so every row is repainted.
    void onThemeChanged();
    // Fills the table with the units, or shows why there are none.
    void onProcessDataReady(const ServiceListing& listing);
    void updateServicesTable();
    void filterServicesTable();

private:
    void setupTable();
    void fillTable(const QList<DetailsService>& services);
    void showFailure(const QString& message);
    void openDetails(const QModelIndex& index);

    Ui::MainWindow* ui;
    TabWorker<WorkerServices> worker{QStringLiteral("workerservices")};
    DialogServiceDetails* serviceDetailsDialog = nullptr;
    QLabel* failureLabel = nullptr;
};
