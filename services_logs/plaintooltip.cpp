#include "plaintooltip.h"

#include "displaytext.h"

#include <QStringList>

namespace {
// Lines up to this many characters stay on one line of the tooltip.
constexpr int unwrappedLength = 100;
} // namespace

QString plainTextToolTip(const QString& text) {
    QString html;
    const QStringList lines = displaySafeText(text).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // One paragraph a line; short ones keep their blanks and never wrap.
        html += line.size() > unwrappedLength ? QStringLiteral("<p style=\"margin:0\">")
                                              : QStringLiteral("<p style=\"margin:0; white-space:pre\">");
        html += line.toHtmlEscaped() + QStringLiteral("</p>");
    }
    return html;
}
