#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

// One parsed line of each Logs page. Severity: 0 information, 1 warning,
// 2 error. Numbers start at 0 so that a record nobody filled is harmless.
// The icons stay null: records are made on the worker's thread, where no
// pixmap may be made, and the page draws icons of its own.

struct DetailsLogsSysLog {
    QString timestamp;
    QString hostname;
    QString service;
    QString message;
    int severity = 0;
    QIcon icon;
};

struct DetailsLogsAuthLog {
    QString timestamp;
    QString hostname;
    QString service;
    QString message;
    int severity = 0;
    QIcon icon;
};

struct DetailsLogsKernLog {
    QString timestamp;
    QString hostname;
    QString component;
    QString kernelTime;
    QString message;
    int severity = 0;
    QIcon icon;
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
