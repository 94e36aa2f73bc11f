#include "logparsers.h"

#include "textfinder.h"

#include <QLocale>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <cstring>
#include <vector>

Q_LOGGING_CATEGORY(lcLogParsers, "tessmar.logs.parse", QtWarningMsg)

namespace LogParsers {

namespace {

QRegularExpression compiled(const char* pattern) {
    QRegularExpression expression(QString::fromLatin1(pattern));
    expression.optimize();
    return expression;
}

#define ISO_TIME "(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(?:\\.\\d+)?(?:[+-]\\d{2}:\\d{2}|Z)?)"

const QRegularExpression& sysLogIso() {
    static const QRegularExpression re = compiled(ISO_TIME "\\s+(\\S+)\\s+(\\S+)(?:\\[(\\d+)\\])?:\\s*(.+)");
    return re;
}
const QRegularExpression& sysLogClassic() {
    static const QRegularExpression re =
        compiled("(\\w+\\s+\\d+\\s+\\d+:\\d+:\\d+)\\s+(\\S+)\\s+(\\[[^\\]]+\\]|\\S+):\\s+(.+)");
    return re;
}
const QRegularExpression& authLogIso() {
    static const QRegularExpression re = compiled(ISO_TIME "\\s+(\\S+)\\s+(\\S+?)(?:\\[(\\d+)\\])?:\\s+(.+)");
    return re;
}
const QRegularExpression& authLogClassic() {
    static const QRegularExpression re =
        compiled("(\\w+\\s+\\d+ \\d+:\\d+:\\d+) (\\S+) (\\[[^\\]]+\\]|\\S*): (.+)");
    return re;
}
const QRegularExpression& kernLogIso() {
    static const QRegularExpression re =
        compiled(ISO_TIME "\\s+(\\S+)\\s+kernel:\\s+\\[\\s*([\\d\\.]+)\\]\\s+(.+)");
    return re;
}
const QRegularExpression& kernLogClassic() {
    static const QRegularExpression re =
        compiled("(\\w+\\s+\\d+ \\d+:\\d+:\\d+) (\\S+) kernel: \\[(\\d+\\.\\d+)\\] (.+)");
    return re;
}

// Calls visit(line) for every line of text, split at "\n" with empty parts
// kept; a "\r" before the "\n" goes with it, as a text-mode read would do.
template <typename Visit> void forEachLine(const QByteArray& text, Visit visit) {
    const char* data = text.constData();
    const int size = text.size();
    int start = 0;
    while (start <= size) {
        const void* found = std::memchr(data + start, '\n', size_t(size - start));
        int end = found ? int(static_cast<const char*>(found) - data) : size;
        const int next = end + 1;
        if (end > start && data[end - 1] == '\r' && found)
            --end;
        visit(QString::fromUtf8(data + start, end - start));
        start = next;
    }
}

// Month names as syslog writes them, whatever the locale.
int monthNumber(const QStringRef& name) {
    static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 0; month < 12; ++month)
        if (name == QLatin1String(names[month]))
            return month + 1;
    return 0;
}

int digits(const QString& text, int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

qint64 keyOf(const QDate& date, int secondsOfDay) {
    return date.isValid() ? date.toJulianDay() * 86400 + secondsOfDay : 0;
}

// The parts of a written time that sorting needs: a date (year 0 when the
// text names none) and the seconds of the day.
struct WrittenTime {
    int year = 0, month = 0, day = 0, seconds = -1;
};

WrittenTime readWrittenTime(const QString& text) {
    WrittenTime time;
    if (text.size() >= 19 && text.at(4) == QLatin1Char('-') && text.at(10) == QLatin1Char('T')) {
        time.year = digits(text, 0, 4);
        time.month = digits(text, 5, 2);
        time.day = digits(text, 8, 2);
        const int h = digits(text, 11, 2), m = digits(text, 14, 2), s = digits(text, 17, 2);
        if (h >= 0 && m >= 0 && s >= 0)
            time.seconds = h * 3600 + m * 60 + s;
        return time;
    }
    // "Mar  4 10:20:30": month word, blanks, day, blanks, clock.
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 3)
        return time;
    time.month = monthNumber(parts.at(0));
    time.day = parts.at(1).toInt();
    const QVector<QStringRef> clock = parts.at(2).split(QLatin1Char(':'));
    if (clock.size() == 3)
        time.seconds = clock.at(0).toInt() * 3600 + clock.at(1).toInt() * 60 + clock.at(2).toInt();
    return time;
}

// Fills timeKey of every record from its written time. Lines come oldest
// first: walking back from the newest one, a month that jumps forward by half
// a year or more means the line was written the year before.
template <typename Record>
void assignTimeKeys(QList<Record>& records, const std::vector<WrittenTime>& times,
                    const TextLogContext& context) {
    int year = context.referenceYear;
    int laterMonth = context.referenceMonth;
    for (int i = records.size() - 1; i >= 0; --i) {
        const WrittenTime& time = times[size_t(i)];
        if (time.month < 1 || time.month > 12 || time.seconds < 0)
            continue;
        if (time.year > 0) {
            year = time.year;
        } else if (time.month - laterMonth >= 6) {
            --year;
        }
        laterMonth = time.month;
        const QDate firstOfMonth(time.year > 0 ? time.year : year, time.month, 1);
        if (time.day >= 1 && time.day <= 31)
            records[i].timeKey = keyOf(firstOfMonth.addDays(time.day - 1), time.seconds);
    }
}

// A big log repeats its times, hosts and programs line after line: equal
// texts share one string instead of every record holding its own copy.
class SharedTexts {
public:
    QString share(const QString& text) {
        const auto found = seen.constFind(text);
        if (found != seen.constEnd())
            return *found;
        // Bounded, so a log of all-different names costs no more than before.
        if (seen.size() < 4096)
            seen.insert(text);
        return text;
    }

private:
    QSet<QString> seen;
};

// The shown time and the sort time of consecutive lines, which mostly
// repeat the time of the line before.
class LineTimes {
public:
    void add(const QString& written, QString* shown) {
        if (written != lastWritten) {
            lastWritten = written;
            lastShown = formatTimestamp(written);
            lastTime = readWrittenTime(written);
        }
        *shown = lastShown;
        times.push_back(lastTime);
    }
    template <typename Record> void assignKeys(QList<Record>& records, const TextLogContext& context) {
        assignTimeKeys(records, times, context);
    }

private:
    QString lastWritten, lastShown;
    WrittenTime lastTime;
    std::vector<WrittenTime> times;
};

// Tries the preferred line format first and the other one after it.
struct FormatPair {
    const QRegularExpression* preferred;
    const QRegularExpression* other;
    bool otherIsIso;
};

FormatPair formats(const TextLogContext& context, const QRegularExpression& iso,
                   const QRegularExpression& classic) {
    if (context.preferred == LineFormat::Iso)
        return {&iso, &classic, false};
    return {&classic, &iso, true};
}

QRegularExpressionMatch matchEither(const QString& line, const FormatPair& pair, bool* iso) {
    QRegularExpressionMatch match = pair.preferred->match(line);
    *iso = !pair.otherIsIso;
    if (match.hasMatch())
        return match;
    *iso = pair.otherIsIso;
    return pair.other->match(line);
}

bool isThemeNoise(const QString& message) {
    return message.startsWith(QLatin1String("Theme parsing error:"));
}

const QIcon& sharedIcon(const char* path) {
    // Leaked on purpose: icons must not outlive the application object in a
    // static destructor; built once, then every record shares one.
    static QHash<QByteArray, QIcon*>* icons = new QHash<QByteArray, QIcon*>;
    static QBasicMutex mutex;
    QMutexLocker locker(&mutex);
    QIcon*& icon = (*icons)[QByteArray(path)];
    if (!icon)
        icon = new QIcon(QString::fromLatin1(path));
    return *icon;
}

} // namespace

