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
    // For a script that a line runs: the file holding that line. For a
    // script that no line runs, the file of a line that would, when cron
    // ignores that file.
    QString runBy;

    // A crontab line: its number in the file, from 1.
    int line = 0;
    // Why cron refuses this line; empty when it reads it.
    QString lineRefusal;
    // Cron reads none of a file that holds a line it refuses, or whose
    // owner, mode or links it does not trust: then every job of the file
    // carries why, and the line that made it so (0 for the file itself).
    bool fileIgnored = false;
    int ignoredForLine = 0;
    QString fileIgnoredWhy;
};

Q_DECLARE_METATYPE(DetailsCronJob)
