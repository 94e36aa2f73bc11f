#include "sysinfofigures.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace SysInfoFigures {

namespace {
const QRegularExpression& blanks() {
    static const QRegularExpression expression(QStringLiteral("\\s+"));
    return expression;
}
} // namespace

std::optional<double> parseUptime(const QString& text) {
    bool ok = false;
    const double seconds = text.section(QLatin1Char(' '), 0, 0).trimmed().toDouble(&ok);
    if (!ok || seconds < 0)
        return std::nullopt;
    return seconds;
}

QString formatUptime(double seconds, const QString& daySuffix) {
    const qint64 days = static_cast<qint64>(seconds / 86400);
    const qint64 hours = static_cast<qint64>((seconds - days * 86400) / 3600);
    const qint64 minutes = static_cast<qint64>((seconds - days * 86400 - hours * 3600) / 60);
    const qint64 rest = static_cast<qint64>(seconds - days * 86400 - hours * 3600 - minutes * 60);
    return QStringLiteral("%1%2 %3:%4:%5")
        .arg(days)
        .arg(daySuffix)
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(rest, 2, 10, QLatin1Char('0'));
}

MemInfo parseMemInfo(const QString& text) {
    struct Field {
        const char* key;
        qint64 MemInfo::*value;
    };
    static const Field fields[] = {
        {"MemTotal:", &MemInfo::memTotal},         {"MemFree:", &MemInfo::memFree},
        {"Buffers:", &MemInfo::buffers},           {"Cached:", &MemInfo::cached},
        {"MemAvailable:", &MemInfo::memAvailable}, {"SwapTotal:", &MemInfo::swapTotal},
        {"SwapFree:", &MemInfo::swapFree},
    };
    MemInfo info;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList parts = line.split(blanks(), Qt::SkipEmptyParts);
        if (parts.size() < 2)
            continue;
        bool ok = false;
        const qint64 kilobytes = parts.at(1).toLongLong(&ok, 10);
        if (!ok)
            continue;
        for (const Field& field : fields) {
            if (line.startsWith(QLatin1String(field.key))) {
                info.*field.value = kilobytes;
                break;
            }
        }
    }
    return info;
}

QString formatRamUsage(const MemInfo& info) {
    const qint64 available =
        info.memAvailable > 0 ? info.memAvailable : info.memFree + info.buffers + info.cached;
    const qint64 used = info.memTotal - available;
    const double usedGigabytes = used / 1024.0 / 1000.0;
    double totalGigabytes = info.memTotal / 1024.0 / 1000.0;
    // The kernel keeps some memory for itself: a total just below a round
    // size is shown as that size, as the modules are sold.
    const double totalRounded = std::round(info.memTotal / 1e6);
    if (totalGigabytes >= totalRounded - 0.1)
        totalGigabytes = totalRounded;
    const QString total = totalGigabytes == totalRounded
                              ? QStringLiteral("%1 GB").arg(static_cast<qint64>(totalRounded))
                              : QStringLiteral("%1 GB").arg(totalGigabytes, 0, 'f', 1);
    if (usedGigabytes >= 1.0)
        return QStringLiteral("%1 GB/%2").arg(usedGigabytes, 0, 'f', 1).arg(total);
    return QStringLiteral("%1 MB/%2").arg(used / 1024).arg(total);
}

QString formatSwapUsage(const MemInfo& info) {
    const qint64 used = info.swapTotal - info.swapFree;
    const double usedGigabytes = used / 1024.0 / 1024.0;
    const double totalGigabytes = info.swapTotal / 1024.0 / 1024.0;
    const QString total = QString::number(totalGigabytes, 'f', 0);
    if (usedGigabytes >= 1.0)
        return QStringLiteral("%1 GB/%2 GB").arg(usedGigabytes, 0, 'f', 1).arg(total);
    return QStringLiteral("%1 MB/%2 GB").arg(used / 1024).arg(total);
}

std::optional<int> parseLoadavgTaskCount(const QString& text) {
    const QString field = text.split(blanks(), Qt::SkipEmptyParts).value(3);
    const int slash = field.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return std::nullopt;
    bool ok = false;
    const int total = field.mid(slash + 1).toInt(&ok);
    if (!ok || total < 0)
        return std::nullopt;
    return total;
}

int countLoggedInUsers(const QVector<LoginRecords::Login>& records,
                       const std::function<bool(qint64)>& isAlive) {
    QSet<QString> names;
    for (const LoginRecords::Login& record : records) {
        if (record.pid <= 0 || isAlive(record.pid))
            names.insert(record.user);
    }
    return names.size();
}

} // namespace SysInfoFigures
