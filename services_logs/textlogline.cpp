// The syslog-style logs, read a line at a time as bytes. Each line is read
// with the line pattern of its format, anchored at the line's start (HEAD is
// ^(?:<\d{1,3}>)?, a priority where the logger writes one):
//   system log, ISO     HEAD TIME \s+(\S+)\s+(\S+)(?:\[(\d+)\])?:\s*(.+)
//   system log, classic HEAD(\w+\s+\d+\s+\d+:\d+:\d+)\s+(\S+)\s+(\[[^\]]+\]|\S+):\s+(.+)
//   auth log, ISO       HEAD TIME \s+(\S+)\s+(\S+?)(?:\[(\d+)\])?:\s+(.+)
//   auth log, classic   HEAD(\w+\s+\d+ \d+:\d+:\d+) (\S+) (\[[^\]]+\]|\S+): (.+)
//   kernel log, ISO     HEAD TIME \s+(\S+)\s+kernel:\s+\[\s*([\d\.]+)\]\s+(.+)
//   kernel log, classic HEAD(\w+\s+\d+ \d+:\d+:\d+) (\S+) kernel: \[\s*(\d+\.\d+)\] (.+)
// Any local account writes lines here (logger -t "my tag" ...), so a line
// whose head fits no pattern is no line of the log's shape: it is shown
// whole, never read from a time or tag found further on. A regular
// expression per line takes most of the time of a big load, and backtracks
// over a long line, so every line is walked by hand, left to right, taking
// at each step what the anchored pattern takes in the end; where a
// quantifier would give characters back, the walk looks once at the places
// it could stop. The patterns stay as the reference that the parser test
// and the fuzz target hold the walk to.
#include "textlogline.h"

#include <QDate>

namespace LogParsers::TextLine {

// A line starts with its time, after a priority ("<13>") where the logger
// writes one.
#define HEAD "^(?:<\\d{1,3}>)?"
#define ISO_TIME "(\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(?:\\.\\d+)?(?:[+-]\\d{2}:\\d{2}|Z)?)"

QRegularExpression compiled(const char* pattern) {
    QRegularExpression expression(QString::fromLatin1(pattern));
    expression.optimize();
    return expression;
}

namespace {
// The patterns, and where their groups are: time, host, tag, message.
struct LinePattern {
    QRegularExpression expression;
    int host, tag, message;
};

const LinePattern& patternOf(TextLog log, LineFormat format) {
    static const LinePattern patterns[3][2] = {
        {{compiled(HEAD "(\\w+\\s+\\d+\\s+\\d+:\\d+:\\d+)\\s+(\\S+)\\s+(\\[[^\\]]+\\]|\\S+):\\s+(.+)"), 2, 3,
          4},
         {compiled(HEAD ISO_TIME "\\s+(\\S+)\\s+(\\S+)(?:\\[(\\d+)\\])?:\\s*(.+)"), 2, 3, 5}},
        {{compiled(HEAD "(\\w+\\s+\\d+ \\d+:\\d+:\\d+) (\\S+) (\\[[^\\]]+\\]|\\S+): (.+)"), 2, 3, 4},
         {compiled(HEAD ISO_TIME "\\s+(\\S+)\\s+(\\S+?)(?:\\[(\\d+)\\])?:\\s+(.+)"), 2, 3, 5}},
        {{compiled(HEAD "(\\w+\\s+\\d+ \\d+:\\d+:\\d+) (\\S+) kernel: \\[\\s*(\\d+\\.\\d+)\\] (.+)"), 2, 0,
          4},
         {compiled(HEAD ISO_TIME "\\s+(\\S+)\\s+kernel:\\s+\\[\\s*([\\d\\.]+)\\]\\s+(.+)"), 2, 0, 4}},
    };
    return patterns[int(log)][format == LineFormat::Iso ? 1 : 0];
}

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
        walk.at += walk.ok ? 1 : 0;
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

} // namespace

int priorityLength(const char* line, int size) {
    int digits = 0;
    while (digits < 3 && 1 + digits < size && isDigit(line[1 + digits]))
        ++digits;
    return size > 0 && line[0] == '<' && digits > 0 && 1 + digits < size && line[1 + digits] == '>'
               ? digits + 2
               : 0;
}

bool walkLine(TextLog log, LineFormat format, const char* line, int size, LineFields* fields) {
    Walk walk{line, line + size};
    walk.at += priorityLength(line, size);
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
            fields->message = walk.blanksThenRest(1);
            return walk.ok;
        }
        walk.exactly("kernel: [");
        walk.spaces(0);
        walk.digits();
        walk.exactly('.');
        walk.digits();
        walk.exactly("] ");
        fields->message = walk.rest();
        return walk.ok;
    }

    // The tag, from here to the first blank at most: tagEnd.
    const char* const tagStart = walk.at;
    const Field token = walk.token();
    const char* const tagEnd = token.data + token.size;
    const char* const end = walk.end;
    // The tag up to tagStop; from messageStart the message, after at least
    // blanks blanks, or the rest of the line as it is when blanks < 0.
    const auto finish = [&](const char* tagStop, const char* messageStart, int blanks) {
        fields->tag = {tagStart, int(tagStop - tagStart)};
        walk.at = messageStart;
        walk.ok = true;
        fields->message = blanks < 0 ? walk.rest() : walk.blanksThenRest(blanks);
        return walk.ok;
    };

    if (log == TextLog::SysLog && iso) {
        // (\S+)(?:\[(\d+)\])?:\s*(.+): the greedy tag ends at the token's
        // last colon that has anything after it. (A "[digits]" before that
        // colon stays in the tag: the greedy \S+ took it already.)
        for (const char* colon = tagEnd - 1; colon > tagStart; --colon)
            if (*colon == ':' && colon + 1 < end)
                return finish(colon, colon + 1, 0);
        return false;
    }
    if (iso) {
        // (\S+?)(?:\[(\d+)\])?:\s+(.+): the lazy tag ends at the first place
        // where "[digits]:" or ':' follows with blanks after the colon.
        for (const char* stop = tagStart + 1; stop < tagEnd; ++stop) {
            const char* colon = stop;
            if (*stop == '[') {
                colon = stop + 1;
                while (colon < tagEnd && isDigit(*colon))
                    ++colon;
                if (colon == stop + 1 || colon + 1 >= tagEnd || colon[0] != ']' || colon[1] != ':')
                    continue;
                ++colon;
            } else if (*stop != ':') {
                continue;
            }
            if (finish(stop, colon + 1, 1))
                return true;
        }
        return false;
    }

    // Classic: (\[[^\]]+\]|\S+):\s+(.+), or (\[[^\]]+\]|\S+): (.+) in the
    // auth log. A bracket first: it ends at the first ']' and may hold blanks.
    // A line without a tag names no sender: it fits no pattern.
    const bool auth = log == TextLog::AuthLog;
    const auto tail = [&](const char* colon) {
        if (colon >= end || *colon != ':')
            return false;
        if (!auth)
            return finish(colon, colon + 1, 1);
        return colon + 1 < end && colon[1] == ' ' && finish(colon, colon + 2, -1);
    };
    if (tagStart + 2 < end && *tagStart == '[' && tagStart[1] != ']') {
        const auto* close =
            static_cast<const char*>(std::memchr(tagStart + 2, ']', size_t(end - tagStart - 2)));
        if (close && tail(close + 1))
            return true;
    }
    // Else the token up to a colon that a blank follows: its last character.
    if (tagEnd - tagStart < 2)
        return false;
    return tail(tagEnd - 1);
}

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