int debianMajorVersion(const QByteArray& debianVersion) {
    static const QRegularExpression number(QStringLiteral("(\\d+)"));
    const QRegularExpressionMatch match = number.match(QString::fromUtf8(debianVersion.trimmed()));
    if (!match.hasMatch())
        return -1;
    bool ok = false;
    const int major = match.captured(1).toInt(&ok);
    return ok ? major : -1;
}

LineFormat preferredFormat(int debianMajor) {
    return debianMajor > 11 ? LineFormat::Iso : LineFormat::Classic;
}

int classifySeverity(const QString& message) {
    static const TextFinder error(QStringLiteral("error"));
    static const TextFinder warning(QStringLiteral("warning"));
    if (error.foundIn(message))
        return 2;
    if (warning.foundIn(message))
        return 1;
    return 0;
}

QIcon severityIcon(int severity) {
    if (severity == 2)
        return sharedIcon(":/icons/error.png");
    if (severity == 1)
        return sharedIcon(":/icons/warning.png");
    return sharedIcon(":/icons/info.png");
}

namespace {
// True for "yyyy-MM-ddThh:mm:ss" with an optional fraction and an optional
// "Z" or "+hh:mm" offset, all fields in range.
bool isPlainIsoTime(const QString& text) {
    if (text.size() < 19 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-') ||
        text.at(10) != QLatin1Char('T') || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':'))
        return false;
    if (!QDate::isValid(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2)))
        return false;
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    int at = 19;
    if (at < text.size() && text.at(at) == QLatin1Char('.')) {
        const int fractionStart = ++at;
        while (at < text.size() && text.at(at).isDigit() && text.at(at).unicode() < 128)
            ++at;
        if (at == fractionStart || at - fractionStart > 9)
            return false;
    }
    if (at == text.size())
        return true;
    if (text.at(at) == QLatin1Char('Z'))
        return at + 1 == text.size();
    if ((text.at(at) == QLatin1Char('+') || text.at(at) == QLatin1Char('-')) && at + 6 == text.size() &&
        text.at(at + 3) == QLatin1Char(':')) {
        const int offsetHours = digits(text, at + 1, 2), offsetMinutes = digits(text, at + 4, 2);
        return offsetHours >= 0 && offsetHours <= 14 && offsetMinutes >= 0 && offsetMinutes <= 59;
    }
    return false;
}
} // namespace

