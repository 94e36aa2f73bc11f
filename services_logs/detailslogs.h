#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

// One parsed line of each Logs page. Severity: 0 information, 1 warning,
// 2 error. Numbers start at 0 so that a record nobody filled is harmless.

struct DetailsLogsSysLog {
    QString timestamp;
    QString hostname;
    QString service;
    QString message;
    int severity = 0;
    QIcon icon;
    // Sort key of the shown time: seconds that grow with the written time,
    // the year of month-name times inferred from the file; 0 when unreadable.
    qint64 timeKey = 0;
};

struct DetailsLogsAuthLog {
    QString timestamp;
    QString hostname;
    QString service;
    QString message;
    int severity = 0;
    QIcon icon;
    // Sort key of the shown time: seconds that grow with the written time,
    // the year of month-name times inferred from the file; 0 when unreadable.
    qint64 timeKey = 0;
};

struct DetailsLogsKernLog {
    QString timestamp;
    QString hostname;
    QString component;
    QString kernelTime;
    QString message;
    int severity = 0;
    QIcon icon;
    // Sort key of the shown time: seconds that grow with the written time,
    // the year of month-name times inferred from the file; 0 when unreadable.
    qint64 timeKey = 0;
};

struct DetailsLogsDmesgLog {
    QString timestamp; // seconds since boot
    QString message;
    int severity = 0;
    QIcon icon;
};

struct DetailsLogsBootLog {
    QString timestamp;
    QString message;
    QString status; // "[ OK ]", "[ FAILED ]" or empty
    int severity = 0;
    QIcon icon;
};

// One local user with a summary of logins; no severity.
struct DetailsLogsFailLog {
    QString username;
    int logins = 0;
    bool loggedIn = false;
    QString timeSpent;
    int failedLogins = 0;
    int maxFails = 0;
    QString lastLogin;
};

struct DetailsLogsDpkgLog {
    QString timestamp;
    QString action;
    QString packageName;
    QString version;
    QString architecture;
    int severity = 0;
    QIcon icon;
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
    QIcon icon;
};

Q_DECLARE_METATYPE(DetailsLogsSysLog)
Q_DECLARE_METATYPE(DetailsLogsAuthLog)
Q_DECLARE_METATYPE(DetailsLogsKernLog)
Q_DECLARE_METATYPE(DetailsLogsDmesgLog)
Q_DECLARE_METATYPE(DetailsLogsBootLog)
Q_DECLARE_METATYPE(DetailsLogsFailLog)
Q_DECLARE_METATYPE(DetailsLogsDpkgLog)
Q_DECLARE_METATYPE(DetailsLogsFlatpakLog)
