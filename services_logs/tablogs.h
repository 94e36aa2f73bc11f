#pragma once

#include "detailslogs.h"
#include "logtable.h"

#include <QWidget>
#include <array>
#include <memory>

namespace Ui {
class MainWindow;
}
class ElideTextDelegate;
class LoadingOverlay;
class LogTableModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class WorkerLogs;
class WorkerThread;

// The Logs tab: eight sub-pages, one per log source. Nothing is read until
// the tab is first shown; then the syslog is loaded and its first answer
// requests the seven other logs. Each page is a view over the compact rows
// its source gave (LogTableModel): filtering and sorting a million rows work
// on arrays, not on cell objects. A source that cannot be read leaves its
// page empty with the reason shown over the table; what a page should know
// about a partial answer is said above its table.
class TabLogs : public QWidget {
    Q_OBJECT
public:
    enum Page { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog, PageCount };

    TabLogs(Ui::MainWindow* ui, QWidget* parent);
    ~TabLogs() override;

    bool isInitialized() const { return logsInitialized; }
    LoadingOverlay* overlay(Page page) const { return overlays[page]; }
    LogTableModel* model(Page page) const { return pages[page].model; }
    // The reason shown on a page whose source could not be read; empty otherwise.
    QString unavailableReason(Page page) const;
    // What is said above a page's table about its last answer; empty when nothing.
    QString note(Page page) const;
    // Requests of the page not answered yet.
    bool isLoading(Page page) const { return pages[page].waiting > 0; }

    static QColor severityColor(int severity);
    static QColor actionColor(const QString& action);

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
    void onTextLogRead(int source, const LogTablePtr& table);
    void onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& detailsLogDmesgLog);
    void onBootLogDataReady(const QList<DetailsLogsBootLog>& detailsLogBootLog);
    void onFailLogDataReady(const QList<DetailsLogsFailLog>& detailsLogFailLog);
    void onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& detailsLogDpkgLog);
    void onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& detailsLogFlatpakLog);
    void onLogUnavailable(int page, const QString& reason);
    void onLogNote(int page, const QString& note);
    void onLoadProgress(int page, int percent, int rows);
    void onTabChanged(int index);
    void onTabsShown();
    void initializeLogs();

private:
    // Widgets of one sub-page.
    struct PageState {
        QTableView* view = nullptr;
        LogTableModel* model = nullptr;
        QLineEdit* filter = nullptr;
        QPushButton* reload = nullptr;
        QLabel* count = nullptr;
        QPushButton* kinds[3] = {nullptr, nullptr, nullptr};
        QLabel* notice = nullptr; // over the empty table
        QLabel* note = nullptr;   // above the table
        int waiting = 0;
    };

    void setupPages();
    void setupTables();
    void requestPage(Page page);
    void reloadPage(Page page);
    void showTable(Page page, const LogTablePtr& table);
    void answered(Page page);
    void filterPage(Page page);
    void applyLabelColours();

    void filterSysLogTable() { filterPage(SysLog); }
    void filterAuthLogTable() { filterPage(AuthLog); }
    void filterKernLogTable() { filterPage(KernLog); }
    void filterDmesgLogTable() { filterPage(DmesgLog); }
    void filterBootLogTable() { filterPage(BootLog); }
    void filterFailLogTable() { filterPage(FailLog); }
    void filterDpkgLogTable() { filterPage(DpkgLog); }
    void filterFlatpakLogTable() { filterPage(FlatpakLog); }

    Ui::MainWindow* ui;
    bool logsInitialized = false;
    std::array<LoadingOverlay*, PageCount> overlays{};
    std::array<PageState, PageCount> pages;
    std::array<std::unique_ptr<ElideTextDelegate>, PageCount> delegates;
    QString formLabelStyle, formTabsStyle;
    WorkerLogs* worker = nullptr;
    std::unique_ptr<WorkerThread> workerThread;
};
