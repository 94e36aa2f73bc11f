#include "cronschedule.h"

#include <QVector>

#include <limits>
#include <optional>

// The fields are read the way Debian's cron reads them: each is a comma list
// of '*', a number or a range, where '*' and ranges may take a "/step";
// months and days of the week may be given by their first three letters in
// any case. A value out of range, a word cron does not know, or a single
// number with a step ("5/10") makes cron refuse the line, and with it the
// whole file. Cron ignores whatever follows a complete list up to the next
// blank ("*#" is "*"). Numbers are read as C's atoi reads them, so
// "4294967297" is 1. The day is the one rule with a twist: when both day
// fields are restricted (neither begins with '*'), either one matching is
// enough.

namespace {

const char* const dayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct FieldKind {
    const char* what; // for notes: "minute", "month" ...
    int low;
    int high;
    const char* const* names; // three-letter names of low, low + 1, ...; or none
    int nameCount;
};

const FieldKind minuteKind{"minute", 0, 59, nullptr, 0};
const FieldKind hourKind{"hour", 0, 23, nullptr, 0};
const FieldKind dayOfMonthKind{"day of the month", 1, 31, nullptr, 0};
const FieldKind monthKind{"month", 1, 12, monthNames, 12};
const FieldKind dayOfWeekKind{"day of the week", 0, 7, dayNames, 8};
const FieldKind* const fieldKinds[] = {&minuteKind, &hourKind, &dayOfMonthKind, &monthKind, &dayOfWeekKind};

// One element of a list: a single value (first == last) or a range with a step.
struct Element {
    int first = 0;
    int last = 0;
    int step = 1;

