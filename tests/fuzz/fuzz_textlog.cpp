// libFuzzer entry for the Syslog, Auth.log and Kern.log readers: every input
// is the text of a log file. For each line, in each log and line format, the
// walk and the anchored line pattern must give the same answer, a line they
// read must be read from its start (its time first, after a priority at
// most), and a kernel text's component must be
// split alike by the walk and its pattern; the pages built by the two must
// be the same, cell by cell and key by key.
#include "commandrunner.h"
#include "logparsers.h"
#include "logtable.h"
#include "textlogline.h"

#include <QLocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace LogParsers;
using TextLine::Field;

// Nothing quits here; the table's sorting asks.
bool CommandRunner::isAborted() {
    return false;
}

namespace {

[[noreturn]] void fail(const char* what, const QByteArray& line) {
    std::fprintf(stderr, "%s: \"%s\"\n", what, line.toPercentEncoding(" :[]").constData());
    abort();
}

QString text(const Field& field) {
    return QString::fromUtf8(field.data, field.size);
}

bool within(const Field& field, const char* start, const char* end) {
    return field.data >= start && field.data + field.size <= end;
}

void checkLine(const QByteArray& line) {
    // An exact-size copy, so a read past the line's end hits the redzone.
    const std::vector<char> bytes(line.constBegin(), line.constEnd());
    const char* start = bytes.data();
    const char* end = start + bytes.size();
    const QString decoded = QString::fromUtf8(line.constData(), line.size());
    for (const TextLog log : {TextLog::SysLog, TextLog::AuthLog, TextLog::KernLog}) {
        for (const LineFormat format : {LineFormat::Iso, LineFormat::Classic}) {
            TextLine::LineFields walked, matched;
            std::array<QByteArray, 4> storage;
            const bool walkedOk = TextLine::walkLine(log, format, start, int(bytes.size()), &walked);
            const bool matchedOk = TextLine::matchLine(log, format, decoded, storage, &matched);
            if (walkedOk != matchedOk)
                fail(walkedOk ? "walked a line the pattern does not match"
                              : "the walk missed a matching line",
                     line);
            if (!walkedOk)
                continue;
            if (walked.time.data != start + TextLine::priorityLength(start, int(bytes.size())) ||
                !within(walked.message, start, end) || walked.message.data + walked.message.size != end)
                fail("a line read from its middle", line);
            const QStringList byWalk = {text(walked.time), text(walked.host), text(walked.tag),
                                        text(walked.message)};
            const QStringList byPattern = {text(matched.time), text(matched.host), text(matched.tag),
                                           text(matched.message)};
            if (byWalk != byPattern) {
                std::fprintf(stderr, "log %d, format %d:\n  walk    %s\n  pattern %s\n", int(log),
                             int(format),
                             byWalk.join(QLatin1Char('|')).toUtf8().toPercentEncoding(" |").constData(),
                             byPattern.join(QLatin1Char('|')).toUtf8().toPercentEncoding(" |").constData());
                fail("the walk and the pattern read the fields apart", line);
            }
        }
    }
    // The line as a kernel text.
    Field component{nullptr, 0}, message{nullptr, 0}, patternComponent{nullptr, 0},
        patternMessage{nullptr, 0};
    std::array<QByteArray, 2> storage;
    const bool walkedOk = TextLine::walkComponent(start, int(bytes.size()), &component, &message);
    if (walkedOk != TextLine::matchComponent(decoded, storage, &patternComponent, &patternMessage))
        fail("the component walk and its pattern disagree", line);
    if (walkedOk && (component.data != start || !within(message, start, end) ||
                     text(component) != text(patternComponent) || text(message) != text(patternMessage)))
        fail("the component walk and its pattern read the fields apart", line);
}

QStringList cells(const LogTable& table) {
    QStringList out;
    for (int row = 0; row < table.rowCount(); ++row) {
        for (int column = 0; column < table.columnCount(); ++column)
            out << table.text(row, column);
        out << QString::number(int(table.look(row))) << QString::number(table.key(row));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool localeSet = [] {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        return true;
    }();
    (void)localeSet;
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    for (QByteArray line : input.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        checkLine(line);
    }
    TextLogContext context;
    context.referenceYear = 2025;
    context.referenceMonth = 3;
    for (const TextLog log : {TextLog::SysLog, TextLog::AuthLog, TextLog::KernLog}) {
        for (const LineFormat preferred : {LineFormat::Iso, LineFormat::Classic}) {
            context.preferred = preferred;
            const std::shared_ptr<LogTable> walked = parseTextLog(log, input, context);
            const std::shared_ptr<LogTable> matched =
                parseTextLog(log, input, context, LineReading::PatternsOnly);
            if (cells(*walked) != cells(*matched))
                fail("the pages built by the walk and by the patterns differ", input.left(200));
        }
    }
    return 0;
}
