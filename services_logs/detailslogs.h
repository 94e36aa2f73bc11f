#pragma once

#include "logtable.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One parsed line of each Logs page. Severity: 0 information, 1 warning,
// 2 error. Numbers start at 0 so that a record nobody filled is harmless.
// Records are made on the worker's thread and carry no picture: the page
// draws the icons of its rows itself.

struct DetailsLogsSysLog {
    QString timestamp;
    QString hostname;
    QString service;
    QString message;
    int severity = 0;
};

struct DetailsLogsAuthLog {
    QString timestamp;
    QString hostname;
    QString service;
    QString message;
    int severity = 0;
};

struct DetailsLogsKernLog {
    QString timestamp;
    QString hostname;
    QString component;
    QString kernelTime;
    QString message;
    int severity = 0;
};

struct DetailsLogsDmesgLog {
    QString timestamp; // seconds since boot
    QString message;
    int severity = 0;
};

struct DetailsLogsBootLog {
    QString timestamp;
    QString message;
    QString status; // "[ OK ]", "[ FAILED ]" or empty
    int severity = 0;
};

// One local user with a summary of logins; no severity. What a failed
// tool would have told is unknown: -1 for the numbers, empty for the texts,
// loggedInKnown false for loggedIn.
struct DetailsLogsFailLog {
    QString username;
    int logins = 0;
    bool loggedIn = false;
    QString timeSpent;
    int failedLogins = 0;
    int maxFails = 0;
    QString lastLogin;
    bool loggedInKnown = true;
};

struct DetailsLogsDpkgLog {
    QString timestamp;
    QString action;
    QString packageName;
    QString version;
    QString architecture;
    int severity = 0;
};

struct DetailsLogsFlatpakLog {
    int id = 0; // running number in the list, from 1
    QString timestamp;
    QString action;
    QString appId;
    QString version;
    QString type;
    QString remote;
    int severity = 0;
};

Q_DECLARE_METATYPE(DetailsLogsSysLog)
Q_DECLARE_METATYPE(DetailsLogsAuthLog)
Q_DECLARE_METATYPE(DetailsLogsKernLog)
Q_DECLARE_METATYPE(DetailsLogsDmesgLog)
Q_DECLARE_METATYPE(DetailsLogsBootLog)
Q_DECLARE_METATYPE(DetailsLogsFailLog)
Q_DECLARE_METATYPE(DetailsLogsDpkgLog)
Q_DECLARE_METATYPE(DetailsLogsFlatpakLog)

// One answer of the log worker for a page: its rows, or why there are none,
// and what the page should say about a partial answer (older lines left
// out, a tool that failed). Rows is a list of records, or the compact rows
// of a syslog-style file.
template <typename Rows> struct LogListing {
    Rows rows{};
    QString unavailable; // empty when the source was read
    QString note;
};

using TextLogListing = LogListing<LogTablePtr>;
using DmesgLogListing = LogListing<QList<DetailsLogsDmesgLog>>;
using BootLogListing = LogListing<QList<DetailsLogsBootLog>>;
using FailLogListing = LogListing<QList<DetailsLogsFailLog>>;
using DpkgLogListing = LogListing<QList<DetailsLogsDpkgLog>>;
using FlatpakLogListing = LogListing<QList<DetailsLogsFlatpakLog>>;

Q_DECLARE_METATYPE(TextLogListing)
Q_DECLARE_METATYPE(DmesgLogListing)
Q_DECLARE_METATYPE(BootLogListing)
Q_DECLARE_METATYPE(FailLogListing)
Q_DECLARE_METATYPE(DpkgLogListing)
Q_DECLARE_METATYPE(FlatpakLogListing)

// How far the read of a syslog-style file is: the share read and the rows
// made so far. source is a WorkerLogs::Source.
struct LogProgress {
    int source = 0;
    int percent = 0;
    int rows = 0;
};

Q_DECLARE_METATYPE(LogProgress)
