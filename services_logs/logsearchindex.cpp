#include "logsearchindex.h"

#include <cstring>

namespace {
// Appends the lower-cased field; the usual all-ASCII field is folded in place.
void appendLowered(QByteArray& buffer, const QString& field) {
    const ushort* chars = reinterpret_cast<const ushort*>(field.constData());
    const int size = field.size();
    bool ascii = true;
    for (int i = 0; i < size && ascii; ++i)
        ascii = chars[i] < 0x80 && chars[i] != '\n';
    if (!ascii) {
        QByteArray lowered = field.toLower().toUtf8();
        // A field holds no line break; keep the separator unique anyway.
        lowered.replace('\n', ' ');
        buffer += lowered;
        return;
    }
    const int at = buffer.size();
    buffer.resize(at + size);
    char* out = buffer.data() + at;
    for (int i = 0; i < size; ++i) {
        const ushort c = chars[i];
        out[i] = char(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    }
}
} // namespace

void LogSearchIndex::clear() {
    text = QByteArray();
    rowEnds = std::vector<int>();
    kinds = std::vector<quint8>();
}

void LogSearchIndex::reserve(int rows) {
    rowEnds.reserve(size_t(rows));
    kinds.reserve(size_t(rows));
}

void LogSearchIndex::addRow(std::initializer_list<const QString*> fields, quint8 kind) {
    for (const QString* field : fields) {
        appendLowered(text, *field);
        text += '\n';
    }
    rowEnds.push_back(text.size());
    kinds.push_back(kind);
}

std::vector<bool> LogSearchIndex::rowsHolding(const QString& needle) const {
    const QByteArray wanted = needle.toLower().toUtf8();
    if (wanted.isEmpty())
        return std::vector<bool>(kinds.size(), true);
    std::vector<bool> holding(kinds.size(), false);
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
        const int at = int(static_cast<const char*>(hit) - begin);
        while (rowEnds[row] <= at)
            ++row;
        holding[row] = true;
        // The rest of this row cannot add anything.
        from = begin + rowEnds[row];
    }
    return holding;
}
