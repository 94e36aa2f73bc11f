#pragma once

#include "logtable.h"

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <vector>

class ElideTextDelegate;
class LoadingOverlay;
class LogTableModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// One sub-page of the Logs tab: a table over the compact rows its source
// gave (LogTableModel), the filter and the kind buttons that narrow it, the
// count of the rows shown, and the veil that lies over the table while it
// loads. A source that cannot be read leaves the table empty with the
// reason shown over it; what the page should know about a partial answer is
// said above the table. The eight pages of the tab are eight of these.
class LogPage : public QObject {
    Q_OBJECT
public:
    // The page's widgets in the main form.
    struct Widgets {
        QTableView* view = nullptr;
        QLineEdit* filter = nullptr;
        QPushButton* reload = nullptr;
        QLabel* count = nullptr;
        std::array<QPushButton*, 3> kinds{};
    };
    struct Column {
        const char* title; // translated in the context "TabLogs"
        int width;         // 0 for the stretch column
    };
    struct Layout {
        std::vector<Column> columns;
        int stretchColumn = 0;
        int hiddenColumn = -1;
        Qt::SortOrder startOrder = Qt::AscendingOrder;
        // A click on a header sorts by that column; pages that are not
        // sortable keep the order of their source.
        bool sortable = true;
        // Whether the kind buttons narrow the page.
        bool kindButtons = true;
        std::vector<int> rightAligned;
    };

    LogPage(int number, const Widgets& widgets, const Layout& layout, QObject* parent);
    ~LogPage() override;

    LogTableModel* model() const { return rows; }
    LoadingOverlay* overlay() const { return veil; }
    // The reason shown over the table; empty when the source was read.
    QString unavailableReason() const;
    // What is said above the table about the last answer; empty when nothing.
    QString note() const;
    // Requests of the page not answered yet.
    bool isLoading() const { return waiting > 0; }

    // A request of the page is on its way; every one gets one answer.
    void expectAnswer() { ++waiting; }
    // The veil of the first load, over the empty table.
    void showVeil();
    // Before the page is read again: the rows go at once, as two copies of
    // a big log would need twice the memory, and a fresh veil keeps a paler
    // picture of them in sight until the new ones come.
    void clearForReload();
    void showProgress(int percent, int rowsSoFar);
    // The answer to a request: the rows and the note, or the reason there
    // are none.
    void showRows(const LogTablePtr& table, const QString& note);
    void showUnavailable(const QString& reason);
    // Shows the rows that hold the filter text and whose kind button is
    // checked; the current row stays current while it is shown.
    void applyFilter();

signals:
    void reloadClicked();

private:
    void setupTable(const Layout& layout);
    void answered();

    Widgets widgets;
    bool kindButtons;
    LogTableModel* rows = nullptr;
    std::unique_ptr<ElideTextDelegate> delegate;
    LoadingOverlay* veil = nullptr;
    QLabel* notice = nullptr;    // over the empty table
    QLabel* noteLabel = nullptr; // above the table
    int waiting = 0;
};
