#pragma once

#include "detailslogs.h"

#include <QWidget>
#include <array>
#include <memory>

namespace Ui {
class MainWindow;
}
class LoadingOverlay;
class QTableWidget;
class WorkerThread;

// The Logs tab: eight sub-pages, one per log source. Nothing is read until
// the tab is first shown; then the syslog is loaded and its first fill
// requests the seven other logs.
class TabLogs : public QWidget {
    Q_OBJECT
public:
    enum Page { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog, PageCount };

    TabLogs(Ui::MainWindow* ui, QWidget* parent);
    ~TabLogs() override;

    bool isInitialized() const { return logsInitialized; }
    LoadingOverlay* overlay(Page page) const { return overlays[page]; }

signals:
    void requestUpdateLogsSysLogTable();
    void requestUpdateLogsAuthLogTable();
    void requestUpdateLogsKernLogTable();
    void requestUpdateLogsDmesgLogTable();
    void requestUpdateLogsBootLogTable();
    void requestUpdateLogsFailLogTable();
    void requestUpdateLogsDpkgLogTable();
    void requestUpdateLogsFlatpakLogTable();

public slots:
    void onThemeChanged();
    void onSysLogDataReady(const QList<DetailsLogsSysLog>& detailsLogsSysLog);
    void onAuthLogDataReady(const QList<DetailsLogsAuthLog>& detailsLogAuthLog);
    void onKernLogDataReady(const QList<DetailsLogsKernLog>& detailsLogKernLog);
    void onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& detailsLogDmesgLog);
    void onBootLogDataReady(const QList<DetailsLogsBootLog>& detailsLogBootLog);
    void onFailLogDataReady(const QList<DetailsLogsFailLog>& detailsLogFailLog);
    void onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& detailsLogDpkgLog);
    void onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& detailsLogFlatpakLog);
    void onTabChanged(int index);
    void initializeLogs();

private:
    void setupTables();
    QTableWidget* table(Page page) const;
    void requestPage(Page page);
    void finishFill(Page page);

    Ui::MainWindow* ui;
    bool logsInitialized = false;
    std::array<LoadingOverlay*, PageCount> overlays{};
    std::unique_ptr<WorkerThread> workerThread;
};
