#pragma once

#include "detailscronjob.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Text in, jobs out: crontab lines, account names and the naming rule of the
// periodic script folders. Crontab text is written by other accounts, so any
// byte sequence gives shown or skipped rows, never more.
namespace CronParser {

// Longest crontab line taken; longer ones are skipped.
constexpr int maxLineLength = 4096;

// The jobs of one crontab file. System format lines carry a user field after
// the schedule; a personal crontab's jobs run as user. A schedule is five
// time fields or one "@" word ("@reboot", "@daily", ...).
QList<DetailsCronJob> parseCrontab(const QByteArray& text, const QString& location, const QString& user,
                                   bool systemFormat);

// What runs the scripts of a periodic folder, and when.
struct FolderRunner {
    DetailsCronJob::Origin origin = DetailsCronJob::Origin::ScriptNotRun;
    QString schedule; // the crontab line's schedule, or anacron's period
    QString runBy;    // the file holding that line
    QString user = QStringLiteral("root");
};

// One job for an executable script of a periodic folder ("/etc/cron.daily/").
DetailsCronJob scriptJob(const QString& folder, const QString& fileName, const FolderRunner& runner);

// The folders a shell command hands to run-parts, without a trailing '/':
// "test -x /usr/sbin/anacron || { cd / && run-parts --report /etc/cron.daily; }"
// gives "/etc/cron.daily".
QStringList runPartsFolders(const QString& command);

// The program whose presence makes a command do nothing: P for a command
// that begins "test -x P ||" or "[ -x P ] ||"; empty for any other.
QString skippedWhenExecutable(const QString& command);

// The job lines of an anacrontab: period (days, or "@monthly") and command.
struct AnacronLine {
    QString period;
    QString command;
};
QList<AnacronLine> parseAnacrontab(const QByteArray& text);

// Who runs the folder (e.g. "/etc/cron.daily"): the first line of the
// system crontabs whose schedule cron reads and whose command runs it,
// unless its guard program is installed; else anacron's line for it when
// anacron is installed; else nothing. isExecutable answers for a program path.
FolderRunner folderRunner(const QString& folder, const QList<DetailsCronJob>& systemJobs,
                          const QList<AnacronLine>& anacronLines, const QString& anacrontabPath,
                          const std::function<bool(const QString&)>& isExecutable);

// Where anacron is installed on Debian.
inline const QString anacronProgram = QStringLiteral("/usr/sbin/anacron");

// The account names of a password file, in file order, each once; names
// that could not be a file name in the crontab spool are left out.
QStringList accountNames(const QByteArray& passwdText);

// Whether cron runs a file of this name from /etc/cron.d or a periodic folder:
// letters, digits, '_' and '-' only (so no backups such as "x.dpkg-old").
bool isRunPartsName(const QString& fileName);

} // namespace CronParser
