#include "logtablemodel.h"

#include "displaytext.h"
#include "themecolors.h"

#include <QBrush>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <malloc.h>
#include <numeric>

LogTableModel::LogTableModel(const QStringList& titles, bool sortable, QObject* parent)
    : QAbstractTableModel(parent), titles(titles), sortable(sortable) {}

LogTableModel::~LogTableModel() {
    cancelSorting();
    // A cancelled sort ends within a merge step.
    for (QThread* thread : sortThreads) {
        thread->wait();
        delete thread;
    }
}

QColor LogTableModel::colourOf(LogLook look) {
    switch (look) {
    case LogLook::Information:
    case LogLook::Install:
    case LogLook::Calm:
        return statusColorGreen();
    case LogLook::Warning:
    case LogLook::Upgrade:
        return statusColorAmber();
    case LogLook::Error:
    case LogLook::Remove:
    case LogLook::Alarm:
        return statusColorRed();
    case LogLook::OtherAction:
        return statusColorBlue();
    case LogLook::Unknown:
        break;
    }
    return statusColorGrey();
}

QIcon LogTableModel::iconOf(LogLook look) {
    // Built once: a new QIcon per cell would load the image again each time.
    static const QIcon icons[] = {
        QIcon(QStringLiteral(":/icons/information")), QIcon(QStringLiteral(":/icons/warning")),
        QIcon(QStringLiteral(":/icons/error")),       QIcon(QStringLiteral(":/icons/add")),
        QIcon(QStringLiteral(":/icons/upgrade")),     QIcon(QStringLiteral(":/icons/remove")),
        QIcon(QStringLiteral(":/icons/other"))};
    const auto at = size_t(look);
    return at < sizeof icons / sizeof icons[0] ? icons[at] : QIcon();
}

void LogTableModel::setTable(const LogTablePtr& table) {
    cancelSorting();
    beginResetModel();
    rows = table;
    order.clear();
    visible.clear();
    orderRows(true);
    visible = filtered();
    endResetModel();
}

void LogTableModel::clear() {
    cancelSorting();
    beginResetModel();
    rows.reset();
    std::vector<quint32>().swap(order);
    std::vector<quint32>().swap(visible);
    endResetModel();
}

void LogTableModel::setFilter(const QString& text, const std::array<bool, 4>& kinds) {
    needle = text;
    kindsShown = kinds;
    kindsShown[LogTable::NoKind] = true;
    beginResetModel();
    visible = filtered();
    endResetModel();
}

std::vector<quint32> LogTableModel::filtered() const {
    if (!rows)
        return {};
    const bool everyKind =
        std::all_of(kindsShown.begin(), kindsShown.end(), [](bool shown) { return shown; });
    if (needle.isEmpty() && everyKind)
        return order;
    const std::vector<bool> holding =
        needle.isEmpty() ? std::vector<bool>() : rows->search().rowsHolding(needle);
    std::vector<quint32> shown;
    shown.reserve(order.size());
    for (const quint32 row : order)
        if ((holding.empty() || holding[row]) && kindsShown[size_t(rows->kind(int(row)))])
            shown.push_back(row);
    return shown;
}

