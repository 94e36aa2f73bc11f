#pragma once

#include "logtable.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

class QThread;

// The table of one Logs page: the rows of a LogTable that pass the page's
// filter, in the order of the sorted column. Texts are shown through
// displaySafeText() as they are painted, so only the rows on screen pay for
// it. Sorting a big page runs on a thread of its own, so the window goes on
// answering; the new order replaces the old one when it is ready.
class LogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Rows up to this many are sorted at once; more on the sorting thread.
    static constexpr int SortAtOnceRows = 20000;

    // What a kept current row is found again by: the text of a cell as its
    // source wrote it, and the row of the LogTable a shown row is.
    enum Role { TextRole = Qt::UserRole + 1, TableRowRole };

    LogTableModel(const QStringList& titles, bool sortable, QObject* parent = nullptr);
    ~LogTableModel() override;

    void setRightAligned(const std::vector<int>& columns) { rightAligned = columns; }

    // New rows, sorted as the header says and filtered as before.
    void setTable(const LogTablePtr& table);
    void clear();
    const LogTablePtr& table() const { return rows; }

    // Shows the rows whose searched text holds needle (any letter case)
    // and whose kind (0, 1, 2) is shown; kinds[3] stands for rows of no kind.
    void setFilter(const QString& needle, const std::array<bool, 4>& kinds);

    bool isSorting() const { return sortsRunning > 0; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // An exact match of TextRole or TableRowRole is found in the arrays, not
    // through data() of every row.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                          Qt::MatchFlags flags) const override;

    // The colour and icon of a look, from the palette in force.
    static QColor colourOf(LogLook look);
    static QIcon iconOf(LogLook look);

private:
    void orderRows(bool mayWait);
    void applyOrder(std::vector<quint32> newOrder);
    std::vector<quint32> filtered() const;
    void cancelSorting();

    QStringList titles;
    bool sortable;
    std::vector<int> rightAligned;
    LogTablePtr rows;
    std::vector<quint32> order;   // every row of the table, sorted
    std::vector<quint32> visible; // the rows shown, in order
    QString needle;
    std::array<bool, 4> kindsShown{{true, true, true, true}};
    int sortColumn = 0;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    // Each sort in the background gets a number; only the newest is applied.
    quint64 sortNumber = 0;
    int sortsRunning = 0;
    std::shared_ptr<std::atomic<bool>> cancelRunning;
    std::vector<QThread*> sortThreads;
};