    int lastValue() const { return first + (last - first) / step * step; }
    int count() const { return (last - first) / step + 1; }
    // A stepped element that fires evenly round the clock ("*/15" of the
    // minutes, "*/6" of the hours): its runs in one period join those of the next.
    bool evenOver(int period) const { return step > 1 && first == 0 && period - lastValue() == step; }
};

struct Field {
    QVector<Element> elements; // empty ranges left out
    QVector<bool> hits;        // by value, low .. high
    bool startsWithStar = false;
    bool full = false;  // every value of the field
    bool empty = false; // no value at all
    QList<int> values() const {
        QList<int> list;
        for (int i = 0; i < hits.size(); ++i) {
            if (hits.at(i))
                list << i;
        }
        return list;
    }
};

struct FieldResult {
    std::optional<Field> field;
    QString problem; // why cron skips the line
    QStringList notes;
    int listLength = 0; // characters the list takes; cron skips the rest
};

QString pad2(int value) {
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

QString dayName(int value) {
    return QString::fromLatin1(dayNames[value % 7]);
}

QString monthName(int value) {
    return QString::fromLatin1(monthNames[value - 1]);
}

QString ordinal(int value) {
    const QString number = QString::number(value);
    return number + ordinalSuffix(number);
}

// Cron reads a word of letters and digits into a buffer of this size.
constexpr int maxWordLength = 999;

// The int that atoi gives for a run of digits: strtol's long, saturated,
// cut to 32 bits. Cron takes the result as it comes, so "4294967297" is 1
// and a number past the long range is -1.
int atoiValue(const QString& digits) {
    constexpr qint64 longMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (const QChar c : digits) {
        const int digit = c.unicode() - '0';
        if (value > (longMax - digit) / 10)
            return -1;
        value = value * 10 + digit;
    }
    return int(quint32(quint64(value)));
}

bool isAsciiLetterOrDigit(QChar c) {
    return c.unicode() < 0x80 && c.isLetterOrNumber();
}

// A number, or a name where the field has names, read from pos on: cron
// takes the whole run of letters and digits as one word, so "5x" is no
// number.
std::optional<int> readValue(const QString& text, int& pos, const FieldKind* kind) {
    const int start = pos;
    while (pos < text.size() && isAsciiLetterOrDigit(text.at(pos)))
        ++pos;
    const QString word = text.mid(start, pos - start);
    if (word.isEmpty() || word.size() > maxWordLength)
        return std::nullopt;
    for (int i = 0; kind && i < kind->nameCount; ++i) {
        if (word.compare(QLatin1String(kind->names[i]), Qt::CaseInsensitive) == 0)
            return kind->low + i;
    }
    for (const QChar c : word) {
        if (!c.isDigit())
            return std::nullopt;
    }
    return atoiValue(word);
}

QString unreadable(const FieldKind& kind, const QString& text) {
    return QStringLiteral("%1 is not a %2 it can read").arg(text, QLatin1String(kind.what));
}

FieldResult parseField(const QString& text, const FieldKind& kind) {
    FieldResult result;
    Field field;
    field.hits = QVector<bool>(kind.high + 1, false);
    field.startsWithStar = text.startsWith(QLatin1Char('*'));
    const auto outOfRange = [&](const QString& element) {
        return QStringLiteral("%1 is out of the %2 range %3-%4")
            .arg(element, QLatin1String(kind.what))
            .arg(kind.low)
            .arg(kind.high);
    };

    int pos = 0;
    while (true) {
        const int elementStart = pos;
        Element element;
        if (pos < text.size() && text.at(pos) == QLatin1Char('*')) {
            ++pos;
            element.first = kind.low;
            element.last = kind.high;
        } else {
            const std::optional<int> first = readValue(text, pos, &kind);
            if (!first) {
                result.problem = unreadable(kind, text);
                return result;
            }
            element.first = element.last = *first;
            if (pos < text.size() && text.at(pos) == QLatin1Char('-')) {
                ++pos;
                const std::optional<int> last = readValue(text, pos, &kind);
                if (!last) {
                    result.problem = unreadable(kind, text);
                    return result;
                }
                element.last = *last;
            } else if (pos < text.size() && text.at(pos) == QLatin1Char('/')) {
                result.problem = QStringLiteral("the %1 %2 puts a step after a single value")
                                     .arg(QLatin1String(kind.what), text);
                return result;
            }
        }
        if (pos < text.size() && text.at(pos) == QLatin1Char('/')) {
            ++pos;
            const std::optional<int> step = readValue(text, pos, nullptr);
            if (!step || *step <= 0) {
                result.problem =
                    QStringLiteral("the %1 %2 has no step it can read").arg(QLatin1String(kind.what), text);
                return result;
            }
            element.step = *step;
        }
        const auto elementText = [&] { return text.mid(elementStart, pos - elementStart); };
        if (element.first < kind.low || element.first > kind.high || element.last < kind.low ||
            element.last > kind.high) {
            result.problem = outOfRange(elementText());
            return result;
        }
        if (element.first > element.last) {
            result.notes << QStringLiteral("%1 is an empty range: cron adds no %2 for it")
                                .arg(elementText(), QLatin1String(kind.what));
        } else {
            // Cron counts in an int: a step that carries a value of the
            // range past the largest int wraps round to a value it refuses.
            const int lastValue =
                element.first + (element.last - element.first) / element.step * element.step;
            if (element.step > std::numeric_limits<int>::max() - lastValue) {
                result.problem = QStringLiteral("the %1 %2 has a step too large for cron to count")
                                     .arg(QLatin1String(kind.what), text);
                return result;
            }
            for (int value = element.first; value <= element.last; value += element.step)
                field.hits[value] = true;
            // A step past the field's end reaches no second value.
            element.step = qMin(element.step, kind.high + 1);
            field.elements << element;
        }
        if (pos < text.size() && text.at(pos) == QLatin1Char(',')) {
            ++pos;
            continue;
        }
        if (pos < text.size()) {
            result.notes << QStringLiteral("cron reads only %1 of the %2 field %3")
                                .arg(text.left(pos), QLatin1String(kind.what), text);
        }
        result.listLength = pos;
        break;
    }

    // Sunday is both 0 and 7.
    if (kind.high == 7 && (field.hits[0] || field.hits[7]))
        field.hits[0] = field.hits[7] = true;
    field.full = true;
    field.empty = true;
    for (int value = kind.low; value <= kind.high; ++value) {
        field.full = field.full && field.hits.at(value);
        field.empty = field.empty && !field.hits.at(value);
    }
    result.field = field;
    return result;
}

// The elements of a field, e.g. "Mon-Fri", "1st, 15th", "00, 15, 30, 45".
// A stepped element lists its values, cut in the middle when long.
template <typename Name> QString listText(const Field& field, Name name) {
    QStringList parts;
    for (const Element& element : field.elements) {
        if (element.first == element.last || element.count() == 1) {
            parts << name(element.first);
        } else if (element.step == 1) {
            parts << name(element.first) + QLatin1Char('-') + name(element.last);
        } else {
            QStringList values;
            for (int value = element.first; value <= element.last; value += element.step)
                values << name(value);
            if (values.size() > 6)
                values = QStringList{values.at(0), values.at(1), values.at(2), QStringLiteral("\u2026"),
                                     values.last()};
            parts << values.join(QStringLiteral(", "));
        }
    }
    parts.removeDuplicates(); // "0,7" is Sunday twice
    return parts.join(QStringLiteral(", "));
}

bool allSingle(const Field& field) {
    for (const Element& element : field.elements) {
        if (element.count() != 1)
            return false;
    }
    return true;
}

// The step of a minute field that fires evenly all hour long ("*", "*/5",
// "5-55/10"), so the runs in consecutive hours join up.
std::optional<int> evenMinuteStep(const Field& minutes) {
    if (minutes.full)
        return 1;
    if (minutes.elements.size() != 1)
        return std::nullopt;
    const Element& element = minutes.elements.first();
    if (element.step > 1 && 60 - element.lastValue() + element.first == element.step)
        return element.step;
    return std::nullopt;
}

struct TimeText {
    QString text;
    bool fixed = false; // "at 09:00": goes after "Every <days>"
};

TimeText describeTime(const Field& minutes, const Field& hours) {
    const QList<int> minuteValues = minutes.values();
    const QList<int> hourValues = hours.values();
    if (minutes.full && hours.full)
        return {QStringLiteral("Every minute")};

    if (hours.full) {
        if (minuteValues.size() == 1)
            return {QStringLiteral("Every hour at minute ") + pad2(minuteValues.first())};
        if (minutes.elements.size() == 1) {
            const Element& element = minutes.elements.first();
            const QString span =
                QStringLiteral(" from minute %1 to %2").arg(pad2(element.first), pad2(element.lastValue()));
            if (element.step == 1)
                return {QStringLiteral("Every minute") + span};
            if (element.evenOver(60))
                return {QStringLiteral("Every %1 minutes").arg(element.step)};
            return {QStringLiteral("Every %1 minutes").arg(element.step) + span};
        }
        return {QStringLiteral("Every hour at minutes ") + listText(minutes, pad2)};
    }

    const bool singleHours = allSingle(hours);
    if (minuteValues.size() == 1 && singleHours) {
        QStringList times;
        for (int hour : hourValues)
            times << pad2(hour) + QLatin1Char(':') + pad2(minuteValues.first());
        return {QStringLiteral("at ") + times.join(QStringLiteral(", ")), true};
    }
    if (minutes.full && hourValues.size() == 1)
        return {QStringLiteral("at ") + pad2(hourValues.first()) + QStringLiteral(":*"), true};
    if (allSingle(minutes) && singleHours && minuteValues.size() * hourValues.size() <= 6) {
        QStringList times;
        for (int hour : hourValues) {
            for (int minute : minuteValues)
                times << pad2(hour) + QLatin1Char(':') + pad2(minute);
        }
        return {QStringLiteral("at ") + times.join(QStringLiteral(", ")), true};
    }

    if (minuteValues.size() == 1) {
        const QString minute = pad2(minuteValues.first());
        if (hours.elements.size() == 1) {
            const Element& element = hours.elements.first();
            if (element.evenOver(24))
                return {QStringLiteral("Every %1 hours at minute %2").arg(element.step).arg(minute)};
            const QString span = QStringLiteral(" from %1:%3 to %2:%3")
                                     .arg(pad2(element.first), pad2(element.lastValue()), minute);
            if (element.step == 1)
                return {QStringLiteral("Every hour") + span};
            return {QStringLiteral("Every %1 hours").arg(element.step) + span};
        }
        return {QStringLiteral("At minute %1 of hours %2").arg(minute, listText(hours, pad2))};
    }

    const std::optional<int> step = evenMinuteStep(minutes);
    if (step) {
        const QString every =
            *step == 1 ? QStringLiteral("Every minute") : QStringLiteral("Every %1 minutes").arg(*step);
        bool plainHours = true;
        for (const Element& element : hours.elements)
            plainHours = plainHours && (element.step == 1 || element.count() == 1);
        if (!plainHours)
            return {every + QStringLiteral(" during hours ") + listText(hours, pad2)};
        const int firstMinute = minuteValues.first();
        const int lastMinute = minuteValues.last();
        QStringList windows;
        for (const Element& element : hours.elements) {
            windows << pad2(element.first) + QLatin1Char(':') + pad2(firstMinute) + QLatin1Char('-') +
                           pad2(element.lastValue()) + QLatin1Char(':') + pad2(lastMinute);
        }
        return {every + QStringLiteral(", ") + windows.join(QStringLiteral(", "))};
    }
    return {QStringLiteral("At minutes %1 of hours %2").arg(listText(minutes, pad2), listText(hours, pad2))};
}

// The days of a line whose two day fields are both restricted, where
// either one matching runs the job: "Fri, and every 1st, 15th of the month".
QString eitherDayText(const QString& dayList, const QString& dateList, const QString& monthList) {
    if (monthList.isEmpty())
        return dayList + QStringLiteral(", and every ") + dateList + QStringLiteral(" of the month");
    const QString ofMonths = QStringLiteral(" of ") + monthList;
    return dayList + ofMonths + QStringLiteral(", and every ") + dateList + ofMonths;
}

// Whether some chosen day of the month exists in some chosen month; February
// counts its 29th, which comes in leap years.
bool anyDateExists(const Field& daysOfMonth, const Field& months) {
    static const int monthLengths[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month : months.values()) {
        for (int day : daysOfMonth.values()) {
            if (day <= monthLengths[month - 1])
                return true;
        }
    }
    return false;
}

QString keywordText(const QString& keyword) {
    static const std::pair<const char*, const char*> keywords[] = {
        {"@reboot", "At system startup"},
        {"@yearly", "Every January 1st at 00:00"},
        {"@annually", "Every January 1st at 00:00"},
        {"@monthly", "Every 1st of the month at 00:00"},
        {"@weekly", "Every Sun at 00:00"},
        {"@daily", "Every day at 00:00"},
        {"@midnight", "Every day at 00:00"},
        {"@hourly", "Every hour at minute 00"}};
    for (const auto& [word, text] : keywords) {
        if (keyword == QLatin1String(word))
            return QString::fromLatin1(text);
    }
    return QString();
}

const QString invalid = QStringLiteral("Invalid");

ScheduleReading refused(const QString& why) {
    return {invalid, {QStringLiteral("cron refuses the line: ") + why}, false, why};
}

bool isCronBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The fields between spaces and tabs, cron's only blanks: to cron, a
// carriage return is part of a field.
QStringList cronWords(const QString& text) {
    QStringList words;
    int i = 0;
    while (i < text.size()) {
        while (i < text.size() && isCronBlank(text.at(i)))
            ++i;
        const int start = i;
        while (i < text.size() && !isCronBlank(text.at(i)))
            ++i;
        if (i > start)
            words << text.mid(start, i - start);
    }
    return words;
}

} // namespace

QString ordinalSuffix(const QString& day) {
    if (day.endsWith(QLatin1Char('1')) && !day.endsWith(QLatin1String("11")))
        return QStringLiteral("st");
    if (day.endsWith(QLatin1Char('2')) && !day.endsWith(QLatin1String("12")))
        return QStringLiteral("nd");
    if (day.endsWith(QLatin1Char('3')) && !day.endsWith(QLatin1String("13")))
        return QStringLiteral("rd");
    return QStringLiteral("th");
}

namespace {

// The five fields as cron reads them, or why it refuses them.
struct Fields {
    Field fields[5];
    QStringList notes;
    QString refusal;
    QString keywordSentence; // for an "@" keyword
};

Fields readFields(const QStringList& texts) {
    Fields read;
    if (!texts.isEmpty() && texts.first().startsWith(QLatin1Char('@'))) {
        // The keyword is the whole word: "@daily#x" is no keyword.
        read.keywordSentence = texts.size() == 1 ? keywordText(texts.first()) : QString();
        if (read.keywordSentence.isEmpty())
            read.refusal = QStringLiteral("it knows only @reboot, @yearly, @annually, @monthly, @weekly, "
                                          "@daily, @midnight and @hourly, in lower case");
        return read;
    }
    // Cron reads the fields in order and stops at the first it cannot read.
    for (int i = 0; i < qMin(5, int(texts.size())); ++i) {
        FieldResult result = parseField(texts.at(i), *fieldKinds[i]);
        if (!result.field) {
            read.refusal = result.problem;
            return read;
        }
        read.fields[i] = std::move(*result.field);
        read.notes += result.notes;
    }
    if (texts.size() < 5)
        read.refusal = QStringLiteral("a schedule has five time fields; the %1 is missing")
                           .arg(QLatin1String(fieldKinds[texts.size()]->what));
    else if (texts.size() > 5)
        read.refusal = QStringLiteral("a schedule has five time fields");
    return read;
}

} // namespace

QString scheduleRefusal(const QStringList& fields) {
    return readFields(fields).refusal;
}

ScheduleFieldReading readScheduleField(int field, const QString& text) {
    const FieldResult result = parseField(text, *fieldKinds[field]);
    return {result.problem, result.listLength};
}

QString scheduleFieldName(int field) {
    return QLatin1String(fieldKinds[field]->what);
}

ScheduleReading readSchedule(const QString& schedule) {
    const Fields read = readFields(cronWords(schedule));
    if (!read.refusal.isEmpty())
        return refused(read.refusal);
    if (!read.keywordSentence.isEmpty())
        return {read.keywordSentence, {}, true, {}};
    const Field* const fields = read.fields;
    const QStringList& notes = read.notes;
    const Field& minutes = fields[0];
    const Field& hours = fields[1];
    const Field& daysOfMonth = fields[2];
    const Field& months = fields[3];
    const Field& daysOfWeek = fields[4];

    // Which of the day fields restrict the day, and how the two combine.
    const bool eitherDay = !daysOfMonth.startsWithStar && !daysOfWeek.startsWithStar;
    bool byDayOfMonth = !daysOfMonth.full;
    bool byDayOfWeek = !daysOfWeek.full;
    bool noDay = false;
    if (eitherDay) {
        if (daysOfMonth.full || daysOfWeek.full) {
            byDayOfMonth = byDayOfWeek = false;
        } else {
            // An empty range leaves the other field to decide alone.
            noDay = daysOfMonth.empty && daysOfWeek.empty;
            byDayOfMonth = !daysOfMonth.empty;
            byDayOfWeek = !daysOfWeek.empty;
        }
    } else {
        noDay = daysOfMonth.empty || daysOfWeek.empty;
    }
    if (minutes.empty || hours.empty || months.empty || noDay)
        return {QStringLiteral("Never"), notes, false, {}};

    const bool byMonth = !months.full;
    const QString monthList = listText(months, monthName);
    const QString dayList = listText(daysOfWeek, dayName);
    const QString dateList = listText(daysOfMonth, ordinal);
    const QString ofMonths = QStringLiteral(" of ") + (byMonth ? monthList : QStringLiteral("the month"));

    // A date that no chosen month has ("31 2": Feb 31st) never comes, unless
    // the day of the week may match instead.
    const bool datesExist = !byDayOfMonth || anyDateExists(daysOfMonth, months);
    if (byDayOfMonth && !(eitherDay && byDayOfWeek) && !datesExist) {
        const bool oneMonth = months.values().size() == 1;
        return {QStringLiteral("Never: %1 %2 no %3")
                    .arg(monthList, oneMonth ? QStringLiteral("has") : QStringLiteral("have"), dateList),
                notes,
                false,
                {}};
    }
    if (!datesExist)
        byDayOfMonth = false; // the day of the week alone decides

    const TimeText time = describeTime(minutes, hours);
    QString days;
    if (time.fixed) {
        // "Every <days> at <time>"
        if (byDayOfWeek && byDayOfMonth && eitherDay)
            days = eitherDayText(dayList, dateList, byMonth ? monthList : QString());
        else if (byDayOfWeek && byDayOfMonth)
            days = dayList + QStringLiteral(" that is the ") + dateList + ofMonths;
        else if (byDayOfWeek)
            days = dayList + (byMonth ? QStringLiteral(" of ") + monthList : QString());
        else if (byDayOfMonth)
            days = dateList + ofMonths;
        else
            days = byMonth ? QStringLiteral("day in ") + monthList : QStringLiteral("day");
        return {QStringLiteral("Every ") + days + QLatin1Char(' ') + time.text, notes, true, {}};
    }

    // "<how often>, <on which days>"
    if (byDayOfWeek && byDayOfMonth && eitherDay)
        days = QStringLiteral("every ") + eitherDayText(dayList, dateList, byMonth ? monthList : QString());
    else if (byDayOfWeek && byDayOfMonth)
        days = dayList + QStringLiteral(" that is the ") + dateList + ofMonths;
    else if (byDayOfWeek)
        days = dayList + (byMonth ? QStringLiteral(" in ") + monthList : QString());
    else if (byDayOfMonth)
        days = QStringLiteral("on the ") + dateList + ofMonths;
    else if (byMonth)
        days = QStringLiteral("in ") + monthList;
    return {days.isEmpty() ? time.text : time.text + QStringLiteral(", ") + days, notes, true, {}};
}

QString scheduleToText(const QString& schedule) {
    return readSchedule(schedule).sentence;
}
