// The syslog-style logs, read a line at a time as bytes. Each line is read
// with the line pattern of its format:
//   system log, ISO     TIME \s+(\S+)\s+(\S+)(?:\[(\d+)\])?:\s*(.+)
//   system log, classic (\w+\s+\d+\s+\d+:\d+:\d+)\s+(\S+)\s+(\[[^\]]+\]|\S+):\s+(.+)
//   auth log, ISO       TIME \s+(\S+)\s+(\S+?)(?:\[(\d+)\])?:\s+(.+)
//   auth log, classic   (\w+\s+\d+ \d+:\d+:\d+) (\S+) (\[[^\]]+\]|\S*): (.+)
//   kernel log, ISO     TIME \s+(\S+)\s+kernel:\s+\[\s*([\d\.]+)\]\s+(.+)
//   kernel log, classic (\w+\s+\d+ \d+:\d+:\d+) (\S+) kernel: \[\s*(\d+\.\d+)\] (.+)
// A million lines through a regular expression each take most of the time
// of a load, so the usual shape of a line (the time at its start, a tag
// ending in ':') is walked by hand, taking at each step what the pattern's
// first try takes; a line the walk is not sure of goes through the pattern
// itself. The test of the parsers holds the two to the same answers.
#include "logparsers.h"

#include "textfinder.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace LogParsers {

namespace {

using Field = LogTable::Field;

#define ISO_TIME "(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(?:\\.\\d+)?(?:[+-]\\d{2}:\\d{2}|Z)?)"

QRegularExpression compiled(const char* pattern) {
    QRegularExpression expression(QString::fromLatin1(pattern));
    expression.optimize();
    return expression;
}

// The patterns, and where their groups are: time, host, tag, message.
struct LinePattern {
    QRegularExpression expression;
    int host, tag, message;
};

const LinePattern& patternOf(TextLog log, LineFormat format) {
    static const LinePattern patterns[3][2] = {
        {{compiled("(\\w+\\s+\\d+\\s+\\d+:\\d+:\\d+)\\s+(\\S+)\\s+(\\[[^\\]]+\\]|\\S+):\\s+(.+)"), 2, 3, 4},
         {compiled(ISO_TIME "\\s+(\\S+)\\s+(\\S+)(?:\\[(\\d+)\\])?:\\s*(.+)"), 2, 3, 5}},
        {{compiled("(\\w+\\s+\\d+ \\d+:\\d+:\\d+) (\\S+) (\\[[^\\]]+\\]|\\S*): (.+)"), 2, 3, 4},
         {compiled(ISO_TIME "\\s+(\\S+)\\s+(\\S+?)(?:\\[(\\d+)\\])?:\\s+(.+)"), 2, 3, 5}},
        {{compiled("(\\w+\\s+\\d+ \\d+:\\d+:\\d+) (\\S+) kernel: \\[\\s*(\\d+\\.\\d+)\\] (.+)"), 2, 0, 4},
         {compiled(ISO_TIME "\\s+(\\S+)\\s+kernel:\\s+\\[\\s*([\\d\\.]+)\\]\\s+(.+)"), 2, 0, 4}},
    };
    return patterns[int(log)][format == LineFormat::Iso ? 1 : 0];
}

// The character classes of the patterns (ASCII, as Qt compiles them).
inline bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool isWord(char c) {
    const char lower = char(c | 0x20);
    return isDigit(c) || (lower >= 'a' && lower <= 'z') || c == '_';
}

// A walk along a line; every step fails the whole walk when it cannot take
// what the pattern needs there.
struct Walk {
    const char* at;
    const char* end;
    bool ok = true;

