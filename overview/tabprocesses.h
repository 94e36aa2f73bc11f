#pragma once

#include "detailsprocess.h"
#include "iconcache.h"
#include "tabworker.h"
#include "workerprocesses.h"

#include <QColor>
#include <QWidget>
#include <memory>

namespace Ui {
class MainWindow;
}
class QMenu;

// The Processes tab: fills tableProcesses from the scanner's lists, filters
// rows by name, colours them by priority and sends signals to processes.
class TabProcesses : public QWidget {
    Q_OBJECT
public:
    TabProcesses(Ui::MainWindow* ui, QWidget* parent);
    ~TabProcesses() override;

    enum Column { ColumnName, ColumnUser, ColumnCpu, ColumnMemory, ColumnId, ColumnPriority, ColumnState };

    static QString priorityLabel(int nice);
    static QColor priorityColor(int nice);
    static QString stateLabel(const QString& state);

    // The menu for a position in the table's viewport; none where no row of
    // a live process is.
    std::unique_ptr<QMenu> createContextMenu(const QPoint& position);

    // Sends the signal only to the process pid named when it started at
    // startTime (clock ticks after boot), as the scan read. True when sent;
    // otherwise a message says why (name is the process as the row showed it).
    bool sendSignalToProcess(int pid, int signalNumber, qint64 startTime, const QString& name = QString());

public slots:
    // Asks for a fresh list, unless the previous one is still being read.
    void updateProcessesTable();
    void onProcessDataReady(const QList<DetailsProcess>& processDetails);
    void onThemeChanged();
    void filterProcesses();
    void showContextMenu(const QPoint& position);

signals:
    void requestUpdateProcessesTable();
    // After every refill from a list, once the filter and selection are restored.
    void processTableFilled();

private:
    void setupTable();
    // Fills a row with a process, creating its cells when the row is new.
    struct RowColours;
    void fillRow(int row, const DetailsProcess& process, const RowColours& colours);
    // outcome is a ProcessSignaller::Outcome, error the kernel's reason.
    void showSignalFailure(int pid, int signalNumber, const QString& name, int outcome, int error);

    Ui::MainWindow* ui;
    TabWorker<WorkerProcesses> worker{QStringLiteral("workerprocesses")};
    IconCache iconCache;
};