QString formatTimestamp(const QString& timestamp) {
    // The usual shape is formatted from its digits: parsing a QDateTime per
    // line is the slowest part of reading a big log. The clock is shown as
    // written, as Qt shows a time parsed with its offset. Anything unusual
    // goes through Qt's ISO parser.
    if (isPlainIsoTime(timestamp)) {
        return QLocale().monthName(digits(timestamp, 5, 2), QLocale::ShortFormat) + QLatin1Char(' ') +
               timestamp.midRef(8, 2) + QLatin1Char(' ') + timestamp.midRef(11, 8);
    }
    const QDateTime parsed = QDateTime::fromString(timestamp, Qt::ISODate);
    if (!parsed.isValid())
        return timestamp;
    return QLocale().toString(parsed, QStringLiteral("MMM dd hh:mm:ss"));
}

QString stripPid(const QString& tag) {
    const int bracket = tag.indexOf(QLatin1Char('['));
    return (bracket < 0 ? tag : tag.left(bracket)).trimmed();
}

QList<DetailsLogsSysLog> parseSysLog(const QByteArray& text, const TextLogContext& context) {
    QList<DetailsLogsSysLog> records;
    LineTimes times;
    SharedTexts services;
    const FormatPair pair = formats(context, sysLogIso(), sysLogClassic());
    forEachLine(text, [&](const QString& line) {
        bool iso = false;
        const QRegularExpressionMatch match = matchEither(line, pair, &iso);
        if (!match.hasMatch())
            return;
        DetailsLogsSysLog record;
        record.message = match.captured(iso ? 5 : 4);
        if (isThemeNoise(record.message))
            return;
        times.add(match.captured(1), &record.timestamp);
        record.service = services.share(stripPid(match.captured(3)));
        record.severity = classifySeverity(record.message);
        record.icon = severityIcon(record.severity);
        records.append(record);
    });
    times.assignKeys(records, context);
    return records;
}