    const char* spanOf(bool (*test)(char), int atLeast) {
        const char* start = at;
        while (at < end && test(*at))
            ++at;
        ok = ok && at - start >= atLeast;
        return start;
    }
    void spaces(int atLeast) { spanOf(isSpace, atLeast); }
    void digits() { spanOf(isDigit, 1); }
    void exactly(char c) {
        ok = ok && at < end && *at == c;
        at += ok ? 1 : 0;
    }
    void exactly(const char* text) {
        const size_t size = std::strlen(text);
        ok = ok && size_t(end - at) >= size && std::memcmp(at, text, size) == 0;
        at += ok ? size : 0;
    }
    Field token() {
        const char* start = at;
        while (at < end && !isSpace(*at))
            ++at;
        return {start, int(at - start)};
    }
    // The message at the end of every pattern, (.+) after the blanks that
    // precede it; an empty one would need the pattern's backtracking.
    Field rest() {
        ok = ok && at < end;
        return {at, int(end - at)};
    }
};

// "Mar  4 10:20:30": \w+\s+\d+\s+\d+:\d+:\d+, or with one blank before the
// clock when tightBlank.
Field classicTime(Walk& walk, bool tightBlank) {
    const char* start = walk.at;
    walk.spanOf(isWord, 1);
    walk.spaces(1);
    walk.digits();
    if (tightBlank)
        walk.exactly(' ');
    else
        walk.spaces(1);
    walk.digits();
    walk.exactly(':');
    walk.digits();
    walk.exactly(':');
    walk.digits();
    return {start, int(walk.at - start)};
}

// \d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(?:\.\d+)?(?:[+-]\d{2}:\d{2}|Z)?
Field isoTime(Walk& walk) {
    const char* start = walk.at;
    static const char shape[] = "dddd-dd-ddTdd:dd:dd";
    for (const char* s = shape; *s && walk.ok; ++s) {
        walk.ok = walk.at < walk.end && (*s == 'd' ? isDigit(*walk.at) : *walk.at == *s);
        ++walk.at;
    }
    if (walk.ok && walk.at + 1 < walk.end && *walk.at == '.' && isDigit(walk.at[1])) {
        ++walk.at;
        walk.digits();
    }
    if (walk.ok && walk.at < walk.end) {
        if (*walk.at == 'Z') {
            ++walk.at;
        } else if ((*walk.at == '+' || *walk.at == '-') && walk.end - walk.at >= 6 && isDigit(walk.at[1]) &&
                   isDigit(walk.at[2]) && walk.at[3] == ':' && isDigit(walk.at[4]) && isDigit(walk.at[5])) {
            walk.at += 6;
        }
    }
    return {start, int(walk.at - start)};
}

// What one line holds, as spans of the line (or of the strings a pattern
// match left).
struct LineFields {
    Field time{nullptr, 0}, host{nullptr, 0}, tag{nullptr, 0}, message{nullptr, 0};
    bool iso = false;
};

bool walkLine(TextLog log, LineFormat format, const char* line, int size, LineFields* fields) {
    Walk walk{line, line + size};
    const bool iso = format == LineFormat::Iso;
    fields->iso = iso;
    // Classic auth and kernel lines have single blanks between their parts.
    const bool tight = !iso && log != TextLog::SysLog;
    fields->time = iso ? isoTime(walk) : classicTime(walk, tight);
    if (tight)
        walk.exactly(' ');
    else
        walk.spaces(1);
    fields->host = walk.token();
    walk.ok = walk.ok && fields->host.size > 0;
    if (tight)
        walk.exactly(' ');
    else
        walk.spaces(1);
    if (!walk.ok)
        return false;

    if (log == TextLog::KernLog) {
        if (iso) {
            walk.exactly("kernel:");
            walk.spaces(1);
            walk.exactly('[');
            walk.spaces(0);
            walk.spanOf([](char c) { return isDigit(c) || c == '.'; }, 1);
            walk.exactly(']');
            walk.spaces(1);
        } else {
            walk.exactly("kernel: [");
            walk.spaces(0);
            walk.digits();
            walk.exactly('.');
            walk.digits();
            walk.exactly("] ");
        }
        fields->message = walk.rest();
        return walk.ok;
    }

    // The tag: a token ending in ':'. One that starts with '[' may be the
    // bracketed alternative of a classic pattern, which can reach past blanks.
    const Field token = walk.token();
    if (token.size == 0 || token.data[0] == '[')
        return false;
    const char* afterToken = walk.at;
    if (log == TextLog::SysLog && iso) {
        // Greedy (\S+) before ':': up to the token's last colon; \s* after it.
        int colon = token.size - 1;
        while (colon >= 1 && token.data[colon] != ':')
            --colon;
        if (colon < 1)
            return false;
        fields->tag = {token.data, colon};
        walk.at = token.data + colon + 1;
        walk.spaces(0);
        fields->message = walk.rest();
        return walk.ok;
    }
    // Every other pattern wants ':' and a blank after the tag, so the colon
    // is the token's last character.
    if (token.data[token.size - 1] != ':')
        return false;
    Field tag{token.data, token.size - 1};
    if (log == TextLog::SysLog) {
        if (tag.size < 1)
            return false;
        walk.spaces(1);
    } else if (iso) {
        // Lazy (\S+?) leaves a "[digits]" before the colon to its own group.
        if (tag.size < 1)
            return false;
        int bracket = tag.size - 1;
        while (bracket >= 0 && tag.data[bracket] != '[')
            --bracket;
        if (bracket >= 1 && tag.size - bracket >= 3 && tag.data[tag.size - 1] == ']' &&
            std::all_of(tag.data + bracket + 1, tag.data + tag.size - 1, isDigit))
            tag.size = bracket;
        walk.spaces(1);
    } else {
        walk.at = afterToken;
        walk.exactly(' ');
    }
    fields->tag = tag;
    fields->message = walk.rest();
    return walk.ok;
}

// The same answer from the line pattern itself; the captured groups are kept
// in storage.
bool matchLine(TextLog log, LineFormat format, const QString& line, std::array<QByteArray, 4>& storage,
               LineFields* fields) {
    const LinePattern& pattern = patternOf(log, format);
    const QRegularExpressionMatch match = pattern.expression.match(line);
    if (!match.hasMatch())
        return false;
    const auto keep = [&](int slot, int group) {
        storage[size_t(slot)] = group > 0 ? match.captured(group).toUtf8() : QByteArray();
        return Field{storage[size_t(slot)].constData(), storage[size_t(slot)].size()};
    };
    fields->iso = format == LineFormat::Iso;
    fields->time = keep(0, 1);
    fields->host = keep(1, pattern.host);
    fields->tag = keep(2, pattern.tag);
    fields->message = keep(3, pattern.message);
    return true;
}

// Trimmed as QString::trimmed() trims: ASCII blanks here, other white space
// (a no-break space, say) through Qt.
Field trimmed(Field field, QByteArray& storage) {
    while (field.size > 0 && isSpace(field.data[0])) {
        ++field.data;
        --field.size;
    }
    while (field.size > 0 && isSpace(field.data[field.size - 1]))
        --field.size;
    if (field.size > 0 && (quint8(field.data[0]) >= 0x80 || quint8(field.data[field.size - 1]) >= 0x80)) {
        storage = QString::fromUtf8(field.data, field.size).trimmed().toUtf8();
        return {storage.constData(), storage.size()};
    }
    return field;
}

bool startsWith(const Field& field, const char* prefix) {
    const size_t size = std::strlen(prefix);
    return size_t(field.size) >= size && std::memcmp(field.data, prefix, size) == 0;
}

bool isBlank(const char* line, int size) {
    for (int i = 0; i < size; ++i)
        if (!isSpace(line[i]))
            return false;
    return true;
}

// The parts of a written time that sorting needs, packed into the row's key
// until the whole file is read: a date (year 0 when the text names none) and
// the seconds of the day.
struct WrittenTime {
    int year = 0, month = 0, day = 0, seconds = -1;

