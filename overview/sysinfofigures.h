#pragma once

#include "loginrecords.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

#include <optional>

// Pure readers and formatters of the Overview's live system figures: the
// text of a /proc file or a tool's output in, a number or label text out.
namespace SysInfoFigures {

// The first field of /proc/uptime, in seconds; nothing when it is not a number.
std::optional<double> parseUptime(const QString& text);
// "2D 07:33:20": whole days with the given suffix, then hours, minutes, seconds.
QString formatUptime(double seconds, const QString& daySuffix);

// The /proc/meminfo fields the panel uses, in kB; 0 when absent.
struct MemInfo {
    qint64 memTotal = 0;
    qint64 memFree = 0;
    qint64 buffers = 0;
    qint64 cached = 0;
    qint64 memAvailable = 0;
    qint64 swapTotal = 0;
    qint64 swapFree = 0;
};
MemInfo parseMemInfo(const QString& text);
// "4.9 GB/16 GB", "295 MB/16 GB": the total snapped to the marketed size when close.
QString formatRamUsage(const MemInfo& info);
// "2.3 GB/8 GB", "0 MB/0 GB".
QString formatSwapUsage(const MemInfo& info);

// The number of tasks (threads of every process) in /proc/loadavg's
// "running/total" field; nothing when the field is missing.
std::optional<int> parseLoadavgTaskCount(const QString& text);

// The number of distinct users among the logins of the utmp file, leaving out those whose
// process isAlive says has ended (as "who" does); a record without a process
// ID counts.
int countLoggedInUsers(const QVector<LoginRecords::Login>& records,
                       const std::function<bool(qint64)>& isAlive);

} // namespace SysInfoFigures
