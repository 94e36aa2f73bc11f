#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Every change the program makes to an account, run as root. Names are
// checked against Debian's account name rule before they reach a command, a
// path or a rule file; commands get argument lists with names after "--";
// passwords travel on standard input; files are replaced atomically.
namespace AccountChanges {

// Paths of the files that belong to one account (under SystemPaths).
QString polkitRulePath(const QString& username);
QString sudoersRulePath(const QString& username);

// Security level 0: the password-free polkit rule and sudoers drop-in. Only
// for administrators; the sudoers file is checked with visudo before it is
// installed. False (and nothing left behind) when either could not be written.
bool createNoPasswordRules(const QString& username, QString* error = nullptr);
// Removes both files; true when neither is left.
bool removeNoPasswordRules(const QString& username);
// The settings file and lightdm.conf are rewritten only when they hold
// plain UTF-8 text; otherwise the change is refused and error names the file.
bool writeSecurityLevel(const QString& username, int level, QString* error = nullptr);
// Rules first, then the saved level; level 0 is saved only when its rules were
// really written, otherwise the old level stays and error says why.
bool setSecurityLevel(const QString& username, int level, QString* error = nullptr);

bool updateDescription(const QString& username, const QString& description, QString* error = nullptr);
// Switches the display manager's automatic login for username on or off.
bool setAutoLogin(const QString& username, bool enable, QString* error = nullptr);
bool updateRealName(const QString& username, const QString& realName, QString* error = nullptr);
bool changePassword(const QString& username, const QString& password, QString* error = nullptr);

// Writes picture (image file bytes) as the account's ~/.face and hands a
// root-owned copy to the account service.
bool applyPicture(const QString& username, const QByteArray& picture, QString* error = nullptr);
// Tells the account service over the system bus; a missing service is logged.
bool setAccountsServiceIcon(const QString& filePath, const QString& uid);

// Group membership through usermod, checked in the group file afterwards;
// the primary group is never touched. An account that leaves "sudo" loses
// its password-free rules. Taking the only administrator out of "sudo" is
// refused, judged from the group file as it is now, before any change.
bool updateUserGroups(const QString& username, const QStringList& wanted, const QStringList& current,
                      QString* error = nullptr);

// The groups a new account gets that exist here (the others are logged).
QStringList groupsForNewAccount(bool administrator);
// useradd, chpasswd and the picture. Leftover grants of an earlier account of
// the same name are removed first. A failed password removes the account
// again. Once the account is made: groupsWarning names the groups the group
// file does not show it in, pictureWarning tells of a picture that could not
// be placed.
bool createUser(const QString& username, const QString& password, bool administrator,
                const QByteArray& picture, QString* error = nullptr, QString* pictureWarning = nullptr,
                QString* groupsWarning = nullptr);
// userdel (with -r to remove the home folder), then every grant of the name.
// userdel's exit 12 (home folder not removed) counts as done, with a warning.
// The only administrator is never deleted, judged from the account files as
// they are now, before anything is removed.
bool deleteUser(const QString& username, bool removeHome, QString* error = nullptr,
                QString* warning = nullptr);
// The rules, settings file and automatic-login line of username; false, with
// error, when one of them could not be removed.
bool removeAccountGrants(const QString& username, QString* error = nullptr);

// Plays a sound as the desktop user (SUDO_USER) in the background; where
// there is no player, or it fails, that is only a debug line.
void playSoundAsInvokingUser(const QString& soundFile);
// The argument list for sudo that plays soundFile as user uid.
QStringList soundCommand(const QString& user, uint uid, const QString& soundFile);

} // namespace AccountChanges
