#include "windowlistparser.h"

#include <QSet>
#include <QStringList>

namespace {

// "0x" and one to eight hexadecimal digits.
bool isWindowId(const QString& text) {
    if (text.size() < 3 || text.size() > 10 || !text.startsWith(QLatin1String("0x")))
        return false;
    for (int i = 2; i < text.size(); ++i) {
        const char c = text.at(i).toLatin1();
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

QString joinedWords(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char(' '));
}

} // namespace

QList<WindowListParser::Entry> WindowListParser::parse(const QByteArray& output) {
    QList<Entry> entries;
    QSet<quint32> seen;
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
        const quint32 number = windowNumber(parts.at(0));
        if (seen.contains(number))
            continue;
        seen.insert(number);
        entries.append({idText(number), number, desktop, parts.mid(3).join(QLatin1Char(' '))});
    }
    return entries;
}

quint32 WindowListParser::windowNumber(const QString& id) {
    bool ok = false;
    const qulonglong number = id.toULongLong(&ok, 16);
    return ok && number <= 0xFFFFFFFFull ? quint32(number) : 0;
}

QString WindowListParser::idText(quint32 number) {
    return QStringLiteral("0x%1").arg(number, 8, 16, QLatin1Char('0'));
}

QList<WindowListParser::Row> WindowListParser::rows(const QList<Entry>& entries,
                                                    const QVector<ServerWindow>* server) {
    QList<Row> result;
    for (int i = 0; i < entries.size(); ++i) {
        if (!server) {
            if (entries[i].desktop != -1)
                result.append({i, entries[i].title});
            continue;
        }
        // A line that a title forged may name any window, on any desktop,
        // with any title: the window itself says where it is and what it is
        // called.
        const ServerWindow& window = server->at(i);
        if (window.managed && window.desktop != 0xFFFFFFFFu)
            result.append({i, titleLine(window.title)});
    }
    return result;
}

QList<WindowListParser::Row> WindowListParser::managedRows(const QVector<ServerWindow>& windows) {
    QList<Row> result;
    for (int i = 0; i < windows.size(); ++i) {
        if (windows[i].managed && windows[i].desktop != 0xFFFFFFFFu)
            result.append({i, titleLine(windows[i].title)});
    }
    return result;
}

QString WindowListParser::titleLine(const QString& title) {
    if (title.isNull())
        return QStringLiteral("N/A");
    const int lineBreak = title.indexOf(QLatin1Char('\n'));
    return joinedWords((lineBreak < 0 ? title : title.left(lineBreak)).trimmed());
}
