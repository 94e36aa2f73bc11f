#include "logparsers.h"

#include "textlogline.h"

#include <QDate>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace LogParsers {

using namespace TextLine;

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
    std::array<QByteArray, 2> matchedComponent;
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
        if (reading == LineReading::Walk)
            return walkLine(log, preferred, line, size, fields) || walkLine(log, other, line, size, fields);
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
            Field foundComponent{nullptr, 0}, foundMessage{nullptr, 0};
            const bool found = reading == LineReading::Walk
                                   ? walkComponent(text.data, text.size, &foundComponent, &foundMessage)
                                   : matchComponent(QString::fromUtf8(text.data, text.size), matchedComponent,
                                                    &foundComponent, &foundMessage);
            if (found) {
                component = trimmed(foundComponent, trimmedComponent);
                message = trimmed(foundMessage, trimmedMessage);
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
        // The service is the tag without its process number. A tag that is
        // nothing but a bracket ("[x y: z]") is shown as written: every row
        // names its sender.
        Field service = fields.tag;
        const char* bracket = static_cast<const char*>(std::memchr(service.data, '[', size_t(service.size)));
        if (bracket)
            service.size = int(bracket - service.data);
        service = trimmed(service, trimmedHost);
        if (service.size == 0)
            service = trimmed(fields.tag, trimmedHost);
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
