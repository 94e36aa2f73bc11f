#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

// One scheduled job: a crontab line or a script of a periodic cron folder.
struct DetailsCronJob {
    QString name;
    QString user;
    QString schedule;
    QString command;
    QString type;     // "System" or "User"
    QString location; // full path of the file the job comes from
    QString status;
    QIcon icon;
};

Q_DECLARE_METATYPE(DetailsCronJob)
