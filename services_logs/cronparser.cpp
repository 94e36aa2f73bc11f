#include "cronparser.h"

#include "cronschedule.h"

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

// A shell command cut into words and runs of operator characters, quotes
// removed. Enough to find "run-parts FOLDER" in the commands of the system
// crontab; no expansion is done.
struct ShellToken {
    QString text;
    bool isOperator = false;
};

QList<ShellToken> shellTokens(const QString& command) {
    static const QString operators = QStringLiteral(";&|(){}");
    QList<ShellToken> tokens;
    QString word;
    bool inWord = false;
    const auto endWord = [&] {
        if (inWord)
            tokens.append({word, false});
        word.clear();
        inWord = false;
    };
    for (int i = 0; i < command.size(); ++i) {
        const QChar c = command.at(i);
        if (isBlank(c)) {
            endWord();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const int close = command.indexOf(c, i + 1);
            const int end = close < 0 ? command.size() : close;
            word += command.mid(i + 1, end - i - 1);
            inWord = true;
            i = end;
        } else if (operators.contains(c)) {
            endWord();
            QString run(c);
            while (i + 1 < command.size() && operators.contains(command.at(i + 1)) && command.at(i + 1) == c)
                run += command.at(++i);
            tokens.append({run, true});
        } else {
            word += c;
            inWord = true;
        }
    }
    endWord();
    return tokens;
}

DetailsCronJob newJob(const QString& location) {
    DetailsCronJob job;
    job.name = location.mid(location.lastIndexOf(QLatin1Char('/')) + 1);
    job.location = location;
    job.status = QStringLiteral("Active");
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

DetailsCronJob scriptJob(const QString& folder, const QString& fileName, const FolderRunner& runner) {
    DetailsCronJob job = newJob(folder + fileName);
    job.user = runner.user;
    job.schedule = runner.schedule;
    job.origin = runner.origin;
    job.runBy = runner.runBy;
    job.command = QStringLiteral("Custom script file");
    job.type = QStringLiteral("System");
    return job;
}

QStringList runPartsFolders(const QString& command) {
    const QList<ShellToken> tokens = shellTokens(command);
    QStringList folders;
    for (int i = 0; i < tokens.size(); ++i) {
        const bool commandPosition = i == 0 || tokens.at(i - 1).isOperator;
        const QString& word = tokens.at(i).text;
        if (!commandPosition || tokens.at(i).isOperator ||
            word.mid(word.lastIndexOf(QLatin1Char('/')) + 1) != QLatin1String("run-parts"))
            continue;
        // Options come first; -u, -a and --umask, --arg, --regex without '=' take the next word.
        int j = i + 1;
        while (j < tokens.size() && !tokens.at(j).isOperator) {
            const QString& option = tokens.at(j).text;
            if (option == QLatin1String("--")) {
                ++j;
                break;
            }
            if (!option.startsWith(QLatin1Char('-')) || option == QLatin1String("-"))
                break;
            static const QStringList withValue = {QStringLiteral("-u"), QStringLiteral("-a"),
                                                  QStringLiteral("--umask"), QStringLiteral("--arg"),
                                                  QStringLiteral("--regex")};
            j += withValue.contains(option) ? 2 : 1;
        }
        if (j >= tokens.size() || tokens.at(j).isOperator)
            continue;
        QString folder = tokens.at(j).text;
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        folders << folder;
    }
    return folders;
}

QString skippedWhenExecutable(const QString& command) {
    const QList<ShellToken> tokens = shellTokens(command);
    const auto is = [&](int i, const char* text) {
        return i < tokens.size() && tokens.at(i).text == QLatin1String(text);
    };
    if (is(0, "test") && is(1, "-x") && tokens.size() > 2 && !tokens.at(2).isOperator && is(3, "||"))
        return tokens.at(2).text;
    if (is(0, "[") && is(1, "-x") && tokens.size() > 2 && !tokens.at(2).isOperator && is(3, "]") &&
        is(4, "||"))
        return tokens.at(2).text;
    return QString();
}

QList<AnacronLine> parseAnacrontab(const QByteArray& text) {
    QList<AnacronLine> lines;
    const QList<QByteArray> rawLines = text.split('\n');
    for (const QByteArray& rawLine : rawLines) {
        if (rawLine.size() > maxLineLength || rawLine.contains('\0'))
            continue;
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || isVariableLine(line))
            continue;
        // period, delay, job identifier, command
        QStringList words;
        QString command;
        if (!splitWords(line, 3, words, command))
            continue;
        bool ok = false;
        const int days = words.at(0).toInt(&ok, 10);
        const bool knownPeriod = (ok && days >= 1) || words.at(0) == QLatin1String("@monthly");
        if (knownPeriod)
            lines.append({words.at(0), command});
    }
    return lines;
}

FolderRunner folderRunner(const QString& folder, const QList<DetailsCronJob>& systemJobs,
                          const QList<AnacronLine>& anacronLines, const QString& anacrontabPath,
                          const std::function<bool(const QString&)>& isExecutable) {
    FolderRunner runner;
    for (const DetailsCronJob& job : systemJobs) {
        if (!runPartsFolders(job.command).contains(folder) || !readSchedule(job.schedule).runs)
            continue;
        const QString guard = skippedWhenExecutable(job.command);
        if (!guard.isEmpty() && isExecutable(guard))
            continue;
        runner.origin = DetailsCronJob::Origin::ScriptRunByCron;
        runner.schedule = job.schedule;
        runner.runBy = job.location;
        runner.user = job.user;
        return runner;
    }
    if (isExecutable(anacronProgram)) {
        for (const AnacronLine& line : anacronLines) {
            if (!runPartsFolders(line.command).contains(folder))
                continue;
            runner.origin = DetailsCronJob::Origin::ScriptRunByAnacron;
            runner.schedule = line.period;
            runner.runBy = anacrontabPath;
            return runner;
        }
    }
    return runner;
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
