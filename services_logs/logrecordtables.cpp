#include "logrecordtables.h"

#include <QCoreApplication>

namespace {
// What a failed tool would have told.
QString notKnown() {
    return QCoreApplication::translate("TabLogs", "N/A");
}

LogLook severityLook(int severity) {
    return severity == 1 ? LogLook::Warning : severity == 2 ? LogLook::Error : LogLook::Information;
}

// dpkg installs, upgrades and removes; Flatpak installs, updates and uninstalls.
LogLook actionLook(const QString& action) {
    if (action == QLatin1String("install"))
        return LogLook::Install;
    if (action == QLatin1String("upgrade") || action == QLatin1String("update"))
        return LogLook::Upgrade;
    if (action == QLatin1String("remove") || action == QLatin1String("uninstall"))
        return LogLook::Remove;
    return LogLook::OtherAction;
}

QString numberOrUnknown(int value) {
    return value < 0 ? notKnown() : QString::number(value);
}

QString textOrUnknown(const QString& text) {
    return text.isEmpty() ? notKnown() : text;
}
} // namespace

namespace LogRecordTables {

LogTablePtr tableOf(const LogTablePtr& table) {
    return table ? table : std::make_shared<LogTable>(1, 0u, false);
}

LogTablePtr tableOf(const QList<DetailsLogsDmesgLog>& records) {
    auto table = std::make_shared<LogTable>(2, 0b10u, true);
    table->reserve(records.size(), 0);
    for (const DetailsLogsDmesgLog& record : records) {
        // Seconds since boot, to the microsecond dmesg prints.
        const auto micros = qint64(record.timestamp.trimmed().toDouble() * 1e6);
        table->appendRow({record.timestamp, record.message}, severityLook(record.severity), micros);
    }
    table->sortByKey();
    return table;
}

LogTablePtr tableOf(const QList<DetailsLogsBootLog>& records) {
    auto table = std::make_shared<LogTable>(2, 0b10u, false);
    for (const DetailsLogsBootLog& record : records)
        table->appendRow({record.status, record.message}, severityLook(record.severity));
    return table;
}

LogTablePtr tableOf(const QList<DetailsLogsFailLog>& records) {
    auto table = std::make_shared<LogTable>(7, 0b1u, false);
    for (const DetailsLogsFailLog& record : records) {
        const LogLook look = record.failedLogins < 0   ? LogLook::Unknown
                             : record.failedLogins < 1 ? LogLook::Calm
                                                       : LogLook::Alarm;
        const QString loggedIn = !record.loggedInKnown ? notKnown()
                                 : record.loggedIn     ? QCoreApplication::translate("TabLogs", "Yes")
                                                       : QCoreApplication::translate("TabLogs", "No");
        table->appendRow({record.username, numberOrUnknown(record.logins), loggedIn,
                          textOrUnknown(record.timeSpent), numberOrUnknown(record.failedLogins),
                          numberOrUnknown(record.maxFails), textOrUnknown(record.lastLogin)},
                         look);
    }
    return table;
}

LogTablePtr tableOf(const QList<DetailsLogsDpkgLog>& records) {
    auto table = std::make_shared<LogTable>(4, 0b100u, false);
    for (const DetailsLogsDpkgLog& record : records)
        table->appendRow({record.timestamp, record.action, record.packageName, record.version},
                         actionLook(record.action));
    return table;
}

LogTablePtr tableOf(const QList<DetailsLogsFlatpakLog>& records) {
    // The first column sorts by the record's running number.
    auto table = std::make_shared<LogTable>(5, 0b100u, true);
    for (const DetailsLogsFlatpakLog& record : records)
        table->appendRow({record.timestamp, record.action, record.appId, record.version, record.type},
                         actionLook(record.action), record.id);
    table->sortByKey();
    return table;
}

} // namespace LogRecordTables
