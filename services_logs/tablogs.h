#pragma once

#include "detailslogs.h"
#include "tabworker.h"
#include "workerlogs.h"

#include <QWidget>
#include <array>

namespace Ui {
class MainWindow;
}
class LoadingOverlay;
class LogPage;
class LogTableModel;

// The Logs tab: eight sub-pages, one per log source (LogPage). Nothing is
// read until the tab is first shown; then the syslog is loaded and its first
// answer requests the seven other logs. A theme change reads every page
// again, so that its rows take the new colours.
class TabLogs : public QWidget {
    Q_OBJECT
public:
    enum Page { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog, PageCount };

    TabLogs(Ui::MainWindow* ui, QWidget* parent);
    ~TabLogs() override;

    bool isInitialized() const { return logsInitialized; }
    LoadingOverlay* overlay(Page page) const;
    LogTableModel* model(Page page) const;
    // The reason shown on a page whose source could not be read; empty otherwise.
    QString unavailableReason(Page page) const;
    // What is said above a page's table about its last answer; empty when nothing.
    QString note(Page page) const;
    // Requests of the page not answered yet.
    bool isLoading(Page page) const;

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
    void onSysLogDataReady(const TextLogListing& listing);
    void onAuthLogDataReady(const TextLogListing& listing);
    void onKernLogDataReady(const TextLogListing& listing);
    void onDmesgLogDataReady(const DmesgLogListing& listing);
    void onBootLogDataReady(const BootLogListing& listing);
    void onFailLogDataReady(const FailLogListing& listing);
    void onDpkgLogDataReady(const DpkgLogListing& listing);
    void onFlatpakLogDataReady(const FlatpakLogListing& listing);
    void onLoadProgress(const LogProgress& progress);
    void onTabChanged(int index);
    void initializeLogs();

private:
    void setupPages();
    void connectWorker();
    void requestPage(Page page);
    template <typename Listing> void fill(Page page, const Listing& listing);
    void applyLabelColours();

    Ui::MainWindow* ui;
    bool logsInitialized = false;
    std::array<LogPage*, PageCount> pages{};
    QString formLabelStyle, formTabsStyle;
    TabWorker<WorkerLogs> worker{QStringLiteral("workerlogs")};
};
