#pragma once

#include "detailsapplicationwindow.h"
#include "tabworker.h"
#include "windowiconcache.h"
#include "workerapplications.h"

#include <QList>
#include <QWidget>

namespace Ui {
class MainWindow;
}

// The Applications tab: the open top-level windows of the desktop with their
// icons; switches to or closes the selected one. Listing, reading the
// windows and finding their icons run on the worker's thread; the tab makes
// the icons and fills the table.
class TabApplications : public QWidget {
    Q_OBJECT
public:
    TabApplications(Ui::MainWindow* ui, QWidget* parent);
    ~TabApplications() override;

    void setupApplicationTable();
    WorkerApplications* listingWorker() const { return worker.object(); }

public slots:
    // Asks for a new list, unless one is still being made.
    void updateApplicationTable();
    void onWindowListDataReady(const QList<DetailsApplicationWindow>& windows);
    void onWindowCommandFinished(const WindowCommandResult& result);

signals:
    void requestUpdateWindowList();
    void requestWindowCommand(const QString& action, const QString& id);
    // After every refill of the table.
    void applicationTableFilled();

private:
    void onSelectionChanged();
    void closeSelectedWindow();
    void switchToSelectedWindow();
    QString currentWindowId() const;

    Ui::MainWindow* ui;
    WindowIconCache icons;
    TabWorker<WorkerApplications> worker;
};
