#pragma once

#include "detailscronjob.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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

// One job for an executable script of a periodic folder ("daily" ...).
DetailsCronJob scriptJob(const QString& folder, const QString& fileName, const QString& period);

// The account names of a password file, in file order, each once; names
// that could not be a file name in the crontab spool are left out.
QStringList accountNames(const QByteArray& passwdText);

// Whether cron runs a file of this name from /etc/cron.d or a periodic folder:
// letters, digits, '_' and '-' only (so no backups such as "x.dpkg-old").
bool isRunPartsName(const QString& fileName);

} // namespace CronParser
