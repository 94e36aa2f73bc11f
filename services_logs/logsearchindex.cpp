#include "logsearchindex.h"

#include <cstring>
#include <limits>

namespace {
// Appends the lower-cased field; the usual all-ASCII field is folded in place.
void appendLowered(QByteArray& buffer, const LogSearchIndex::Field& field) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(field.data);
    bool ascii = true;
    for (int i = 0; i < field.size && ascii; ++i)
        ascii = bytes[i] < 0x80 && bytes[i] != '\n';
    if (!ascii) {
        QByteArray lowered = QString::fromUtf8(field.data, field.size).toLower().toUtf8();
        // A field holds no line break; keep the separator unique anyway.
        lowered.replace('\n', ' ');
        buffer += lowered;
        return;
    }
    const int at = buffer.size();
    buffer.resize(at + field.size);
    char* out = buffer.data() + at;
    for (int i = 0; i < field.size; ++i) {
        const unsigned char c = bytes[i];
        out[i] = char(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    }
}
} // namespace

void LogSearchIndex::clear() {
    text = QByteArray();
    rowEnds = std::vector<quint32>();
}

void LogSearchIndex::reserve(int rows, qint64 bytes) {
    rowEnds.reserve(size_t(rows));
    // Pages not written to are never resident: an estimate on the high side
    // costs address space only, while growing by doubling would copy.
    text.reserve(int(qMin<qint64>(bytes, std::numeric_limits<int>::max() / 2)));
}

void LogSearchIndex::addRow(const Field* fields, int count) {
    for (int i = 0; i < count; ++i) {
        appendLowered(text, fields[i]);
        text += '\n';
    }
    rowEnds.push_back(quint32(text.size()));
}

std::vector<bool> LogSearchIndex::rowsHolding(const QString& needle) const {
    const QByteArray wanted = needle.toLower().toUtf8();
    if (wanted.isEmpty())
        return std::vector<bool>(rowEnds.size(), true);
    std::vector<bool> holding(rowEnds.size(), false);
    if (wanted.contains('\n'))
        return holding;
    const char* begin = text.constData();
    const char* end = begin + text.size();
    const char* from = begin;
    size_t row = 0;
    while (from < end) {
        const void* hit = memmem(from, size_t(end - from), wanted.constData(), size_t(wanted.size()));
        if (!hit)
            break;
        const auto at = quint32(static_cast<const char*>(hit) - begin);
        while (rowEnds[row] <= at)
            ++row;
        holding[row] = true;
        // The rest of this row cannot add anything.
        from = begin + rowEnds[row];
    }
    return holding;
}
