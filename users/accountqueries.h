#pragma once

#include "accountfiles.h"
#include "accountpicture.h"
#include "detailsgroup.h"
#include "detailsuser.h"

#include <QImage>
#include <QList>
#include <functional>
#include <optional>

// What the program reads about the local accounts: /etc/passwd, /etc/group,
// the lastlog file, the utmp login records, LightDM's configuration, the
// program's per-user settings and the accounts' pictures. Plain functions
// that keep no state; only the account list reads home folders, so only it
// must stay off the GUI thread.
namespace AccountQueries {

QList<PasswdEntry> readPasswd(bool* ok = nullptr);
QList<GroupEntry> readGroups(bool* ok = nullptr);

// The accounts the Users page lists, without their pictures: regular ones,
// and with showAll the system accounts too. Nothing when stop() turns true
// meanwhile (quitting, or the page going away).
std::optional<QList<DetailsUser>> listAccounts(bool showAll, const std::function<bool()>& stop);
// One account with every field but the picture (its home folder is not
// read); the default record when there is no such account.
DetailsUser userDetails(const QString& username);

QString userType(int uid, const QString& username);
// The groups adduser gives every account here (see AccountFiles::everyonesGroups),
// from /etc/adduser.conf; a machine without one has adduser's defaults.
QSet<QString> everyonesGroups(const QList<GroupEntry>& groups);
// The groups listing the account, plus its primary group, in file order.
QStringList userGroups(const QString& username);
int primaryGid(const QString& username);
bool isInAdminGroup(const QString& username);
// The picture at ~/.face as an account tile shows it, read at most as a
// small regular file the account owns; null for root, nobody, and an
// account without a usable one, or when stop turns true while it is decoded.
QImage picture(const DetailsUser& user, const QString& homeDirectory,
               const AccountPicture::StopCheck& stop = {});
// False for the accounts picture() never reads: root, nobody, no home.
bool mayHavePicture(const DetailsUser& user);
QString description(const DetailsUser& user);
bool isAutoLoginUser(const DetailsUser& user);
// Every group, as the group dialog shows it for username.
QList<DetailsGroup> groupsOf(const QString& username);

} // namespace AccountQueries
