#include "windowlistparser.h"

#include <QRegularExpression>
#include <QSet>

namespace {

bool isWindowId(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^0x[0-9a-fA-F]{1,8}$"));
    return pattern.match(text).hasMatch();
}

} // namespace

QList<WindowListParser::Entry> WindowListParser::parse(const QByteArray& output) {
    QList<Entry> entries;
    QSet<QString> seen;
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() < 4 || !isWindowId(parts.at(0)))
            continue;
        bool isNumber = false;
        const int desktop = parts.at(1).toInt(&isNumber, 10);
        if (!isNumber)
            continue;
        const QString id = parts.at(0).toLower();
        if (seen.contains(id))
            continue;
        seen.insert(id);
        if (desktop == -1)
            continue;
        entries.append({parts.at(0), desktop, parts.mid(3).join(QLatin1Char(' '))});
    }
    return entries;
}

quint32 WindowListParser::windowNumber(const QString& id) {
    bool ok = false;
    const qulonglong number = id.toULongLong(&ok, 16);
    return ok && number <= 0xFFFFFFFFull ? quint32(number) : 0;
}