QList<DetailsLogsAuthLog> parseAuthLog(const QByteArray& text, const TextLogContext& context) {
    QList<DetailsLogsAuthLog> records;
    LineTimes times;
    SharedTexts names;
    const FormatPair pair = formats(context, authLogIso(), authLogClassic());
    forEachLine(text, [&](const QString& line) {
        bool iso = false;
        const QRegularExpressionMatch match = matchEither(line, pair, &iso);
        if (!match.hasMatch())
            return;
        DetailsLogsAuthLog record;
        record.message = match.captured(iso ? 5 : 4).trimmed();
        if (isThemeNoise(record.message))
            return;
        times.add(match.captured(1), &record.timestamp);
        record.hostname = names.share(match.captured(2));
        record.service = names.share(match.captured(3));
        record.severity = classifySeverity(record.message);
        record.icon = severityIcon(record.severity);
        records.append(record);
    });
    times.assignKeys(records, context);
    return records;
}

QList<DetailsLogsKernLog> parseKernLog(const QByteArray& text, const TextLogContext& context) {
    static const QRegularExpression componentPattern = compiled("^(\\S+(\\[[^\\]]+\\])?): (.+)");
    QList<DetailsLogsKernLog> records;
    LineTimes times;
    SharedTexts names;
    const FormatPair pair = formats(context, kernLogIso(), kernLogClassic());
    forEachLine(text, [&](const QString& line) {
        bool iso = false;
        const QRegularExpressionMatch match = matchEither(line, pair, &iso);
        if (!match.hasMatch())
            return;
        DetailsLogsKernLog record;
        times.add(match.captured(1), &record.timestamp);
        record.hostname = names.share(match.captured(2));
        record.kernelTime = match.captured(3);
        const QString kernelText = match.captured(4).trimmed();
        const QRegularExpressionMatch component = componentPattern.match(kernelText);
        if (component.hasMatch()) {
            record.component = names.share(component.captured(1).trimmed());
            record.message = component.captured(3).trimmed();
        } else {
            record.component = QStringLiteral("Unknown");
            record.message = kernelText;
        }
        record.severity = classifySeverity(record.message);
        record.icon = severityIcon(record.severity);
        records.append(record);
    });
    times.assignKeys(records, context);
    return records;
}

QList<DetailsLogsDmesgLog> parseDmesg(const QByteArray& text, int* dropped) {
    static const QRegularExpression pattern = compiled("\\[\\s*(\\d+\\.\\d+)\\s*\\] (.+)");
    QList<DetailsLogsDmesgLog> records;
    int skipped = 0;
    forEachLine(text.trimmed(), [&](const QString& line) {
        if (line.isEmpty())
            return;
        const QRegularExpressionMatch match = pattern.match(line);
        DetailsLogsDmesgLog record;
        if (match.hasMatch()) {
            record.timestamp = match.captured(1);
            record.message = match.captured(2).trimmed();
        } else if (!records.isEmpty() && !line.trimmed().isEmpty()) {
            // The kernel printed one message over several lines: the later
            // lines carry no time of their own and keep the first line's.
            record.timestamp = records.constLast().timestamp;
            record.message = line.trimmed();
        } else {
            qCDebug(lcLogParsers) << "No match found for line:" << line.left(200);
            ++skipped;
            return;
        }
        record.severity = classifySeverity(record.message);
        record.icon = severityIcon(record.severity);
        records.append(record);
    });
    if (dropped)
        *dropped = skipped;
    return records;
}

QList<DetailsLogsBootLog> parseBootLog(const QByteArray& text) {
    static const QRegularExpression escape = compiled("\\x1B\\[[0-9;]*[a-zA-Z]");
    static const QRegularExpression status = compiled("\\[\\s*(OK|FAILED)\\s*\\]");
    static const QRegularExpression statusAndText = compiled("\\[\\s*(OK|FAILED)\\s*\\]\\s*(.*)");
    QString plain = QString::fromUtf8(text);
    plain.remove(escape);
    QList<DetailsLogsBootLog> records;
    const QVector<QStringRef> lines = plain.splitRef(QLatin1Char('\n'));
    for (const QStringRef& lineRef : lines) {
        const QString line = lineRef.toString();
        if (line.startsWith(QLatin1String("------------")))
            continue;
        DetailsLogsBootLog record;
        const QRegularExpressionMatch mark = status.match(line);
        if (mark.hasMatch()) {
            const QString word = mark.captured(1).trimmed();
            record.status = QStringLiteral("[ %1 ]").arg(word);
            record.message = statusAndText.match(line).captured(2).trimmed();
            record.severity = word == QLatin1String("FAILED") ? 2 : 0;
        } else {
            record.message = line.trimmed();
            record.severity = 0;
        }
        record.icon = severityIcon(record.severity);
        if (!record.message.isEmpty())
            records.append(record);
    }
    return records;
}

