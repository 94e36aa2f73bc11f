#pragma once

#include "detailslogs.h"
#include "logsearchindex.h"

#include <QIcon>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}
class ElideTextDelegate;
class LoadingOverlay;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class WorkerThread;

// The Logs tab: eight sub-pages, one per log source. Nothing is read until
// the tab is first shown; then the syslog is loaded and its first answer
// requests the seven other logs. A source that cannot be read leaves its page
// empty with the reason shown over the table.
class TabLogs : public QWidget {
    Q_OBJECT
public:
    enum Page { SysLog, AuthLog, KernLog, DmesgLog, BootLog, FailLog, DpkgLog, FlatpakLog, PageCount };

    TabLogs(Ui::MainWindow* ui, QWidget* parent);
    ~TabLogs() override;

    bool isInitialized() const { return logsInitialized; }
    LoadingOverlay* overlay(Page page) const { return overlays[page]; }
    // The reason shown on a page whose source could not be read; empty otherwise.
    QString unavailableReason(Page page) const;
    bool isFilling(Page page) const { return pages[page].filling; }

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
    void onSysLogDataReady(const QList<DetailsLogsSysLog>& detailsLogsSysLog);
    void onAuthLogDataReady(const QList<DetailsLogsAuthLog>& detailsLogAuthLog);
    void onKernLogDataReady(const QList<DetailsLogsKernLog>& detailsLogKernLog);
    void onDmesgLogDataReady(const QList<DetailsLogsDmesgLog>& detailsLogDmesgLog);
    void onBootLogDataReady(const QList<DetailsLogsBootLog>& detailsLogBootLog);
    void onFailLogDataReady(const QList<DetailsLogsFailLog>& detailsLogFailLog);
    void onDpkgLogDataReady(const QList<DetailsLogsDpkgLog>& detailsLogDpkgLog);
    void onFlatpakLogDataReady(const QList<DetailsLogsFlatpakLog>& detailsLogFlatpakLog);
    void onLogUnavailable(int page, const QString& reason);
    void onTabChanged(int index);
    void onTabsShown();
    void initializeLogs();

private:
    // Widgets of one sub-page, and the state of its fill.
    struct PageState {
        QTableWidget* table = nullptr;
        QLineEdit* filter = nullptr;
        QPushButton* reload = nullptr;
        QLabel* count = nullptr;
        QPushButton* kinds[3] = {nullptr, nullptr, nullptr};
        QLabel* notice = nullptr;
        bool filling = false;
        // The newest answer that arrived while a fill of the page ran; it
        // replaces that fill as soon as the fill yields.
        std::function<void()> pending;
        // The searched text and kind of each row, in fill order.
        LogSearchIndex search;
        // Once the user sorted the table: the fill row of each row.
        std::vector<int> fillRowOfRow;
        bool rowsMoved = false;
    };
    // Builds the cells of one row from one record, and its search entry.
    using RowBuilder = std::function<void(int row, int record)>;
    // Orders two records as the first column sorts them.
    using RecordLess = std::function<bool(int, int)>;

    void setupPages();
    void setupTables();
    void requestPage(Page page);
    void reloadPage(Page page);
    void fill(Page page, int total, const std::function<void()>& again, const RowBuilder& buildRow,
              const RecordLess& recordLess = nullptr);
    bool fillRows(Page page, int total, const RowBuilder& buildRow, const RecordLess& recordLess);
    void finishFill(Page page);
    void showUnavailable(Page page, const QString& reason);
    void filterPage(Page page);
    void applyFilter(Page page);
    void applyLabelColours();
    void refreshLooks();

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
    // Built once: a new QIcon per row would load the image again each time.
    QIcon informationIcon, warningIcon, errorIcon, addIcon, removeIcon, upgradeIcon, otherIcon;
    QString formLabelStyle, formTabsStyle;
    std::unique_ptr<WorkerThread> workerThread;
};
