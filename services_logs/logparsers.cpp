#include "logparsers.h"

#include "textfinder.h"

#include <QLocale>
#include <QLoggingCategory>
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

QList<DetailsLogsDmesgLog> parseDmesg(const QByteArray& text) {
    // The time starts the line: one further on is text the kernel printed
    // (a process name, a device's own name), not the line's time.
    static const QRegularExpression pattern = compiled("^\\[\\s*(\\d+\\.\\d+)\\s*\\] (.+)");
    QList<DetailsLogsDmesgLog> records;
    forEachLine(text.trimmed(), [&](const QString& line) {
        if (line.trimmed().isEmpty())
            return;
        const QRegularExpressionMatch match = pattern.match(line);
        DetailsLogsDmesgLog record;
        if (match.hasMatch()) {
            record.timestamp = match.captured(1);
            record.message = match.captured(2).trimmed();
        } else {
            // The kernel printed one message over several lines: the later
            // lines carry no time of their own and keep the first line's;
            // one before any timed line is shown without a time.
            if (!records.isEmpty())
                record.timestamp = records.constLast().timestamp;
            record.message = line.trimmed();
        }
        record.severity = classifySeverity(record.message);
        records.append(record);
    });
    return records;
}

QList<DetailsLogsBootLog> parseBootLog(const QByteArray& text) {
    static const QRegularExpression escape = compiled("\\x1B\\[[0-9;]*[a-zA-Z]");
    static const QRegularExpression status = compiled("\\[\\s*(OK|FAILED)\\s*\\]");
    static const QRegularExpression statusAndText = compiled("\\[\\s*(OK|FAILED)\\s*\\]\\s*(.*)");
    QString plain = QString::fromUtf8(text.constData(), text.size());
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
        if (!record.message.isEmpty())
            records.append(record);
    }
    return records;
}

QList<DetailsLogsDpkgLog> parseDpkgLog(const QByteArray& text) {
    // "2024-05-01 10:05:00 upgrade foo:amd64 1.2-1 1.3-1": the version before
    // the change, then the one after it ("<none>" for nothing).
    static const QRegularExpression pattern =
        compiled("(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) (\\w+) ([^:]+):(\\w+) (\\S+)(?: (\\S+))?");
    const QString none = QStringLiteral("<none>");
    QList<DetailsLogsDpkgLog> records;
    forEachLine(text, [&](const QString& line) {
        const QRegularExpressionMatch match = pattern.match(line);
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
        const QString before = match.captured(5), after = match.captured(6);
        // A removal names what was there; an install or upgrade what is
        // there now, and what it replaced.
        if (action == QLatin1String("remove") || after.isEmpty() || after == none) {
            record.version = before;
        } else {
            record.version = after;
            if (before != none && before != after)
                record.version += QStringLiteral(" (was %1)").arg(before);
        }
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

// A person's account: a regular uid, and not the unprivileged "nobody".
bool isHumanAccount(const QString& name, int uid) {
    return name != QLatin1String("nobody") && uid >= 1000;
}

bool isHumanAccount(const QHash<QString, int>& ids, const QString& name) {
    return isHumanAccount(name, ids.value(name, -1));
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

QStringList humanAccounts(const QByteArray& passwd) {
    QStringList names;
    QSet<QString> seen;
    forEachLine(passwd, [&](const QString& line) {
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() > 2 && isHumanAccount(fields.at(0), fields.at(2).toInt()) &&
            !seen.contains(fields.at(0))) {
            seen.insert(fields.at(0));
            names << fields.at(0);
        }
    });
    return names;
}

QList<DetailsLogsFailLog> buildLoginSummary(const LoginSources& sources, const QHash<QString, int>& ids,
                                            const QStringList& accounts, const QDateTime& now) {
    QList<DetailsLogsFailLog> records;
    QList<FailCounter> counters = sources.counters;
    if (!sources.haveCounters) {
        // Without faillog the accounts come from /etc/passwd.
        counters.clear();
        for (const QString& name : accounts)
            counters.append({name, -1, -1});
    }
    for (const FailCounter& counter : qAsConst(counters)) {
        const QString& name = counter.username;
        if (!isHumanAccount(ids, name))
            continue;
        DetailsLogsFailLog record;
        record.username = name;
        record.failedLogins = counter.failures;
        record.maxFails = counter.maximum;
        record.loggedInKnown = sources.haveActive;
        record.loggedIn = sources.haveActive && sources.active.contains(name);
        record.logins = sources.haveHistory ? sources.history.loginCount.value(name, 0) : -1;
        // Without who, an account with no history may be logged in for the
        // first time right now.
        if (sources.haveHistory)
            record.lastLogin = sources.history.lastLoginText.value(
                name, sources.haveActive ? QStringLiteral("Never logged in") : QString());
        qint64 seconds = sources.history.secondsSpent.value(name, 0);
        if (record.loggedIn) {
            const QDateTime start = sources.active.value(name);
            seconds += qMax<qint64>(0, start.secsTo(now));
            if (sources.haveHistory)
                record.logins += 1;
            // The newest login is the one still open.
            record.lastLogin = QLocale::c().toString(start, QStringLiteral("MMM d hh:mm:ss yyyy"));
        }
        if (sources.haveHistory)
            record.timeSpent = formatTimeSpent(seconds);
        records.append(record);
    }
    return records;
}

} // namespace LogParsers