QList<DetailsLogsDpkgLog> parseDpkgLog(const QByteArray& text) {
    static const QRegularExpression fresh =
        compiled("(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) (\\w+) ([^:]+):(\\w+) <none> ([^\\s]+)");
    static const QRegularExpression general =
        compiled("(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) (\\w+) ([^:]+):(\\w+) ([^\\s]+)");
    QList<DetailsLogsDpkgLog> records;
    forEachLine(text, [&](const QString& line) {
        QRegularExpressionMatch match = fresh.match(line);
        if (!match.hasMatch())
            match = general.match(line);
        if (!match.hasMatch())
            return;
        const QString action = match.captured(2);
        if (action != QLatin1String("install") && action != QLatin1String("upgrade") &&
            action != QLatin1String("remove"))
            return;
        DetailsLogsDpkgLog record;
        record.timestamp = match.captured(1);
        record.action = action;
        record.packageName = match.captured(3);
        record.architecture = match.captured(4);
        record.version = match.captured(5);
        record.icon =
            sharedIcon(action == QLatin1String("remove") ? ":/icons/warning.png" : ":/icons/info.png");
        records.append(record);
    });
    return records;
}

QList<DetailsLogsFlatpakLog> parseFlatpakHistory(const QByteArray& text) {
    static const QRegularExpression gap = compiled("\\s{2,}");
    QList<DetailsLogsFlatpakLog> records;
    int number = 1;
    bool headerSeen = false;
    forEachLine(text, [&](const QString& rawLine) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            return;
        if (!headerSeen && line.startsWith(QLatin1String("Time"))) {
            headerSeen = true;
            return;
        }
        const QStringList columns =
            line.contains(QLatin1Char('\t')) ? line.split(QLatin1Char('\t')) : line.split(gap);
        if (columns.size() < 5) {
            qCDebug(lcLogParsers) << "Not enough columns in line:" << line.left(200);
            return;
        }
        const QString change = columns.at(1).trimmed().toLower();
        if (change.contains(QLatin1String("pull")))
            return;
        DetailsLogsFlatpakLog record;
        record.id = number++;
        record.timestamp = columns.at(0).trimmed();
        if (change.contains(QLatin1String("uninstall")))
            record.action = QStringLiteral("uninstall");
        else if (change.contains(QLatin1String("update")))
            record.action = QStringLiteral("update");
        else if (change.contains(QLatin1String("install")))
            record.action = QStringLiteral("install");
        else if (change.contains(QLatin1String("add remote")))
            record.action = QStringLiteral("add remote");
        else
            record.action = change;
        record.appId = columns.at(2).trimmed();
        record.version = columns.at(3).trimmed();
        record.type = columns.at(4).trimmed();
        record.remote = columns.size() > 5 ? columns.at(5).trimmed() : QStringLiteral("Unknown");
        if (record.action == QLatin1String("add remote") && record.appId.isEmpty())
            record.appId = record.remote;
        if (record.action == QLatin1String("install"))
            record.icon = sharedIcon(":/icons/add");
        else if (record.action == QLatin1String("uninstall"))
            record.icon = sharedIcon(":/icons/remove");
        else if (record.action == QLatin1String("update"))
            record.icon = sharedIcon(":/icons/upgrade");
        else
            record.icon = sharedIcon(":/icons/info");
        records.append(record);
    });
    return records;
}

QHash<QString, int> parsePasswdIds(const QByteArray& passwd) {
    QHash<QString, int> ids;
    forEachLine(passwd, [&](const QString& line) {
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() > 2)
            ids.insert(fields.at(0), fields.at(2).toInt());
    });
    return ids;
}

bool isHumanAccount(const QHash<QString, int>& ids, const QString& name) {
    return name != QLatin1String("nobody") && ids.value(name, -1) >= 1000;
}

