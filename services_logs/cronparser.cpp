#include "cronparser.h"

#include "cronschedule.h"

#include <QLoggingCategory>
#include <QSet>

#include <algorithm>

Q_LOGGING_CATEGORY(lcCronParser, "tessmar.cron.parser", QtWarningMsg)

namespace {

// The hidden Status column: whether cron runs the job at all.
const QString activeStatus = QStringLiteral("Active");
const QString notRunStatus = QStringLiteral("Not run");

using CronParser::CrontabSource;
using CronParser::maxCommandBytes;

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

// Longest anacrontab line taken; longer ones are skipped.
constexpr int maxAnacronLineLength = 4096;

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
    job.status = activeStatus;
    return job;
}

// Cron's blanks between fields are spaces and tabs only.
bool isCronBlank(char c) {
    return c == ' ' || c == '\t';
}

// C's isspace in the C locale.
bool isCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Whether cron takes a line (from its first non-blank, up to a NUL) as a
// setting: a name, blanks, '=', blanks and a value, where name and value
// may be quoted. The name is any run of non-blanks without '=', so
// "my-var=1" and "=x" are settings; "a b=c" and FOO="open are not.
bool isSetting(const char* text, int size) {
    enum { NameStart, Name, BeforeEquals, AfterEquals, ValueStart, Value, Done, Error };
    int state = NameStart;
    char quote = 0;
    int i = 0;
    while (state != Error && i < size) {
        const char c = text[i];
        switch (state) {
        case NameStart:
        case ValueStart:
            if (c == '\'' || c == '"') {
                quote = c;
                ++i;
            }
            ++state;
            break;
        case Name:
        case Value:
            if (quote) {
                if (c == quote) {
                    ++state;
                    ++i;
                    break;
                }
                if (state == Name && c == '=') {
                    state = Error;
                    break;
                }
            } else if (state == Name) {
                if (isCSpace(c)) {
                    ++state;
                    ++i;
                    break;
                }
                if (c == '=') {
                    ++state;
                    break;
                }
            }
            ++i;
            break;
        case BeforeEquals:
            if (c == '=') {
                state = AfterEquals;
                quote = 0;
            } else if (!isCSpace(c)) {
                state = Error;
            }
            ++i;
            break;
        case AfterEquals:
        case Done:
            if (isCSpace(c))
                ++i;
            else
                ++state;
            break;
        }
    }
    return state == Done || (state == Value && !quote);
}

// The whole text, NULs included (Qt's fromUtf8 of a QByteArray stops at
// the first), and a byte order mark at its start too, which fromUtf8 drops
// and cron reads as any other bytes.
QString decoded(const QByteArray& bytes) {
    static const QByteArray byteOrderMark = QByteArrayLiteral("\xef\xbb\xbf");
    if (bytes.startsWith(byteOrderMark))
        return QChar(0xfeff) + decoded(bytes.mid(byteOrderMark.size()));
    return QString::fromUtf8(bytes.constData(), bytes.size());
}

// A run of non-blanks from pos on; pos ends at the blank after it.
QByteArray takeWord(const QByteArray& bytes, int& pos) {
    const int start = pos;
    while (pos < bytes.size() && !isCronBlank(bytes.at(pos)))
        ++pos;
    return bytes.mid(start, pos - start);
}

void skipBlanks(const QByteArray& bytes, int& pos) {
    while (pos < bytes.size() && isCronBlank(bytes.at(pos)))
        ++pos;
}

// Commands cron refuses can be as long as the file; the page shows their start.
constexpr int maxShownCommandBytes = 4096;

// Cron reads a setting's line into 998 bytes and drops the rest: only those
// decide whether it is a setting.
constexpr int maxSettingBytes = 998;

// Cron stops reading a crontab past this line: 10,000 lines, the three of
// the header crontab(1) writes, counted from 1.
constexpr int lineLimit = 10005;

// What cron makes of one line, or of the bytes after a NUL in it.
struct LineReading {
    bool isComment = true;             // a comment or blank line
    std::optional<DetailsCronJob> row; // a job to show: read, or refused but shaped like one
    QString refusal;                   // why cron refuses the line
    // Cron reads the bytes after a NUL in a setting or a command as a line
    // of their own: where they start, or -1.
    int next = -1;
};