// The order of the rows for the header's column. Called with a fresh table
// (newTable) the rows are put in some order at once, and a big table that
// sorts by text gets its final order from the sorting thread.
void LogTableModel::orderRows(bool newTable) {
    cancelSorting();
    const quint64 number = ++sortNumber;
    const int count = rows ? rows->rowCount() : 0;
    const bool descending = sortOrder == Qt::DescendingOrder;
    std::vector<quint32> start;
    if (rows && sortable && rows->isKeyed()) {
        std::vector<quint32> byKey = rows->rowsByKey(descending);
        if (sortColumn == 0 && !byKey.empty()) {
            newTable ? void(order = std::move(byKey)) : applyOrder(std::move(byKey));
            return;
        }
        if (newTable && !byKey.empty())
            order = std::move(byKey);
    }
    if (newTable && order.empty()) {
        order.resize(size_t(count));
        std::iota(order.begin(), order.end(), 0u);
    }
    if (!rows || !sortable)
        return;
    start = order;
    if (count <= SortAtOnceRows) {
        if (rows->sortRows(start, sortColumn, descending))
            newTable ? void(order = std::move(start)) : applyOrder(std::move(start));
        return;
    }
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancelRunning = cancel;
    ++sortsRunning;
    auto sorted = std::make_shared<std::vector<quint32>>(std::move(start));
    QThread* thread =
        QThread::create([this, table = rows, cancel, number, sorted, column = sortColumn, descending] {
            const bool done = table->sortRows(*sorted, column, descending, cancel.get());
            QMetaObject::invokeMethod(
                this,
                [this, number, sorted, done] {
                    --sortsRunning;
                    if (done && number == sortNumber)
                        applyOrder(std::move(*sorted));
                    // What the sort used goes back to the system at once.
                    if (sortsRunning == 0)
                        malloc_trim(0);
                },
                Qt::QueuedConnection);
        });
    thread->setObjectName(QStringLiteral("workerlogsort"));
    sortThreads.push_back(thread);
    connect(thread, &QThread::finished, this, [this, thread] {
        sortThreads.erase(std::remove(sortThreads.begin(), sortThreads.end(), thread), sortThreads.end());
        thread->deleteLater();
    });
    thread->start(QThread::LowPriority);
}

void LogTableModel::cancelSorting() {
    if (cancelRunning)
        cancelRunning->store(true);
    cancelRunning.reset();
}

// Rows move, none come or go: the selection and the current row follow
// their rows.
void LogTableModel::applyOrder(std::vector<quint32> newOrder) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    order = std::move(newOrder);
    std::vector<quint32> shown = filtered();
    const QModelIndexList before = persistentIndexList();
    if (!before.isEmpty()) {
        std::vector<int> rowOf(size_t(rows->rowCount()), -1);
        for (size_t row = 0; row < shown.size(); ++row)
            rowOf[shown[row]] = int(row);
        QModelIndexList after;
        for (const QModelIndex& index : before) {
            const int row = index.row() < int(visible.size()) ? rowOf[visible[size_t(index.row())]] : -1;
            after << (row >= 0 ? createIndex(row, index.column()) : QModelIndex());
        }
        changePersistentIndexList(before, after);
    }
    visible = std::move(shown);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int LogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(visible.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : titles.size();
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !rows || index.row() >= int(visible.size()))
        return QVariant();
    const int row = int(visible[size_t(index.row())]);
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        // Log fields are text other users wrote.
        return displaySafeText(rows->text(row, column));
    case Qt::DecorationRole: {
        const QIcon icon = column == 0 ? iconOf(rows->look(row)) : QIcon();
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::BackgroundRole:
        return QBrush(colourOf(rows->look(row)));
    case Qt::UserRole: {
        // The kind word the severity buttons stand for.
        static const char* const words[] = {"information", "warning", "error"};
        const auto look = size_t(rows->look(row));
        return column == 0 && look < 3 ? QVariant(QString::fromLatin1(words[look])) : QVariant();
    }
    case TextRole:
        return rows->text(row, column);
    case TableRowRole:
        return uint(row);
    case Qt::TextAlignmentRole:
        if (std::find(rightAligned.begin(), rightAligned.end(), column) != rightAligned.end())
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return titles.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LogTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void LogTableModel::sort(int column, Qt::SortOrder order) {
    sortColumn = column;
    sortOrder = order;
    if (sortable && rows)
        orderRows(false);
}

QModelIndexList LogTableModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                     Qt::MatchFlags flags) const {
    if (!rows || flags != Qt::MatchExactly || hits != 1 || start.parent().isValid() ||
        (role != TextRole && role != TableRowRole))
        return QAbstractTableModel::match(start, role, value, hits, flags);
    const auto first = visible.begin() + qBound(0, start.row(), int(visible.size()));
    auto found = visible.end();
    if (role == TableRowRole) {
        found = std::find(first, visible.end(), value.toUInt());
    } else {
        const QByteArray wanted = value.toString().toUtf8();
        found = std::find_if(first, visible.end(), [&](quint32 row) {
            const LogTable::Field field = rows->field(int(row), start.column());
            return field.size == wanted.size() &&
                   std::memcmp(field.data, wanted.constData(), size_t(field.size)) == 0;
        });
    }
    if (found == visible.end())
        return {};
    return {index(int(found - visible.begin()), start.column())};
}
