#include "logtable.h"

#include "commandrunner.h"

#include <algorithm>
#include <cstring>
#include <limits>

LogTable::LogTable(int columnCount, unsigned searchedColumns, bool keyed)
    : columns(columnCount), searched(searchedColumns), keyed(keyed) {}

void LogTable::reserve(int rows, qint64 textBytes) {
    ends.reserve(size_t(rows) * size_t(columns));
    looks.reserve(size_t(rows));
    if (keyed)
        keys.reserve(size_t(rows));
    // Pages never written to are never resident: a high estimate costs
    // address space only.
    bytes.reserve(int(qMin<qint64>(textBytes, std::numeric_limits<int>::max() / 2)));
    index.reserve(rows, textBytes);
}

void LogTable::appendRow(const Field* fields, LogLook look, qint64 key) {
    Field found[16];
    int searchedCount = 0;
    for (int column = 0; column < columns; ++column) {
        const Field& field = fields[column];
        bytes.append(field.data, field.size);
        ends.push_back(quint32(bytes.size()));
        if ((searched >> column) & 1u)
            found[searchedCount++] = field;
    }
    looks.push_back(look);
    if (keyed)
        keys.push_back(key);
    index.addRow(found, searchedCount);
}

void LogTable::appendRow(const QStringList& fields, LogLook look, qint64 key) {
    std::vector<QByteArray> encoded;
    std::vector<Field> spans;
    encoded.reserve(size_t(columns));
    for (int column = 0; column < columns; ++column) {
        encoded.push_back(fields.value(column).toUtf8());
        spans.push_back({encoded.back().constData(), encoded.back().size()});
    }
    appendRow(spans.data(), look, key);
}

LogTable::Field LogTable::field(int row, int column) const {
    const size_t at = size_t(row) * size_t(columns) + size_t(column);
    const quint32 start = at == 0 ? 0 : ends[at - 1];
    return {bytes.constData() + start, int(ends[at] - start)};
}

QString LogTable::text(int row, int column) const {
    const Field f = field(row, column);
    return QString::fromUtf8(f.data, f.size);
}

int LogTable::kindOf(LogLook look) {
    switch (look) {
    case LogLook::Information:
    case LogLook::Install:
        return 0;
    case LogLook::Warning:
    case LogLook::Upgrade:
        return 1;
    case LogLook::Error:
    case LogLook::Remove:
        return 2;
    default:
        return NoKind;
    }
}

namespace {
// The first eight bytes from offset on, big-endian, zero past the end: two
// fields compare as their prefixes do unless the prefixes are equal.
quint64 prefixOf(const LogTable::Field& field, int offset) {
    quint64 prefix = 0;
    for (int i = 0; i < 8; ++i) {
        const int at = offset + i;
        prefix = (prefix << 8) | (at < field.size ? quint8(field.data[at]) : 0u);
    }
    return prefix;
}

// Byte order of the fields from offset on, the first offset bytes being
// equal; a field that is a prefix of the other comes first.
int compareFrom(const LogTable::Field& a, const LogTable::Field& b, int offset) {
    const int common = qMin(a.size, b.size);
    if (common > offset) {
        const int order = std::memcmp(a.data + offset, b.data + offset, size_t(common - offset));
        if (order != 0)
            return order;
    }
    return a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
}

// Twelve bytes, not sixteen: a million of them twice over while merging.
struct SortEntry {
    quint32 high, low, row;

    SortEntry() = default;
    SortEntry(quint64 primary, quint32 row) : high(quint32(primary >> 32)), low(quint32(primary)), row(row) {}
    quint64 primary() const { return (quint64(high) << 32) | low; }
};

bool cancelled(const std::atomic<bool>* cancel) {
    return (cancel && cancel->load(std::memory_order_relaxed)) || CommandRunner::isAborted();
}

// A stable merge sort that looks at cancel between runs and merges, so that
// sorting a million rows can be abandoned within milliseconds.
template <typename Less>
bool stableSort(std::vector<SortEntry>& entries, const Less& less, const std::atomic<bool>* cancel) {
    const size_t count = entries.size();
    const size_t run = 8192;
    for (size_t from = 0; from < count; from += run) {
        std::stable_sort(entries.begin() + from, entries.begin() + std::min(count, from + run), less);
        if (cancelled(cancel))
            return false;
    }
    if (count <= run)
        return true;
    std::vector<SortEntry> merged(count);
    for (size_t width = run; width < count; width *= 2) {
        for (size_t from = 0; from < count; from += 2 * width) {
            const size_t middle = std::min(count, from + width), to = std::min(count, from + 2 * width);
            std::merge(entries.begin() + from, entries.begin() + middle, entries.begin() + middle,
                       entries.begin() + to, merged.begin() + from, less);
            if (cancelled(cancel))
                return false;
        }
        entries.swap(merged);
    }
    return true;
}
} // namespace

bool LogTable::lessByKey(quint32 a, quint32 b) const {
    if (keys[a] != keys[b])
        return keys[a] < keys[b];
    // Equal keys (also two unreadable times) go by their text.
    return compareFrom(field(int(a), 0), field(int(b), 0), 0) < 0;
}

bool LogTable::sortRows(std::vector<quint32>& rows, int column, bool descending,
                        const std::atomic<bool>* cancel) const {
    const bool byKey = keyed && column == 0;
    std::vector<SortEntry> entries(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const quint32 row = rows[i];
        // Keys are signed: flipping the top bit keeps their order unsigned.
        entries[i] = SortEntry(
            byKey ? quint64(keys[row]) ^ (quint64(1) << 63) : prefixOf(field(int(row), column), 0), row);
    }
    const auto less = [&](const SortEntry& a, const SortEntry& b) {
        if (a.high != b.high || a.low != b.low)
            return a.primary() < b.primary();
        if (byKey)
            return compareFrom(field(int(a.row), 0), field(int(b.row), 0), 0) < 0;
        return compareFrom(field(int(a.row), column), field(int(b.row), column), 8) < 0;
    };
    const bool done =
        descending ? stableSort(
                         entries, [&](const SortEntry& a, const SortEntry& b) { return less(b, a); }, cancel)
                   : stableSort(entries, less, cancel);
    if (!done)
        return false;
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = entries[i].row;
    return true;
}

void LogTable::sortByKey() {
    keyOrder.resize(size_t(rowCount()));
    for (size_t i = 0; i < keyOrder.size(); ++i)
        keyOrder[i] = quint32(i);
    // Logs are written oldest first: the rows are nearly in order already.
    if (!std::is_sorted(keyOrder.begin(), keyOrder.end(),
                        [this](quint32 a, quint32 b) { return lessByKey(a, b); }))
        sortRows(keyOrder, 0, false);
}

std::vector<quint32> LogTable::rowsByKey(bool descending) const {
    if (!descending || keyOrder.empty())
        return keyOrder;
    // Runs of equal rows keep the order they were added in.
    const auto equal = [this](quint32 a, quint32 b) {
        return keys[a] == keys[b] && compareFrom(field(int(a), 0), field(int(b), 0), 0) == 0;
    };
    std::vector<quint32> rows;
    rows.reserve(keyOrder.size());
    size_t runEnd = keyOrder.size();
    while (runEnd > 0) {
        size_t runStart = runEnd - 1;
        while (runStart > 0 && equal(keyOrder[runStart - 1], keyOrder[runEnd - 1]))
            --runStart;
        rows.insert(rows.end(), keyOrder.begin() + long(runStart), keyOrder.begin() + long(runEnd));
        runEnd = runStart;
    }
    return rows;
}
