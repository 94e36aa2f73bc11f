#include "displaytext.h"

namespace {

bool isBidiControl(char16_t c) {
    // Fast reject: every control listed below is at U+061C or above, and
    // almost all text is below it.
    if (c < 0x061C)
        return false;
    return c == 0x061C                      // ARABIC LETTER MARK
           || c == 0x200E || c == 0x200F    // LRM, RLM
           || (c >= 0x202A && c <= 0x202E)  // LRE, RLE, PDF, LRO, RLO
           || (c >= 0x2066 && c <= 0x2069); // LRI, RLI, FSI, PDI
}

} // namespace

bool hasBidiControl(const QString& text) {
    for (const QChar c : text) {
        if (isBidiControl(c.unicode()))
            return true;
    }
    return false;
}

QString displaySafeText(const QString& text) {
    if (!hasBidiControl(text))
        return text;
    QString shown;
    shown.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (isBidiControl(c.unicode()))
            shown += QStringLiteral("<U+%1>").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += c;
    }
    return shown;
}
