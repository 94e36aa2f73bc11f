#pragma once

#include "detailslogs.h"
#include "logtable.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

// Pure parsers for the sources of the Logs page: text in, records out. No
// I/O here; WorkerLogs reads files and runs tools and hands the bytes over.
// Every source is text other programs wrote: it is decoded as UTF-8 whatever
// the locale, and odd bytes, NULs, endless or cut-off lines only ever give a
// skipped or a shown row.
namespace LogParsers {

// Syslog-style files come in two line formats. rsyslog on Debian 12 and later
// writes ISO 8601 times ("2025-03-04T10:20:30.123456+01:00"), older releases
// month-name times ("Mar  4 10:20:30").
enum class LineFormat { Classic, Iso };

// The first run of digits in /etc/debian_version, or -1.
int debianMajorVersion(const QByteArray& debianVersion);
// The format a release writes by default; lines are tried in it first.
LineFormat preferredFormat(int debianMajor);

struct TextLogContext {
    LineFormat preferred = LineFormat::Iso;
    // Month-name times carry no year: the newest line is taken to be of the
    // year and month of the file's last change, earlier lines counted back.
    int referenceYear = 1970;
    int referenceMonth = 12;
};

// 2 when the message mentions "error", 1 for "warning", else 0 (any case).
int classifySeverity(const QString& message);
// The same for UTF-8 text.
int classifySeverity(const char* message, int size);
// ISO times become "Mar 04 10:20:30" (month of the default locale); any other
// text is returned unchanged.
QString formatTimestamp(const QString& timestamp);

// The three syslog-style logs and the columns of their pages:
//   SysLog   time, service, message
//   AuthLog  time, host, service, message
//   KernLog  time, host, component, message
// A line that fits no line pattern is kept whole in the message column and
// sorts with the line before it; blank lines are skipped.
enum class TextLog { SysLog, AuthLog, KernLog };
// Lines are read by a walk from the line's start that gives the line
// patterns' answer in one pass; PatternsOnly reads every line by the
// patterns themselves, for the tests that hold the two to the same answers.
enum class LineReading { Walk, PatternsOnly };

// Builds the page rows of one text log from its lines, oldest first.
class TextLogBuilder {
public:
    TextLogBuilder(TextLog log, const TextLogContext& context, LineReading reading = LineReading::Walk);
    ~TextLogBuilder();
    TextLogBuilder(const TextLogBuilder&) = delete;
    TextLogBuilder& operator=(const TextLogBuilder&) = delete;

    void reserve(int lines, qint64 bytes);
    // The year and month of the newest line, once known (see TextLogContext).
    void setReference(int year, int month);
    // One line, without its line break.
    void addLine(const char* line, int size);
    int rowCount() const;
    // Gives every row its sort key and sorts the keys; the builder is spent.
    std::shared_ptr<LogTable> finish();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// A whole text at once, split at line breaks.
std::shared_ptr<LogTable> parseTextLog(TextLog log, const QByteArray& text, const TextLogContext& context,
                                       LineReading reading = LineReading::Walk);

// Output of dmesg: "[    0.000000] Linux version ...". A line without a
// bracketed time continues the message before it and gets its time; one
// before any timed line is kept without a time.
QList<DetailsLogsDmesgLog> parseDmesg(const QByteArray& text);
QList<DetailsLogsBootLog> parseBootLog(const QByteArray& text);
// Installs, upgrades and removals; the version is the one installed by the
// change ("1.3-1 (was 1.2-1)" for an upgrade), or the one removed.
QList<DetailsLogsDpkgLog> parseDpkgLog(const QByteArray& text);
QList<DetailsLogsFlatpakLog> parseFlatpakHistory(const QByteArray& text);

// Login records page.
struct FailCounter {
    QString username;
    int failures = 0; // -1: unknown
    int maximum = 0;  // -1: unknown
};
struct LoginHistory {
    QHash<QString, QString> lastLoginText; // start text of the newest line of each account
    QHash<QString, int> loginCount;        // human accounts only
    QHash<QString, qint64> secondsSpent;   // human accounts only
};
// Account name -> numeric id from /etc/passwd.
QHash<QString, int> parsePasswdIds(const QByteArray& passwd);
// Accounts with an id of 1000 or more, but nobody, in the order of the file.
QStringList humanAccounts(const QByteArray& passwd);
bool isHumanAccount(const QHash<QString, int>& ids, const QString& name);
QList<FailCounter> parseFaillog(const QByteArray& text);
LoginHistory parseLast(const QByteArray& text, const QHash<QString, int>& ids);
// who run with LC_ALL=C.UTF-8 prints "alice pts/0 2025-03-03 09:12 (host)".
QHash<QString, QDateTime> parseWho(const QByteArray& text);
// Seconds of a last(1) duration: "08:28", "1+01:00"; 0 for "still logged in".
qint64 parseDuration(const QString& duration);
// "%1d %2:%3:%4"
QString formatTimeSpent(qint64 seconds);

// What faillog, last and who answered; a tool that failed leaves its part
// out, and the records then say "not known" for what only it could tell.
struct LoginSources {
    bool haveCounters = false;
    QList<FailCounter> counters;
    bool haveHistory = false;
    LoginHistory history;
    bool haveActive = false;
    QHash<QString, QDateTime> active;
};
// One record per human account that faillog lists, in faillog's order (or,
// without faillog, per human account of /etc/passwd in its order).
QList<DetailsLogsFailLog> buildLoginSummary(const LoginSources& sources, const QHash<QString, int>& ids,
                                            const QStringList& accounts, const QDateTime& now);

} // namespace LogParsers