    qint64 packed() const {
        if (month < 1 || month > 12 || seconds < 0 || seconds > 0xFFFFFF)
            return 0;
        return (qint64(year & 0xFFFF) << 40) | (qint64(month) << 32) |
               (qint64(day >= 1 && day <= 31 ? day : 0) << 24) | qint64(seconds);
    }
    static WrittenTime unpacked(qint64 key) {
        WrittenTime time;
        if (key <= 0)
            return time;
        time.year = int((key >> 40) & 0xFFFF);
        time.month = int((key >> 32) & 0xFF);
        time.day = int((key >> 24) & 0xFF);
        time.seconds = int(key & 0xFFFFFF);
        return time;
    }
};

// A run of at most four digits, or -1.
int number(const char* text, int size) {
    if (size < 1 || size > 4)
        return -1;
    int value = 0;
    for (int i = 0; i < size; ++i) {
        if (!isDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Month names as syslog writes them, whatever the locale.
int monthNumber(const char* name, int size) {
    static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (size != 3)
        return 0;
    for (int month = 0; month < 12; ++month)
        if (std::memcmp(name, names[month], 3) == 0)
            return month + 1;
    return 0;
}

WrittenTime readWrittenTime(const Field& text, bool iso) {
    WrittenTime time;
    const char* p = text.data;
    if (iso) {
        if (text.size < 19)
            return time;
        time.year = number(p, 4);
        time.month = number(p + 5, 2);
        time.day = number(p + 8, 2);
        const int h = number(p + 11, 2), m = number(p + 14, 2), s = number(p + 17, 2);
        if (h >= 0 && m >= 0 && s >= 0)
            time.seconds = h * 3600 + m * 60 + s;
        return time;
    }
    // "Mar  4 10:20:30": month word, blanks, day, blanks, clock.
    Walk walk{p, p + text.size};
    const char* month = walk.spanOf(isWord, 1);
    time.month = monthNumber(month, int(walk.at - month));
    walk.spaces(1);
    const char* day = walk.spanOf(isDigit, 1);
    time.day = number(day, int(walk.at - day));
    walk.spaces(1);
    int clock[3] = {-1, -1, -1};
    for (int part = 0; part < 3 && walk.ok; ++part) {
        const char* digits = walk.spanOf(isDigit, 1);
        clock[part] = number(digits, int(walk.at - digits));
        if (part < 2)
            walk.exactly(':');
    }
    if (walk.ok && clock[0] >= 0 && clock[1] >= 0 && clock[2] >= 0)
        time.seconds = clock[0] * 3600 + clock[1] * 60 + clock[2];
    return time;
}

// True for "yyyy-MM-ddThh:mm:ss" with an optional fraction of up to nine
// digits and an optional "Z" or "+hh:mm" offset, all fields in range.
bool isPlainIsoTime(const Field& text) {
    const char* t = text.data;
    const int size = text.size;
    if (size < 19 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':')
        return false;
    if (!QDate::isValid(number(t, 4), number(t + 5, 2), number(t + 8, 2)))
        return false;
    const int hour = number(t + 11, 2), minute = number(t + 14, 2), second = number(t + 17, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    int at = 19;
    if (at < size && t[at] == '.') {
        const int fractionStart = ++at;
        while (at < size && isDigit(t[at]))
            ++at;
        if (at == fractionStart || at - fractionStart > 9)
            return false;
    }
    if (at == size)
        return true;
    if (t[at] == 'Z')
        return at + 1 == size;
    if ((t[at] == '+' || t[at] == '-') && at + 6 == size && t[at + 3] == ':') {
        const int offsetHours = number(t + at + 1, 2), offsetMinutes = number(t + at + 4, 2);
        return offsetHours >= 0 && offsetHours <= 14 && offsetMinutes >= 0 && offsetMinutes <= 59;
    }
    return false;
}

} // namespace

int classifySeverity(const char* message, int size) {
    int severity = 0;
    for (int i = 0; i < size; ++i) {
        const auto c = quint8(message[i]);
        if (c >= 0x80)
            return classifySeverity(QString::fromUtf8(message, size));
        const char lower = char(c | 0x20);
        if (lower == 'e' && size - i >= 5 && (message[i + 1] | 0x20) == 'r' &&
            (message[i + 2] | 0x20) == 'r' && (message[i + 3] | 0x20) == 'o' &&
            (message[i + 4] | 0x20) == 'r') {
            // Later bytes could still be other than ASCII: only their
            // folding could change the answer, and it cannot lower it.
            return 2;
        }
        if (lower == 'w' && severity == 0 && size - i >= 7) {
            static const char rest[] = "arning";
            int k = 0;
            while (k < 6 && (message[i + 1 + k] | 0x20) == rest[k])
                ++k;
            if (k == 6)
                severity = 1;
        }
    }
    return severity;
}

struct TextLogBuilder::Private {
    TextLog log;
    TextLogContext context;
    LineReading reading;
    std::shared_ptr<LogTable> table;
    std::array<QByteArray, 4> matched;
    QByteArray trimmedMessage, trimmedComponent, trimmedHost, kernelText;
    // The shown time of the line before, which the next line mostly repeats.
    QByteArray lastWritten, lastShown;
    qint64 lastPacked = 0;
    // Month names of the default locale, for ISO times.
    std::array<QByteArray, 12> monthNames;
    std::vector<bool> whole; // rows that fit no pattern

    void shownTime(const Field& written, bool iso, Field* shown, qint64* packed) {
        if (lastWritten.size() != written.size ||
            std::memcmp(lastWritten.constData(), written.data, size_t(written.size)) != 0) {
            lastWritten = QByteArray(written.data, written.size);
            if (!iso) {
                lastShown = lastWritten;
            } else if (isPlainIsoTime(written)) {
                QByteArray& month = monthNames[size_t(number(written.data + 5, 2) - 1)];
                if (month.isEmpty())
                    month = QLocale().monthName(number(written.data + 5, 2), QLocale::ShortFormat).toUtf8();
                lastShown =
                    month + ' ' + QByteArray(written.data + 8, 2) + ' ' + QByteArray(written.data + 11, 8);
            } else {
                lastShown = formatTimestamp(QString::fromUtf8(lastWritten)).toUtf8();
            }
            lastPacked = readWrittenTime(written, iso).packed();
        }
        *shown = {lastShown.constData(), lastShown.size()};
        *packed = lastPacked;
    }

    bool readLine(const char* line, int size, LineFields* fields) {
        const LineFormat preferred = context.preferred;
        const LineFormat other = preferred == LineFormat::Iso ? LineFormat::Classic : LineFormat::Iso;
        if (reading == LineReading::WalkFirst &&
            (walkLine(log, preferred, line, size, fields) || walkLine(log, other, line, size, fields)))
            return true;
        const QString text = QString::fromUtf8(line, size);
        return matchLine(log, preferred, text, matched, fields) ||
               matchLine(log, other, text, matched, fields);
    }

    void addLine(const char* line, int size) {
        if (isBlank(line, size))
            return;
        LineFields fields;
        if (!readLine(line, size, &fields)) {
            // Shown whole in the message column, with no time of its own.
            const Field empty{"", 0}, whole{line, size};
            const Field row[4] = {empty, empty, empty, whole};
            append(log == TextLog::SysLog ? row + 1 : row, classifySeverity(line, size), true, 0);
            return;
        }
        Field time;
        qint64 packed = 0;
        if (log == TextLog::KernLog) {
            const Field text = trimmed(fields.message, kernelText);
            Field component{"Unknown", 7}, message = text;
            // ^(\S+(\[[^\]]+\])?): (.+): a first word ending in ':' and a
            // blank. A bracket in the first word may reach past blanks.
            Walk walk{text.data, text.data + text.size};
            const Field word = walk.token();
            if (reading == LineReading::PatternsOnly || std::memchr(word.data, '[', size_t(word.size))) {
                static const QRegularExpression pattern = compiled("^(\\S+(\\[[^\\]]+\\])?): (.+)");
                const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(text.data, text.size));
                if (match.hasMatch()) {
                    trimmedComponent = match.captured(1).trimmed().toUtf8();
                    trimmedMessage = match.captured(3).trimmed().toUtf8();
                    component = {trimmedComponent.constData(), trimmedComponent.size()};
                    message = {trimmedMessage.constData(), trimmedMessage.size()};
                }
            } else if (word.size >= 2 && word.data[word.size - 1] == ':' && walk.end - walk.at >= 2 &&
                       *walk.at == ' ') {
                component = trimmed({word.data, word.size - 1}, trimmedComponent);
                message = trimmed({walk.at + 1, int(walk.end - walk.at - 1)}, trimmedMessage);
            }
            shownTime(fields.time, fields.iso, &time, &packed);
            const Field row[4] = {time, fields.host, component, message};
            append(row, classifySeverity(message.data, message.size), false, packed);
            return;
        }
        Field message = fields.message;
        if (log == TextLog::AuthLog)
            message = trimmed(message, trimmedMessage);
        if (startsWith(message, "Theme parsing error:"))
            return;
        shownTime(fields.time, fields.iso, &time, &packed);
        const int severity = classifySeverity(message.data, message.size);
        if (log == TextLog::AuthLog) {
            const Field row[4] = {time, fields.host, fields.tag, message};
            append(row, severity, false, packed);
            return;
        }
        // The service is the tag without its process number.
        Field service = fields.tag;
        const char* bracket = static_cast<const char*>(std::memchr(service.data, '[', size_t(service.size)));
        if (bracket)
            service.size = int(bracket - service.data);
        service = trimmed(service, trimmedHost);
        const Field row[3] = {time, service, message};
        append(row, severity, false, packed);
    }

    void append(const Field* fields, int severity, bool wholeLine, qint64 packed) {
        const LogLook look = severity == 2   ? LogLook::Error
                             : severity == 1 ? LogLook::Warning
                                             : LogLook::Information;
        table->appendRow(fields, look, packed);
        whole.push_back(wholeLine);
    }

    // Lines come oldest first: walking back from the newest one, a month that
    // jumps forward by half a year or more means the line was written the
    // year before. A line that fit no pattern sorts with the line before it.
    void assignKeys() {
        int year = context.referenceYear;
        int laterMonth = context.referenceMonth;
        int cachedYear = 0, cachedMonth = 0;
        qint64 firstOfMonth = 0;
        for (int row = table->rowCount() - 1; row >= 0; --row) {
            if (whole[size_t(row)])
                continue;
            const WrittenTime time = WrittenTime::unpacked(table->key(row));
            table->setKey(row, 0);
            if (time.month < 1)
                continue;
            if (time.year > 0)
                year = time.year;
            else if (time.month - laterMonth >= 6)
                --year;
            laterMonth = time.month;
            const int thisYear = time.year > 0 ? time.year : year;
            if (thisYear != cachedYear || time.month != cachedMonth) {
                cachedYear = thisYear;
                cachedMonth = time.month;
                firstOfMonth = QDate(thisYear, time.month, 1).toJulianDay();
            }
            if (time.day >= 1 && time.day <= 31)
                table->setKey(row, (firstOfMonth + time.day - 1) * 86400 + time.seconds);
        }
        for (int row = 0; row < table->rowCount(); ++row)
            if (whole[size_t(row)])
                table->setKey(row, row > 0 ? table->key(row - 1) : 0);
    }
};

TextLogBuilder::TextLogBuilder(TextLog log, const TextLogContext& context, LineReading reading)
    : d(new Private) {
    d->log = log;
    d->context = context;
    d->reading = reading;
    // Time, then the searched service or component and the message.
    d->table = log == TextLog::SysLog ? std::make_shared<LogTable>(3, 0b110u, true)
                                      : std::make_shared<LogTable>(4, 0b1100u, true);
}

TextLogBuilder::~TextLogBuilder() = default;

void TextLogBuilder::reserve(int lines, qint64 bytes) {
    d->table->reserve(lines, bytes);
    d->whole.reserve(size_t(lines));
}

void TextLogBuilder::addLine(const char* line, int size) {
    d->addLine(line, size);
}

void TextLogBuilder::setReference(int year, int month) {
    d->context.referenceYear = year;
    d->context.referenceMonth = month;
}

int TextLogBuilder::rowCount() const {
    return d->table->rowCount();
}

std::shared_ptr<LogTable> TextLogBuilder::finish() {
    d->assignKeys();
    d->table->sortByKey();
    return std::move(d->table);
}

std::shared_ptr<LogTable> parseTextLog(TextLog log, const QByteArray& text, const TextLogContext& context,
                                       LineReading reading) {
    TextLogBuilder builder(log, context, reading);
    const char* data = text.constData();
    const int size = text.size();
    int start = 0;
    while (start < size) {
        const void* found = std::memchr(data + start, '\n', size_t(size - start));
        int end = found ? int(static_cast<const char*>(found) - data) : size;
        const int next = end + 1;
        if (found && end > start && data[end - 1] == '\r')
            --end;
        builder.addLine(data + start, end - start);
        start = next;
    }
    return builder.finish();
}

} // namespace LogParsers
