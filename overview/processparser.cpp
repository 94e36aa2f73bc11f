#include "processparser.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace ProcessParser {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Figures of more digits than this are refused: 18 digits cannot overflow,
// nor can the sum of two such figures.
constexpr int maximumDigits = 18;

// A decimal figure; 0 when the text is not one.
qint64 toNumber(const char* begin, const char* end) {
    if (end - begin > maximumDigits)
        return 0;
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

int parsePid(const char* name) {
    // pid_t is an int; the kernel's own limit is far below.
    constexpr qint64 largest = 0x7FFFFFFF;
    if (*name < '1' || *name > '9')
        return 0;
    qint64 value = 0;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10 + (*p - '0');
        if (value > largest)
            return 0;
    }
    return int(value);
}

bool isSleepingState(const QString& state) {
    return state.startsWith(QLatin1Char('S')) || state.startsWith(QLatin1Char('I'));
}

StatFields parseStat(const QByteArray& stat) {
    StatFields fields;
    const int close = stat.lastIndexOf(')');
    if (close < 0 || stat.indexOf('(') < 0 || stat.indexOf('(') > close)
        return fields;

    const int open = stat.indexOf('(');
    fields.command = std::string_view(stat.constData() + open + 1, size_t(close - open - 1));
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
        case 2:
            fields.state = *p;
            break;
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

QString processName(std::string_view command) {
    size_t begin = 0;
    size_t end = command.size();
    while (begin < end && isBlank(command[begin]))
        ++begin;
    while (end > begin && isBlank(command[end - 1]))
        --end;
    command = command.substr(begin, end - begin);
    if (command.find_first_of("\\\n") == std::string_view::npos)
        return QString::fromUtf8(command.data(), int(command.size()));
    QByteArray escaped;
    escaped.reserve(int(command.size()) * 2);
    for (const char c : command) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return QString::fromUtf8(escaped);
}

QString stateText(char letter) {
    switch (letter) {
    case 'R':
        return QStringLiteral("R (running)");
    case 'S':
        return QStringLiteral("S (sleeping)");
    case 'D':
        return QStringLiteral("D (disk sleep)");
    case 'T':
        return QStringLiteral("T (stopped)");
    case 't':
        return QStringLiteral("t (tracing stop)");
    case 'X':
        return QStringLiteral("X (dead)");
    case 'Z':
        return QStringLiteral("Z (zombie)");
    case 'P':
        return QStringLiteral("P (parked)");
    case 'I':
        return QStringLiteral("I (idle)");
    default:
        return letter > ' ' && letter <= '~' ? QString(QLatin1Char(letter)) : QString();
    }
}

std::string_view realUid(const QByteArray& status) {
    const std::string_view text(status.constData(), size_t(status.size()));
    size_t line = 0;
    while (line < text.size()) {
        size_t lineEnd = text.find('\n', line);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        if (text.compare(line, 5, "Uid:\t") == 0) {
            size_t begin = line + 5;
            while (begin < lineEnd && isBlank(text[begin]))
                ++begin;
            size_t end = begin;
            while (end < lineEnd && !isBlank(text[end]))
                ++end;
            return text.substr(begin, end - begin);
        }
        line = lineEnd + 1;
    }
    return std::string_view();
}

StatmFigures parseStatm(const QByteArray& statm, qint64 pageKb) {
    // size resident shared text lib data dirty, in pages
    qint64 fields[3] = {0, 0, 0};
    const char* p = statm.constData();
    const char* end = p + statm.size();
    for (qint64& field : fields) {
        while (p < end && *p == ' ')
            ++p;
        // 18 digits at most, so the figure cannot overflow.
        const char* digits = p;
        while (p < end && *p >= '0' && *p <= '9' && p - digits < maximumDigits)
            field = field * 10 + (*p++ - '0');
        if (p == digits || (p < end && *p != ' ' && *p != '\n'))
            return StatmFigures();
    }
    StatmFigures figures;
    // Nor may the figures in kB: a machine has far fewer pages.
    qint64 residentKb = 0;
    if (pageKb < 0 || __builtin_mul_overflow(fields[1], pageKb, &residentKb))
        return StatmFigures();
    figures.residentKb = residentKb;
    figures.anonKb = std::max<qint64>(fields[1] - fields[2], 0) * pageKb;
    return figures;
}

qint64 anonymousKb(const QByteArray& statm, qint64 pageKb) {
    return parseStatm(statm, pageKb).anonKb;
}

qint64 privateMemoryKb(const QByteArray& smapsRollup) {
    constexpr qint64 maximumFigure = 999999999999999999;
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
            const char* digits = q;
            while (q < end && *q >= '0' && *q <= '9')
                ++q;
            // Two 18-digit figures cannot overflow the sum.
            if (q > digits && end - q >= 3 && memcmp(q, " kB", 3) == 0)
                sum = std::min(sum + toNumber(digits, q), maximumFigure);
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

namespace {
// A user ID as decimal digits, else empty: a name that is no numeric ID
// would filter out every process.
QString numericUid(const QString& text) {
    if (text.isEmpty())
        return QString();
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QString();
    }
    return text;
}
} // namespace

QString sessionUidFromRuntimeDir(const QString& runtimeDir) {
    const QStringList parts = runtimeDir.split(QLatin1Char('/'));
    if (parts.size() <= 3)
        return QString();
    return numericUid(parts.at(3));
}

QString sessionUid(const QString& runtimeDir, const QString& sudoUid) {
    const QString uid = sessionUidFromRuntimeDir(runtimeDir);
    return uid.isEmpty() ? numericUid(sudoUid) : uid;
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
