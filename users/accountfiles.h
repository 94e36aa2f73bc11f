#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// One line of /etc/passwd. fieldCount tells whether the line was complete:
// readers that need the home folder or the shell skip lines with fewer than 7.
struct PasswdEntry {
    QString name;
    int uid = 0;
    int gid = 0;
    QString gecos;
    QString home;
    QString shell;
    int fieldCount = 0;

    QString realName() const { return gecos.section(QLatin1Char(','), 0, 0); }
};

// One line of /etc/group.
struct GroupEntry {
    QString name;
    int gid = 0;
    QStringList members;
};

// Pure functions over the texts of the account files: text in, records out,
// and the rewrites of the files the program owns. No I/O here.
namespace AccountFiles {

// The groups every desktop account of this program belongs to, and the
// administrator set (those plus "sudo" and "adm").
QStringList standardGroups();
QStringList administratorGroups();

// Lines with fewer than 4 fields, and lines holding a NUL, are skipped; the
// rest keep their field count. A bad line hides no other line.
QList<PasswdEntry> parsePasswd(const QString& text);
QList<GroupEntry> parseGroup(const QString& text);
// The names of the groups defined in groups.
QSet<QString> groupNames(const QList<GroupEntry>& groups);
// The entries of wanted that name a group defined here, in wanted's order.
QStringList definedGroups(const QStringList& wanted, const QList<GroupEntry>& groups);
// The first entry named name, or nullptr.
const PasswdEntry* findPasswd(const QList<PasswdEntry>& entries, const QString& name);

// The groups adduser puts every new account in, from the text of
// adduser.conf (empty: its defaults): USERS_GROUP, or the group of USERS_GID,
// and EXTRA_GROUPS when ADD_EXTRA_GROUPS is on; only groups defined in
// groups, and never "sudo", which is what makes an administrator.
QSet<QString> everyonesGroups(const QString& adduserConf, const QList<GroupEntry>& groups);

// "Root account", "System account", "Service account", "Administrator",
// "Administrator (c)", "Regular user" or "Regular user (c)". The standard
// sets are those of their groups that this machine defines, so an account
// given every defined one reads as the plain type. Membership of
// everyonesGroups says nothing of the type and is left out.
QString userType(int uid, const QString& name, const QList<GroupEntry>& groups,
                 const QSet<QString>& everyones = QSet<QString>());
// The same from the names of the groups that list name (see groupsByMember)
// and the names of every group defined (see groupNames).
QString userType(int uid, const QString& name, const QSet<QString>& memberOf, const QSet<QString>& defined,
                 const QSet<QString>& everyones = QSet<QString>());
// For each member name, the groups that list it; built once for many accounts.
QHash<QString, QSet<QString>> groupsByMember(const QList<GroupEntry>& groups);
// The groups listing name, plus its primary group, in file order.
QStringList userGroups(const QString& name, int primaryGid, const QList<GroupEntry>& groups);
// name is the one member of "sudo" with a uid from 1000 to 65000.
bool isOnlyAdministrator(const QString& name, const QList<PasswdEntry>& passwd,
                         const QList<GroupEntry>& groups);
// Members of "sudo" with a uid from 1000 to 65000; memberOfSudo gets every listed name.
int administratorsInRange(const QList<PasswdEntry>& passwd, const QList<GroupEntry>& groups,
                          QStringList* memberOfSudo = nullptr);
// Names listed in "sudo" whose uid is above 999.
int countAdministrators(const QList<PasswdEntry>& passwd, const QList<GroupEntry>& groups);

// Text of one lastlog record in the C library's layout: "Never logged in"
// for time 0, the local time as ctime writes it otherwise, "Error" when the
// record is short.
QString lastLoginText(const QByteArray& record);
int lastLogRecordSize();

// A live "autologin-user=" line of the LightDM configuration names user.
bool autoLoginNames(const QString& lightdmConf, const QString& user);
// The configuration with user's automatic login switched on or off. Switching
// on rewrites every automatic-login line (live or commented out) to name user,
// or appends one; switching off comments out only lines that name user.
QString withAutoLogin(const QString& lightdmConf, const QString& user, bool enable);

// Settings file: "security_level=N" first, "description=..." later.
// The level of the first line: exactly "security_level=0" gives 0, 1 and 2
// read as themselves, and anything else reads as the safe 2.
int securityLevelFrom(const QString& settings);
QString descriptionFrom(const QString& settings);
QString withSecurityLevel(const QString& settings, int level);
QString withDescription(const QString& settings, const QString& description);

// Debian's rule for new account names: [a-z_][a-z0-9_-]{0,31}, the whole
// name (a final line break included).
bool isValidAccountName(const QString& name);
// A group name from /etc/group that may be handed to a command: it does not
// look like an option and holds no blank or line break; a machine account's
// trailing '$' is allowed.
bool isPlainGroupName(const QString& name);
// Why a name is refused, empty when it is accepted.
QString accountNameProblem(const QString& name);
// Every text accountNameProblem can give.
QStringList accountNameProblems();
// Passwords travel as "name:password" lines: no CR, LF or NUL.
bool isAcceptablePassword(const QString& password);
// Real names are the first part of the GECOS field: no ':' or ',' (which
// would split the field), no line breaks, no NUL.
bool isAcceptableRealName(const QString& realName);
// The GECOS field with its first part (the real name) replaced, the room,
// telephone and other parts kept.
QString withRealName(const QString& gecos, const QString& realName);

// The password-free rules of security level 0. Callers check the name first.
QString javaScriptString(const QString& text);
QByteArray polkitRule(const QString& name);
QByteArray sudoersRule(const QString& name);

} // namespace AccountFiles