QList<FailCounter> parseFaillog(const QByteArray& text) {
    static const QRegularExpression pattern = compiled("(\\S+)\\s+(\\d+)\\s+(\\d+)\\s+(.+)");
    QList<FailCounter> counters;
    forEachLine(text, [&](const QString& line) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (!match.hasMatch())
            return;
        FailCounter counter;
        counter.username = match.captured(1).trimmed();
        counter.failures = match.captured(2).toInt();
        counter.maximum = match.captured(3).toInt();
        counters.append(counter);
    });
    return counters;
}

LoginHistory parseLast(const QByteArray& text, const QHash<QString, int>& ids) {
    static const QRegularExpression pattern =
        compiled("^(\\S+)\\s+(\\S+)\\s+(\\S+)\\s+(.+)\\s+-\\s+(.+)\\s+\\((.+)\\)");
    LoginHistory history;
    forEachLine(text, [&](const QString& line) {
        if (line.startsWith(QLatin1String("wtmp begins")) || line.trimmed().isEmpty())
            return;
        const QRegularExpressionMatch match = pattern.match(line);
        if (!match.hasMatch())
            return;
        const QString name = match.captured(1).trimmed();
        if (!history.lastLoginText.contains(name))
            history.lastLoginText.insert(name, match.captured(4).trimmed());
        if (isHumanAccount(ids, name)) {
            history.loginCount[name] += 1;
            history.secondsSpent[name] += parseDuration(match.captured(6).trimmed());
        }
    });
    return history;
}

QHash<QString, QDateTime> parseWho(const QByteArray& text) {
    QHash<QString, QDateTime> active;
    forEachLine(text, [&](const QString& line) {
        if (line.isEmpty())
            return;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (fields.size() < 4) {
            qCDebug(lcLogParsers) << "Not enough parts to parse active login for line:" << line.left(200);
            return;
        }
        const QString start = fields.at(2) + QLatin1Char(' ') + fields.at(3);
        const QDateTime parsed = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd hh:mm"));
        if (!parsed.isValid()) {
            qCDebug(lcLogParsers) << "Failed to parse active login time from:" << start.left(200);
            return;
        }
        active.insert(fields.at(0).trimmed(), parsed);
    });
    return active;
}

qint64 parseDuration(const QString& duration) {
    static const QRegularExpression pattern = compiled("(?:(\\d+)\\+)?(\\d+):(\\d+)");
    if (duration == QLatin1String("still logged in"))
        return 0;
    const QRegularExpressionMatch match = pattern.match(duration);
    if (!match.hasMatch())
        return 0;
    const qint64 days = match.captured(1).toLongLong();
    return days * 86400 + match.captured(2).toLongLong() * 3600 + match.captured(3).toLongLong() * 60;
}

QString formatTimeSpent(qint64 seconds) {
    const qint64 rest = seconds % 86400;
    return QStringLiteral("%1d %2:%3:%4")
        .arg(seconds / 86400)
        .arg(rest / 3600, 2, 10, QLatin1Char('0'))
        .arg((rest % 3600) / 60, 2, 10, QLatin1Char('0'))
        .arg(rest % 60, 2, 10, QLatin1Char('0'));
}

QList<DetailsLogsFailLog> buildLoginSummary(const QList<FailCounter>& counters, const LoginHistory& history,
                                            const QHash<QString, int>& ids,
                                            const QHash<QString, QDateTime>& activeLogins,
                                            const QDateTime& now) {
    QList<DetailsLogsFailLog> records;
    for (const FailCounter& counter : counters) {
        if (!isHumanAccount(ids, counter.username))
            continue;
        DetailsLogsFailLog record;
        record.username = counter.username;
        record.failedLogins = counter.failures;
        record.maxFails = counter.maximum;
        record.lastLogin = history.lastLoginText.value(counter.username, QStringLiteral("Never logged in"));
        record.logins = history.loginCount.value(counter.username, 0);
        qint64 seconds = history.secondsSpent.value(counter.username, 0);
        record.loggedIn = activeLogins.contains(counter.username);
        if (record.loggedIn) {
            const QDateTime start = activeLogins.value(counter.username);
            record.logins += 1;
            seconds += qMax<qint64>(0, start.secsTo(now));
            record.lastLogin = QLocale::c().toString(start, QStringLiteral("MMM d hh:mm:ss yyyy"));
        }
        record.timeSpent = formatTimeSpent(seconds);
        records.append(record);
    }
    return records;
}

} // namespace LogParsers
