#pragma once

#include "detailscronjob.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Text in, jobs out: crontab lines, account names and the naming rule of the
// periodic script folders. Crontab text is written by other accounts, so any
// byte sequence gives shown or skipped rows, never more.
namespace CronParser {

// Where a crontab comes from and how cron reads it.
struct CrontabSource {
    QString location; // full path, e.g. "/etc/cron.d/php"
    // /etc/crontab and /etc/cron.d: a user name follows the schedule.
    bool systemFormat = false;
    // A personal crontab: the account its jobs run as.
    QString owner;
    // System format: whether cron knows an account of this name.
    std::function<bool(const QString&)> isAccount;
};

// The longest command cron takes, in bytes; a longer one makes it refuse
// the line.
constexpr int maxCommandBytes = 998;

// The jobs of one crontab file as cron reads it: every line it would run,
// with its schedule as cron reads it, and the lines it refuses that still
// have the shape of a job. Cron refuses a file whole for one line it cannot
// read; then each of the file's jobs says so. Settings (NAME=value),
// comments and blank lines give no job.
QList<DetailsCronJob> parseCrontab(const QByteArray& text, const CrontabSource& source);

// Whether cron runs the job's line at some time: it reads the line and the
// file, and the schedule can match.
bool cronRunsLine(const DetailsCronJob& job);

// What stat says of a crontab file, and of the link that leads to it.
struct CrontabFileStatus {
    uint owner = 0;
    uint mode = 0600; // permission bits with set-id and sticky bits
    quint64 links = 1;
    bool throughLink = false;
    uint linkOwner = 0;
};

// Why cron ignores a whole crontab file for its owner, mode or links; empty
// when it reads it. System crontabs must belong to rootUid and be writable
// by nobody else; a personal one must belong to its account or to rootUid
// and have the mode 0600.
QString whyCronIgnoresFile(const CrontabFileStatus& status, bool systemFormat, uint rootUid,
                           std::optional<uint> accountUid);

// Marks every job as coming from a file cron ignores.
void markFileIgnored(QList<DetailsCronJob>& jobs, int line, const QString& why);

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

// The accounts of a password file, in file order, each once (the first
// entry wins, as for getpwnam); names that could not be a file name in the
// crontab spool are left out.
struct Account {
    QString name;
    std::optional<uint> uid;
};
QList<Account> readAccounts(const QByteArray& passwdText);

// Whether cron runs a file of this name from /etc/cron.d or a periodic folder:
// letters, digits, '_' and '-' only (so no backups such as "x.dpkg-old").
bool isRunPartsName(const QString& fileName);

} // namespace CronParser