// Cron reads the fields of a job byte by byte, where a NUL is a character
// like any other; settings, user names and commands end at a NUL, and cron
// goes on with what follows as if it were a new line. Reads the line from
// pos on; fileEnds: no newline follows the line. A job read is made from
// fileJob, the file's own fields.
LineReading readLine(const QByteArray& bytes, int pos, const CrontabSource& source,
                     const DetailsCronJob& fileJob, bool fileEnds) {
    LineReading reading;
    skipBlanks(bytes, pos);
    if (pos >= bytes.size() || bytes.at(pos) == '#')
        return reading;
    reading.isComment = false;
    // Cron keeps the first reason it meets.
    const auto refuse = [&](const QString& why) {
        if (reading.refusal.isEmpty())
            reading.refusal = why;
    };

    const int nul = bytes.indexOf('\0', pos);
    const int settingEnd = nul < 0 ? bytes.size() : nul;
    // Cron reads each line first as a setting, up to a newline or a NUL;
    // meeting the end of the file instead makes it ignore the file.
    if (fileEnds && nul < 0)
        refuse(QStringLiteral("the file's last line has no newline at its end"));
    if (isSetting(bytes.constData() + pos, qMin(settingEnd - pos, maxSettingBytes))) {
        reading.next = nul < 0 ? -1 : nul + 1;
        return reading;
    }

    const bool onlySpaces = std::all_of(bytes.cbegin() + pos, bytes.cend(), isCSpace);
    if (onlySpaces) {
        refuse(QStringLiteral("it holds only blanks cron does not skip, such as a carriage return"));
        return reading;
    }
    const int lineStart = pos;
    const bool keyword = bytes.at(pos) == '@';
    QStringList words;
    QString fieldRefusal;
    if (keyword) {
        // The keyword ends at a blank or a NUL, and a NUL is where the
        // user name or the command begins.
        const int start = pos;
        while (pos < bytes.size() && !isCronBlank(bytes.at(pos)) && bytes.at(pos) != '\0')
            ++pos;
        words << decoded(bytes.mid(start, pos - start));
        fieldRefusal = scheduleRefusal(words);
        skipBlanks(bytes, pos);
    } else {
        for (int field = 0; field < 5; ++field) {
            // Fewer fields: cron reads the newline as the next one. (The end
            // of the file came in the field before.)
            if (pos >= bytes.size()) {
                if (fieldRefusal.isEmpty())
                    fieldRefusal = scheduleRefusal(words);
                break;
            }
            const QByteArray word = takeWord(bytes, pos);
            words << decoded(word);
            skipBlanks(bytes, pos);
            const ScheduleFieldReading fieldReading = readScheduleField(field, words.last());
            QString why = fieldReading.refusal;
            // Cron reads the time fields through functions that return a
            // char, where the byte 0xff is -1, the end of the file: right
            // after the list (its characters are ASCII, one byte each), or
            // after the blanks that follow it, it refuses the field.
            const bool ffAfterList =
                fieldReading.listLength < word.size() && uchar(word.at(fieldReading.listLength)) == 0xff;
            const bool ffAfter = pos < bytes.size() && uchar(bytes.at(pos)) == 0xff;
            if (why.isEmpty() && (ffAfterList || ffAfter))
                why = QStringLiteral("the byte 0xff right after the %1 field or a value in it ends the "
                                     "line for cron")
                          .arg(scheduleFieldName(field));
            if (why.isEmpty() && fileEnds && pos >= bytes.size())
                why = QStringLiteral("the file ends in its %1 field").arg(scheduleFieldName(field));
            if (fieldRefusal.isEmpty())
                fieldRefusal = why;
        }
    }
    const auto settingBegin = bytes.cbegin() + lineStart;
    const auto settingStop = bytes.cbegin() + settingEnd;
    const auto equals = fieldRefusal.isEmpty() ? settingStop : std::find(settingBegin, settingStop, '=');
    if (equals != settingStop) {
        // Most likely meant as a setting.
        const bool noValue = std::all_of(equals + 1, settingStop, isCSpace);
        fieldRefusal = (noValue ? QStringLiteral("it is no setting (an empty value is written \"\"), nor a "
                                                 "job: ")
                                : QStringLiteral("it is neither a setting (NAME=value) nor a job: ")) +
                       fieldRefusal;
    }
    if (!fieldRefusal.isEmpty())
        refuse(fieldRefusal);

    // The user name ends at a blank or a NUL, which cron skips; the command
    // is all that follows, further blanks too. A name that ends the line
    // runs on into the next: cron refuses it. The command may be empty.
    QString user = source.owner;
    bool hasUser = !source.systemFormat;
    int commandStart = pos;
    if (source.systemFormat) {
        const int start = pos;
        while (pos < bytes.size() && !isCronBlank(bytes.at(pos)) && bytes.at(pos) != '\0')
            ++pos;
        user = decoded(bytes.mid(start, pos - start));
        hasUser = pos > start;
        if (!hasUser)
            refuse(QStringLiteral("no user name follows the schedule"));
        else if (pos >= bytes.size())
            refuse(fileEnds ? QStringLiteral("the file ends right after the user name %1").arg(user)
                            : QStringLiteral("the line ends right after the user name %1").arg(user));
        else if (!(source.isAccount && source.isAccount(user)))
            refuse(QStringLiteral("it knows no account named %1").arg(user));
        commandStart = qMin(pos + 1, int(bytes.size()));
    } else if (pos < bytes.size() && bytes.at(pos) == '*') {
        // Cron's guard against a sixth time field.
        refuse(QStringLiteral("its command begins with *, which cron takes for a sixth time field"));
    }

    const int commandNul = bytes.indexOf('\0', commandStart);
    const int commandEnd = commandNul < 0 ? bytes.size() : commandNul;
    reading.next = commandNul < 0 ? -1 : commandNul + 1;
    if (commandEnd - commandStart > maxCommandBytes)
        refuse(QStringLiteral("its command is longer than %1 bytes").arg(maxCommandBytes));
    if (fileEnds && commandNul < 0)
        refuse(QStringLiteral("the file ends in its command, without a newline"));
    // Blanks round the command are passed to the shell, which drops them.
    int shownStart = commandStart;
    int shownEnd = commandEnd;
    while (shownEnd > shownStart && isCronBlank(bytes.at(shownEnd - 1)))
        --shownEnd;
    while (shownStart < shownEnd && isCronBlank(bytes.at(shownStart)))
        ++shownStart;

    const bool shapedLikeJob = words.size() == (keyword ? 1 : 5) && hasUser && shownEnd > shownStart;
    if (!reading.refusal.isEmpty() && !shapedLikeJob)
        return reading;
    DetailsCronJob job = fileJob;
    job.schedule = words.join(QLatin1Char(' '));
    if (source.systemFormat)
        job.user = displayable(user);
    job.command =
        displayable(decoded(bytes.mid(shownStart, qMin(shownEnd - shownStart, maxShownCommandBytes))));
    job.lineRefusal = reading.refusal;
    reading.row = job;
    return reading;
}

} // namespace

