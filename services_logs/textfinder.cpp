#include "textfinder.h"

namespace {
inline ushort foldAscii(ushort c) {
    return (c >= 'A' && c <= 'Z') ? ushort(c | 0x20) : c;
}
} // namespace

TextFinder::TextFinder(const QString& needle)
    : lowerNeedle(needle.toLower()), matcher(needle, Qt::CaseInsensitive) {
    for (const QChar c : lowerNeedle)
        asciiNeedle = asciiNeedle && c.unicode() < 0x80;
}

bool TextFinder::foundIn(const QString& haystack) const {
    const int m = lowerNeedle.size();
    if (m == 0)
        return true;
    if (!asciiNeedle)
        return matcher.indexIn(haystack) >= 0;
    const ushort* h = reinterpret_cast<const ushort*>(haystack.constData());
    const ushort* n = reinterpret_cast<const ushort*>(lowerNeedle.constData());
    const int size = haystack.size();
    const ushort first = n[0];
    for (int i = 0; i < size; ++i) {
        const ushort c = h[i];
        if (c >= 0x80)
            return matcher.indexIn(haystack) >= 0;
        if (foldAscii(c) != first || i + m > size)
            continue;
        int k = 1;
        while (k < m && h[i + k] < 0x80 && foldAscii(h[i + k]) == n[k])
            ++k;
        if (k == m)
            return true;
    }
    return false;
}