bool walkComponent(const char* text, int size, Field* component, Field* message) {
    // ^(\S+(\[[^\]]+\])?): (.+): the greedy first part gives back one
    // character at a time from the first blank, trying at each place a
    // bracket that ends at the first ']' after it and ": " after that, then
    // ": " itself. The first ']' after each place is kept while walking back,
    // so no place is read twice.
    const char* const end = text + size;
    const char* wordEnd = text;
    while (wordEnd < end && !isSpace(*wordEnd))
        ++wordEnd;
    if (wordEnd - text < 2)
        return false;
    const char* close =
        wordEnd < end ? static_cast<const char*>(std::memchr(wordEnd, ']', size_t(end - wordEnd))) : nullptr;
    for (const char* stop = wordEnd - 1; stop > text; --stop) {
        const char* colon = nullptr;
        if (*stop == '[' && close && close > stop + 1)
            colon = close + 1;
        else if (*stop == ':')
            colon = stop;
        if (colon && end - colon >= 3 && colon[0] == ':' && colon[1] == ' ') {
            *component = {text, int(colon - text)};
            *message = {colon + 2, int(end - colon - 2)};
            return true;
        }
        if (*stop == ']')
            close = stop;
    }
    return false;
}

bool matchComponent(const QString& text, std::array<QByteArray, 2>& storage, Field* component,
                    Field* message) {
    static const QRegularExpression pattern = compiled("^(\\S+(\\[[^\\]]+\\])?): (.+)");
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    storage[0] = match.captured(1).toUtf8();
    storage[1] = match.captured(3).toUtf8();
    *component = {storage[0].constData(), storage[0].size()};
    *message = {storage[1].constData(), storage[1].size()};
    return true;
}

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

} // namespace LogParsers::TextLine