namespace CronParser {

QList<DetailsCronJob> parseCrontab(const QByteArray& text, const CrontabSource& source) {
    QList<DetailsCronJob> jobs;
    int refusedLine = 0;
    QString refusedWhy;
    const auto refuse = [&](int line, const QString& why) {
        qCDebug(lcCronParser).noquote()
            << "cron refuses line" << line << "of" << source.location << ":" << why;
        if (refusedLine == 0) {
            refusedLine = line;
            refusedWhy = why;
        }
    };

    DetailsCronJob fileJob = newJob(source.location);
    fileJob.user = source.owner;
    fileJob.type = source.systemFormat ? QStringLiteral("System") : QStringLiteral("User");

    int lineNumber = 0;
    for (int start = 0; start < text.size();) {
        const int newline = text.indexOf('\n', start);
        const int end = newline < 0 ? text.size() : newline;
        // Lines are read in place; text outlives them.
        const QByteArray bytes = QByteArray::fromRawData(text.constData() + start, end - start);
        start = end + 1;
        ++lineNumber;
        for (int from = 0; from >= 0;) {
            const int firstRow = jobs.size();
            LineReading reading = readLine(bytes, from, source, fileJob, newline < 0);
            if (reading.row) {
                reading.row->line = lineNumber;
                jobs.append(*reading.row);
            }
            // Past its line limit, cron reads nothing more of the file, and
            // ignores it whole.
            const int lineAfter = reading.next >= 0 ? lineNumber : lineNumber + 1;
            if (!reading.isComment && reading.refusal.isEmpty() && lineAfter >= lineLimit) {
                reading.refusal = QStringLiteral("cron reads no more than 10,000 lines of a crontab");
                for (int row = firstRow; row < jobs.size(); ++row)
                    jobs[row].lineRefusal = reading.refusal;
            }
            if (!reading.refusal.isEmpty())
                refuse(lineNumber, reading.refusal);
            from = reading.next;
        }
    }
    if (refusedLine > 0)
        markFileIgnored(jobs, refusedLine, refusedWhy);
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
    if (runner.origin == DetailsCronJob::Origin::ScriptNotRun)
        job.status = notRunStatus;
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
        if (rawLine.size() > maxAnacronLineLength || rawLine.contains('\0'))
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
    QString ignoredRunner;
    for (const DetailsCronJob& job : systemJobs) {
        if (!runPartsFolders(job.command).contains(folder))
            continue;
        if (job.fileIgnored && ignoredRunner.isEmpty())
            ignoredRunner = job.location;
        if (!cronRunsLine(job))
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
    runner.runBy = ignoredRunner;
    return runner;
}

QList<Account> readAccounts(const QByteArray& passwdText) {
    QList<Account> accounts;
    QSet<QString> seen;
    const QList<QByteArray> lines = passwdText.split('\n');
    for (const QByteArray& line : lines) {
        // name:password:uid:... ; only the name and the uid are needed.
        const int nameEnd = line.indexOf(':');
        const int uidStart = nameEnd < 0 ? -1 : line.indexOf(':', nameEnd + 1) + 1;
        const int uidEnd = uidStart <= 0 ? -1 : line.indexOf(':', uidStart);
        const QString name = QString::fromUtf8(nameEnd < 0 ? line : line.left(nameEnd)).trimmed();
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
            name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || seen.contains(name))
            continue;
        seen.insert(name);
        Account account{name, std::nullopt};
        bool ok = false;
        const uint uid =
            uidStart > 0 ? line.mid(uidStart, uidEnd < 0 ? -1 : uidEnd - uidStart).toUInt(&ok, 10) : 0;
        if (ok)
            account.uid = uid;
        accounts << account;
    }
    return accounts;
}

bool cronRunsLine(const DetailsCronJob& job) {
    return !job.fileIgnored && job.lineRefusal.isEmpty() && readSchedule(job.schedule).runs;
}

QString whyCronIgnoresFile(const CrontabFileStatus& status, bool systemFormat, uint rootUid,
                           std::optional<uint> accountUid) {
    if (systemFormat && status.throughLink && status.linkOwner != rootUid)
        return QStringLiteral("it is a symbolic link of uid %1, not of root").arg(status.linkOwner);
    const bool ownerTrusted = status.owner == rootUid || (!systemFormat && status.owner == accountUid);
    if (!ownerTrusted) {
        return QStringLiteral("it belongs to uid %1, not to %2")
            .arg(status.owner)
            .arg(systemFormat ? QStringLiteral("root") : QStringLiteral("its account or root"));
    }
    const QString mode = QStringLiteral("%1").arg(status.mode & 07777, 4, 8, QLatin1Char('0'));
    if (systemFormat && (status.mode & 022))
        return QStringLiteral("its group or others may write to it (mode %1)").arg(mode);
    if (!systemFormat && (status.mode & 07777) != 0600)
        return QStringLiteral("its mode is %1, where cron wants 0600").arg(mode);
    if (status.links > 1)
        return QStringLiteral("it has %1 hard links").arg(status.links);
    return QString();
}

void markFileIgnored(QList<DetailsCronJob>& jobs, int line, const QString& why) {
    for (DetailsCronJob& job : jobs) {
        job.status = notRunStatus;
        job.fileIgnored = true;
        job.ignoredForLine = line;
        job.fileIgnoredWhy = why;
    }
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
