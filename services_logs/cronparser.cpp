#include "cronparser.h"

#include <QLoggingCategory>
#include <QSet>

#include <algorithm>

Q_LOGGING_CATEGORY(lcCronParser, "tessmar.cron.parser", QtWarningMsg)

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Control characters would show as nothing or garble the cell.
QString displayable(const QString& text) {
    QString shown = text;
    for (QChar& c : shown) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f)
            c = QChar(QChar::ReplacementCharacter);
    }
    return shown;
}

// NAME=value or NAME = value: an environment setting, not a job.
bool isVariableLine(const QString& line) {
    int i = 0;
    if (i >= line.size() || !(line.at(i).isLetter() || line.at(i) == QLatin1Char('_')))
        return false;
    while (i < line.size() && (line.at(i).isLetterOrNumber() || line.at(i) == QLatin1Char('_')))
        ++i;
    while (i < line.size() && isBlank(line.at(i)))
        ++i;
    return i < line.size() && line.at(i) == QLatin1Char('=');
}

// Splits off count blank-separated words; rest is what follows the blanks
// after the last word. False when the line has fewer words, or no rest.
bool splitWords(const QString& line, int count, QStringList& words, QString& rest) {
    int i = 0;
    for (int word = 0; word < count; ++word) {
        while (i < line.size() && isBlank(line.at(i)))
            ++i;
        const int start = i;
        while (i < line.size() && !isBlank(line.at(i)))
            ++i;
        if (i == start)
            return false;
        words << line.mid(start, i - start);
    }
    if (i >= line.size())
        return false;
    while (i < line.size() && isBlank(line.at(i)))
        ++i;
    rest = line.mid(i);
    return !rest.isEmpty();
}

DetailsCronJob newJob(const QString& location) {
    DetailsCronJob job;
    job.name = location.mid(location.lastIndexOf(QLatin1Char('/')) + 1);
    job.location = location;
    job.status = QStringLiteral("Active");
    job.icon = QIcon(QStringLiteral(":/icons/cron.png"));
    return job;
}

} // namespace

namespace CronParser {

QList<DetailsCronJob> parseCrontab(const QByteArray& text, const QString& location, const QString& user,
                                   bool systemFormat) {
    QList<DetailsCronJob> jobs;
    const QList<QByteArray> rawLines = text.split('\n');
    for (const QByteArray& rawLine : rawLines) {
        if (rawLine.size() > maxLineLength) {
            qCWarning(lcCronParser).noquote()
                << "Skipping a crontab line of" << rawLine.size() << "bytes in" << location;
            continue;
        }
        if (rawLine.contains('\0')) {
            qCDebug(lcCronParser).noquote() << "Skipping a binary line in" << location;
            continue;
        }
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (isVariableLine(line)) {
            qCDebug(lcCronParser).noquote() << "Line did not match cron pattern:" << line;
            continue;
        }

        const bool keyword = line.startsWith(QLatin1Char('@'));
        const int scheduleWords = keyword ? 1 : 5;
        QStringList words;
        QString command;
        if (!splitWords(line, scheduleWords + (systemFormat ? 1 : 0), words, command)) {
            qCDebug(lcCronParser).noquote() << "Line did not match cron pattern:" << line;
            continue;
        }
        const QStringList schedule = words.mid(0, scheduleWords);
        const bool scheduleHasHash = std::any_of(schedule.cbegin(), schedule.cend(), [](const QString& word) {
            return word.contains(QLatin1Char('#'));
        });
        if (scheduleHasHash) {
            qCDebug(lcCronParser).noquote() << "Line did not match cron pattern:" << line;
            continue;
        }

        DetailsCronJob job = newJob(location);
        job.schedule = schedule.join(QLatin1Char(' '));
        job.user = systemFormat ? displayable(words.at(scheduleWords)) : user;
        job.command = displayable(command);
        job.type = systemFormat ? QStringLiteral("System") : QStringLiteral("User");
        jobs.append(job);
    }
    return jobs;
}

DetailsCronJob scriptJob(const QString& folder, const QString& fileName, const QString& period) {
    DetailsCronJob job = newJob(folder + fileName);
    job.user = QStringLiteral("root");
    job.schedule = QLatin1Char('@') + period;
    job.command = QStringLiteral("Custom script file");
    job.type = QStringLiteral("System");
    return job;
}

QStringList accountNames(const QByteArray& passwdText) {
    QStringList names;
    QSet<QString> seen;
    const QList<QByteArray> lines = passwdText.split('\n');
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        const QString name = QString::fromUtf8(colon < 0 ? line : line.left(colon)).trimmed();
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
            name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || seen.contains(name))
            continue;
        seen.insert(name);
        names << name;
    }
    return names;
}

bool isRunPartsName(const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    for (const QChar c : fileName) {
        const bool allowed = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                             (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                             (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
                             c == QLatin1Char('-');
        if (!allowed)
            return false;
    }
    return true;
}

} // namespace CronParser
