#pragma once

#include "logparsers.h"

#include <QByteArray>
#include <QRegularExpression>
#include <array>
#include <cstring>

// How the text log builder reads one line of a syslog-style file: a walk
// along the line from its start that gives the line pattern's answer in one
// pass, the line patterns themselves (the reference the walk is tested
// against), and the parts of a written time that sorting needs. Only
// textlogbuilder.cpp and the tests use this.
namespace LogParsers::TextLine {

using Field = LogTable::Field;

// The pattern, optimised once.
QRegularExpression compiled(const char* pattern);

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
    // The message at the end of every pattern: (.+), the rest of the line,
    // at least one character.
    Field rest() {
        ok = ok && at < end;
        return {at, int(end - at)};
    }
    // \s{atLeast,}(.+): the blanks are greedy, but give their last one to
    // the message when nothing else is left for it.
    Field blanksThenRest(int atLeast) {
        const char* start = at;
        while (at < end && isSpace(*at))
            ++at;
        if (at == end && at - start > atLeast)
            --at;
        ok = ok && at - start >= atLeast;
        return rest();
    }
};

// What one line holds, as spans of the line (or of the strings a pattern
// match left).
struct LineFields {
    Field time{nullptr, 0}, host{nullptr, 0}, tag{nullptr, 0}, message{nullptr, 0};
    bool iso = false;
};

// The length of the priority ("<13>") that a line may start with, or 0.
int priorityLength(const char* line, int size);
// The fields of line when it has the shape of log's lines in format: what
// the line pattern, anchored at the line's start, captures, found in one
// pass whatever the line holds.
bool walkLine(TextLog log, LineFormat format, const char* line, int size, LineFields* fields);
// The same answer from the line pattern itself; the captured groups are kept
// in storage.
bool matchLine(TextLog log, LineFormat format, const QString& line, std::array<QByteArray, 4>& storage,
               LineFields* fields);

// A kernel text's component and message, "ACPI: Core revision" -> "ACPI"
// and "Core revision": the first word up to ": ", a bracket in it allowed to
// reach past blanks ("foo[a b]: x"). False when the text has none. Both
// fields lie in text.
bool walkComponent(const char* text, int size, Field* component, Field* message);
// The same from the pattern ^(\S+(\[[^\]]+\])?): (.+) (the reference the
// walk is tested against; it backtracks over a long first word).
bool matchComponent(const QString& text, std::array<QByteArray, 2>& storage, Field* component,
                    Field* message);

// Trimmed as QString::trimmed() trims: ASCII blanks here, other white space
// (a no-break space, say) through Qt.
Field trimmed(Field field, QByteArray& storage);
bool startsWith(const Field& field, const char* prefix);
bool isBlank(const char* line, int size);

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
int number(const char* text, int size);
WrittenTime readWrittenTime(const Field& text, bool iso);
// True for "yyyy-MM-ddThh:mm:ss" with an optional fraction of up to nine
// digits and an optional "Z" or "+hh:mm" offset, all fields in range.
bool isPlainIsoTime(const Field& text);

} // namespace LogParsers::TextLine
