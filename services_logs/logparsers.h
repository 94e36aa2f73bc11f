#pragma once

#include "detailslogs.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

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
// The icon a record carries for its severity; built once and shared.
QIcon severityIcon(int severity);
// ISO times become "Mar 04 10:20:30" (month of the default locale); any other
// text is returned unchanged.
QString formatTimestamp(const QString& timestamp);
// The text before the first "[", trimmed.
QString stripPid(const QString& tag);

QList<DetailsLogsSysLog> parseSysLog(const QByteArray& text, const TextLogContext& context);
QList<DetailsLogsAuthLog> parseAuthLog(const QByteArray& text, const TextLogContext& context);
QList<DetailsLogsKernLog> parseKernLog(const QByteArray& text, const TextLogContext& context);

// Output of dmesg: "[    0.000000] Linux version ...". A line without a
// bracketed time continues the message before it and gets its time; one
// before any timed line is dropped (and counted in *dropped when given).
QList<DetailsLogsDmesgLog> parseDmesg(const QByteArray& text, int* dropped = nullptr);
QList<DetailsLogsBootLog> parseBootLog(const QByteArray& text);
QList<DetailsLogsDpkgLog> parseDpkgLog(const QByteArray& text);
QList<DetailsLogsFlatpakLog> parseFlatpakHistory(const QByteArray& text);

// Login records page.
struct FailCounter {
    QString username;
    int failures = 0;
    int maximum = 0;
};
struct LoginHistory {
    QHash<QString, QString> lastLoginText; // start text of the newest line of each account
    QHash<QString, int> loginCount;        // human accounts only
    QHash<QString, qint64> secondsSpent;   // human accounts only
};
// Account name -> numeric id from /etc/passwd.
QHash<QString, int> parsePasswdIds(const QByteArray& passwd);
bool isHumanAccount(const QHash<QString, int>& ids, const QString& name);
QList<FailCounter> parseFaillog(const QByteArray& text);
LoginHistory parseLast(const QByteArray& text, const QHash<QString, int>& ids);
// who run with LC_ALL=C.UTF-8 prints "alice pts/0 2025-03-03 09:12 (host)".
QHash<QString, QDateTime> parseWho(const QByteArray& text);
// Seconds of a last(1) duration: "08:28", "1+01:00"; 0 for "still logged in".
qint64 parseDuration(const QString& duration);
// "%1d %2:%3:%4"
QString formatTimeSpent(qint64 seconds);
// One record per human account that faillog lists, in faillog's order.
QList<DetailsLogsFailLog> buildLoginSummary(const QList<FailCounter>& counters, const LoginHistory& history,
                                            const QHash<QString, int>& ids,
                                            const QHash<QString, QDateTime>& activeLogins,
                                            const QDateTime& now);

} // namespace LogParsers
