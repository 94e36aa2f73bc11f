#include "unitfileparser.h"

#include <QIODevice>

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r');
}

// Longest line taken as one: unit files hold short lines; anything longer is
// read on in pieces and never taken for the start of a line.
constexpr qint64 maxLineLength = 64 * 1024;
} // namespace

namespace UnitFileParser {

QList<UnitFileEntry> parseListing(const QString& output) {
    QList<UnitFileEntry> entries;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        QString words[2];
        int found = 0;
        int i = 0;
        while (found < 2) {
            while (i < line.size() && isBlank(line.at(i)))
                ++i;
            if (i >= line.size())
                break;
            const int start = i;
            while (i < line.size() && !isBlank(line.at(i)))
                ++i;
            words[found++] = line.mid(start, i - start);
        }
        if (found == 0)
            continue;
        entries.append({words[0], words[1]});
    }
    return entries;
}

bool isListed(const QString& state, bool showOtherStates) {
    return showOtherStates || state == QLatin1String("enabled") || state == QLatin1String("disabled");
}

std::optional<QString> readDescription(QIODevice& unitFile) {
    static const QByteArray key = QByteArrayLiteral("Description=");
    bool atLineStart = true;
    while (!unitFile.atEnd()) {
        const QByteArray piece = unitFile.readLine(maxLineLength);
        if (piece.isEmpty())
            break;
        const bool startsLine = atLineStart;
        atLineStart = piece.endsWith('\n');
        if (!startsLine || !piece.startsWith(key))
            continue;
        QByteArray value = piece.mid(key.size());
        // The rest of an over-long value line is dropped, not read.
        return QString::fromUtf8(value).trimmed();
    }
    return std::nullopt;
}

bool isPlainUnitFileName(const QString& unitName) {
    return !unitName.isEmpty() && unitName != QLatin1String(".") && unitName != QLatin1String("..") &&
           !unitName.contains(QLatin1Char('/')) && !unitName.contains(QChar(0));
}

} // namespace UnitFileParser
