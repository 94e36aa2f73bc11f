#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One scheduled job: a crontab line or a script of a periodic cron folder.
struct DetailsCronJob {
    // Where the job's time comes from. A crontab line carries its own
    // schedule; a script of /etc/cron.daily and the like runs when the line
    // that runs its folder says, or not at all.
    enum class Origin {
        CrontabLine,
        ScriptRunByCron,    // schedule: that crontab line's schedule
        ScriptRunByAnacron, // schedule: the anacrontab period ("1", "@monthly")
        ScriptNotRun,       // schedule: empty
    };

    QString name;
    QString user;
    QString schedule;
    QString command;
    QString type;     // "System" or "User"
    QString location; // full path of the file the job comes from
    QString status;
    Origin origin = Origin::CrontabLine;
    // For a script that a line runs: the file holding that line.
    QString runBy;
};

Q_DECLARE_METATYPE(DetailsCronJob)
