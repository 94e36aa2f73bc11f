#include "plaintooltip.h"

#include "displaytext.h"

#include <QStringList>

namespace {
// Lines up to this many characters stay on one line of the tooltip; longer
// ones are wrapped into lines of at most this many.
constexpr int lineLength = 100;

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// A long line in pieces of at most lineLength characters, broken at the
// last blank that fits (the blank is dropped); a word longer than a piece
// is cut, between two characters rather than inside one.
QStringList wrapped(const QString& line) {
    QStringList pieces;
    int start = 0;
    while (line.size() - start > lineLength) {
        int cut = start + lineLength;
        while (cut > start && !isBlank(line.at(cut)))
            --cut;
        if (cut > start) {
            pieces << line.mid(start, cut - start);
            start = cut + 1;
            continue;
        }
        cut = start + lineLength;
        if (line.at(cut - 1).isHighSurrogate())
            --cut;
        pieces << line.mid(start, cut - start);
        start = cut;
    }
    pieces << line.mid(start);
    return pieces;
}
} // namespace

QString plainTextToolTip(const QString& text) {
    // One paragraph a line, wrapped here at blanks: left to the tooltip, a
    // long line would wrap into a narrow column, broken at every hyphen.
    QString html;
    const QStringList lines = displaySafeText(text).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        for (const QString& piece : wrapped(line))
            html += QStringLiteral("<p style=\"margin:0; white-space:pre\">") + piece.toHtmlEscaped() +
                    QStringLiteral("</p>");
    }
    return html;
}
