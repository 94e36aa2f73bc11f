#include "processparser.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace ProcessParser {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

qint64 toNumber(const char* begin, const char* end) {
    qint64 value = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10 + (*p - '0');
    }
    return value;
}

const char* skipLine(const char* p, const char* end) {
    while (p < end && *p != '\n')
        ++p;
    return p < end ? p + 1 : end;
}

} // namespace

bool isSleepingState(const QString& state) {
    return state.startsWith(QLatin1Char('S')) || state.startsWith(QLatin1Char('I'));
}

StatFields parseStat(const QByteArray& stat) {
    StatFields fields;
    const int close = stat.lastIndexOf(')');
    if (close < 0 || stat.indexOf('(') < 0 || stat.indexOf('(') > close)
        return fields;

    fields.fieldCount = 2;
    const char* p = stat.constData() + close + 1;
    const char* end = stat.constData() + stat.size();
    while (p < end) {
        while (p < end && *p == ' ')
            ++p;
        if (p >= end || *p == '\n')
            break;
        const char* wordEnd = p;
        while (wordEnd < end && *wordEnd != ' ' && *wordEnd != '\n')
            ++wordEnd;
        switch (fields.fieldCount) {
        case 8:
            fields.flags = toNumber(p, wordEnd);
            break;
        case 13:
            fields.userTicks = toNumber(p, wordEnd);
            break;
        case 14:
            fields.systemTicks = toNumber(p, wordEnd);
            break;
        case 18:
            fields.nice = QByteArray(p, int(wordEnd - p));
            break;
        case 21:
            fields.startTime = toNumber(p, wordEnd);
            break;
        default:
            break;
        }
        ++fields.fieldCount;
        p = wordEnd;
    }
    return fields;
}

StatusFields parseStatus(const QByteArray& status) {
    StatusFields fields;
    enum Key { Name, State, Uid, RssAnon };
    static const std::string_view keys[] = {"Name:", "State:", "Uid:", "RssAnon:"};
    bool found[4] = {false, false, false, false};
    int missing = 4;
    const char* p = status.constData();
    const char* end = p + status.size();
    while (p < end && missing > 0) {
        const char* lineEnd = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        const std::string_view line(p, size_t(lineEnd - p));
        p = lineEnd < end ? lineEnd + 1 : end;
        for (int key = Name; key <= RssAnon; ++key) {
            if (found[key] || line.compare(0, keys[key].size(), keys[key]) != 0)
                continue;
            const size_t tab = line.find('\t');
            if (tab == std::string_view::npos)
                break;
            size_t begin = tab + 1;
            size_t length = line.size();
            while (begin < length && isBlank(line[begin]))
                ++begin;
            while (length > begin && isBlank(line[length - 1]))
                --length;
            const std::string_view value = line.substr(begin, length - begin);
            found[key] = true;
            --missing;
            switch (key) {
            case Name:
                fields.name = value;
                break;
            case State:
                fields.state = value;
                break;
            case Uid:
                fields.uid = value.substr(0, std::min(value.find_first_of(" \t"), value.size()));
                break;
            case RssAnon: {
                const size_t digits = std::min(value.find_first_not_of("0123456789"), value.size());
                fields.anonKb = digits > 0 ? toNumber(value.data(), value.data() + digits) : -1;
                break;
            }
            }
            break;
        }
    }
    return fields;
}

qint64 privateMemoryKb(const QByteArray& smapsRollup) {
    static const char clean[] = "Private_Clean:";
    static const char dirty[] = "Private_Dirty:";
    const int keyLength = int(sizeof(clean) - 1);
    qint64 sum = 0;
    const char* p = smapsRollup.constData();
    const char* end = p + smapsRollup.size();
    while (p < end) {
        if (end - p > keyLength &&
            (memcmp(p, clean, size_t(keyLength)) == 0 || memcmp(p, dirty, size_t(keyLength)) == 0)) {
            const char* q = p + keyLength;
            while (q < end && (*q == ' ' || *q == '\t'))
                ++q;
            qint64 value = 0;
            bool digits = false;
            while (q < end && *q >= '0' && *q <= '9') {
                value = value * 10 + (*q - '0');
                digits = true;
                ++q;
            }
            if (digits && end - q >= 3 && memcmp(q, " kB", 3) == 0)
                sum += value;
        }
        p = skipLine(p, end);
    }
    return sum;
}

QString formatMemoryKb(qint64 kilobytes) {
    if (kilobytes <= 999)
        return QString::number(kilobytes) + QStringLiteral(" KB");
    if (kilobytes > 999999)
        return QString::number(double(kilobytes) / 1e6, 'f', 2) + QStringLiteral(" GB");
    return QString::number(double(kilobytes) / 1000.0, 'f', 1) + QStringLiteral(" MB");
}

QString sessionUidFromRuntimeDir(const QString& runtimeDir) {
    const QStringList parts = runtimeDir.split(QLatin1Char('/'));
    if (parts.size() <= 3)
        return QString();
    const QString uid = parts.at(3);
    // A folder that names no numeric ID would filter out every process.
    if (uid.isEmpty())
        return QString();
    for (const QChar c : uid) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QString();
    }
    return uid;
}

QHash<QString, QString> parsePasswd(const QByteArray& passwd) {
    QHash<QString, QString> names;
    const QList<QByteArray> lines = passwd.split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() <= 2)
            continue;
        const QString uid = QString::fromUtf8(parts.at(2));
        if (!names.contains(uid))
            names.insert(uid, QString::fromUtf8(parts.at(0)));
    }
    return names;
}

bool isUserProcess(const QString& name, const QString& user) {
    static const char* const systemPrefixes[] = {"kworker/", "systemd", "ksoftirqd/", "rcu_", "migration/"};
    for (const char* prefix : systemPrefixes) {
        if (name.startsWith(QLatin1String(prefix)))
            return false;
    }
    return !(user == QLatin1String("root") && name.contains(QLatin1Char('/')));
}

bool isSafeIconName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QChar(0));
}

} // namespace ProcessParser
