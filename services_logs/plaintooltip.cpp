#include "plaintooltip.h"

#include "displaytext.h"

#include <QStringList>

namespace {
// Lines up to this many characters stay on one line of the tooltip.
constexpr int unwrappedLength = 100;
} // namespace

QString plainTextToolTip(const QString& text) {
    QStringList lines;
    const QStringList plainLines = displaySafeText(text).split(QLatin1Char('\n'));
    for (const QString& plain : plainLines) {
        QString line = plain.toHtmlEscaped();
        if (plain.size() > unwrappedLength) {
            lines << line;
            continue;
        }
        // Markup folds runs of blanks into one.
        line.replace(QLatin1Char('\t'), QLatin1Char(' '));
        line.replace(QStringLiteral("  "), QStringLiteral(" &nbsp;"));
        line.replace(QStringLiteral("&nbsp; "), QStringLiteral("&nbsp;&nbsp;"));
        lines << QStringLiteral("<nobr>") + line + QStringLiteral("</nobr>");
    }
    return QStringLiteral("<p>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}
