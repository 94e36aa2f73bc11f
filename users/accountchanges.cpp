#include "accountchanges.h"

#include "accountfiles.h"
#include "accountlookup.h"
#include "accountqueries.h"
#include "accounttext.h"
#include "commandrunner.h"
#include "programsettings.h"
#include "safefile.h"
#include "securitylevel.h"
#include "systempaths.h"
#include "userslog.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThreadPool>

namespace {
constexpr int commandTimeoutMs = 30000;
constexpr uint firstRegularUid = 1000;

void setError(QString* error, const QString& text) {
    qCWarning(lcUsers).noquote() << text;
    if (error)
        *error = text;
}

bool checkName(const QString& username, QString* error) {
    if (AccountFiles::isValidAccountName(username))
        return true;
    setError(error, QStringLiteral("Refusing unusual account name %1").arg(username));
    return false;
}

CommandOptions withTimeout(int timeoutMs = commandTimeoutMs) {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    return options;
}

// A file of mode, owned by owner (root's own by default).
SafeFile::WriteRules fileRules(mode_t mode, uid_t owner = ::geteuid(), gid_t group = ::getegid()) {
    SafeFile::WriteRules rules;
    rules.mode = mode;
    rules.owner = owner;
    rules.group = group;
    return rules;
}

QString runFailure(const QString& program, const CommandResult& result) {
    return result.describeFailure(program);
}

// The changes of membership that the group file, read now, does not show:
// the groups of added that do not list username, those of removed that still do.
QStringList membershipsNotInGroupFile(const QString& username, int primaryGid, const QStringList& added,
                                      const QStringList& removed = QStringList()) {
    const QStringList now = AccountFiles::userGroups(username, primaryGid, AccountQueries::readGroups());
    QStringList notDone;
    for (const QString& group : added)
        if (!now.contains(group))
            notDone << group;
    for (const QString& group : removed)
        if (now.contains(group))
            notDone << group;
    return notDone;
}
} // namespace

namespace AccountChanges {

QString polkitRulePath(const QString& username) {
    return SystemPaths::path(QStringLiteral("/etc/polkit-1/rules.d/99-%1-nopassword.rules").arg(username));
}

QString sudoersRulePath(const QString& username) {
    return SystemPaths::path(QStringLiteral("/etc/sudoers.d/%1-nopassword").arg(username));
}

bool createNoPasswordRules(const QString& username, QString* error) {
    if (!checkName(username, error))
        return false;
    if (!AccountQueries::isInAdminGroup(username)) {
        setError(error, QStringLiteral("%1 is not an administrator").arg(username));
        return false;
    }
    const QString polkitPath = polkitRulePath(username);
    if (!SafeFile::write(polkitPath, AccountFiles::polkitRule(username), fileRules(0644), error))
        return false;
    qCDebug(lcUsers) << "Polkit file created and written successfully:" << polkitPath;
    const auto visudoAccepts = [](const QString& candidate) {
        const CommandResult check =
            CommandRunner::run(QStringLiteral("visudo"),
                               {QStringLiteral("-c"), QStringLiteral("-q"), QStringLiteral("-f"), candidate},
                               withTimeout(10000));
        return check.succeeded();
    };
    const QString sudoersPath = sudoersRulePath(username);
    SafeFile::WriteRules sudoersRules = fileRules(0440);
    sudoersRules.check = visudoAccepts;
    if (!SafeFile::write(sudoersPath, AccountFiles::sudoersRule(username), sudoersRules, error)) {
        SafeFile::remove(polkitPath);
        return false;
    }
    qCDebug(lcUsers) << "Sudoers file created and written successfully:" << sudoersPath;
    return true;
}

bool removeNoPasswordRules(const QString& username) {
    if (!checkName(username, nullptr))
        return false;
    bool ok = true;
    for (const QString& path : {polkitRulePath(username), sudoersRulePath(username)}) {
        QString error;
        if (!SafeFile::remove(path, &error)) {
            qCWarning(lcUsers).noquote() << error;
            ok = false;
        }
    }
    return ok;
}

namespace {
// Rewrites the program's settings file of an account (named as Debian names
// accounts) as root, atomically; never one that would not come back byte for
// byte.
template <typename Rewrite> bool rewriteSettings(const QString& username, Rewrite rewrite, QString* error) {
    const QString path = ProgramSettings::filePath(username);
    if (!SecurityLevel::ensureSettingsFolder()) {
        setError(error, QStringLiteral("The folder of %1 could not be made.").arg(path));
        return false;
    }
    QString text;
    if (!AccountText::readForRewrite(path, AccountText::Links::Refuse, &text, error)) {
        qCWarning(lcUsers).noquote() << (error ? *error : path);
        return false;
    }
    QString writeError;
    if (!SafeFile::write(path, rewrite(text).toUtf8(), fileRules(0600), &writeError)) {
        setError(error, QStringLiteral("Failed to write the settings file %1: %2").arg(path, writeError));
        return false;
    }
    return true;
}
} // namespace

bool writeSecurityLevel(const QString& username, int level, QString* error) {
    if (!checkName(username, error))
        return false;
    if (level < 0 || level > 2) {
        setError(error, QStringLiteral("There is no security level %1.").arg(level));
        return false;
    }
    if (!rewriteSettings(
            username, [level](const QString& text) { return AccountFiles::withSecurityLevel(text, level); },
            error))
        return false;
    qCDebug(lcUsers) << "Security level updated successfully for user:" << username;
    return true;
}

bool setSecurityLevel(const QString& username, int level, QString* error) {
    if (level == 0) {
        if (!createNoPasswordRules(username, error))
            return false;
    } else if (!removeNoPasswordRules(username)) {
        setError(error, QStringLiteral("The password-free rules of %1 could not be removed").arg(username));
        return false;
    }
    QString saveError;
    if (!writeSecurityLevel(username, level, &saveError)) {
        if (level == 0)
            removeNoPasswordRules(username);
        setError(error, saveError);
        return false;
    }
    return true;
}

bool updateDescription(const QString& username, const QString& description, QString* error) {
    return checkName(username, error) && rewriteSettings(
                                             username,
                                             [&description](const QString& text) {
                                                 return AccountFiles::withDescription(text, description);
                                             },
                                             error);
}

bool setAutoLogin(const QString& username, bool enable, QString* error) {
    if (!checkName(username, error))
        return false;
    const QString path = SystemPaths::path(QStringLiteral("/etc/lightdm/lightdm.conf"));
    QString text;
    bool exists = false;
    if (!AccountText::readForRewrite(path, AccountText::Links::Follow, &text, error, &exists)) {
        qCWarning(lcUsers).noquote() << (error ? *error : path);
        return false;
    }
    if (!exists) {
        // Nothing names the account when there is no file; switching on needs one.
        if (!enable)
            return true;
        setError(error, QStringLiteral("%1 does not exist; is LightDM installed?").arg(path));
        return false;
    }
    const QString changed = AccountFiles::withAutoLogin(text, username, enable);
    if (changed == text)
        return true;
    QString writeError;
    if (!SafeFile::write(path, changed.toUtf8(), fileRules(0644), &writeError)) {
        setError(error, QStringLiteral("Failed to write %1: %2").arg(path, writeError));
        return false;
    }
    return true;
}

bool updateRealName(const QString& username, const QString& realName, QString* error) {
    if (!checkName(username, error))
        return false;
    if (realName.isEmpty()) {
        setError(error, QStringLiteral("Username or new real name cannot be empty."));
        return false;
    }
    if (!AccountFiles::isAcceptableRealName(realName)) {
        setError(error, QStringLiteral("A full name cannot hold ':', ',' or a line break."));
        return false;
    }
    const QList<PasswdEntry> passwd = AccountQueries::readPasswd();
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, username);
    const QString gecos = AccountFiles::withRealName(entry ? entry->gecos : QString(), realName);
    const CommandResult result =
        CommandRunner::run(QStringLiteral("usermod"),
                           {QStringLiteral("-c"), gecos, QStringLiteral("--"), username}, withTimeout());
    if (!result.succeeded()) {
        setError(error, QStringLiteral("Failed to update real name: %1").arg(runFailure("usermod", result)));
        return false;
    }
    qCDebug(lcUsers) << "Real name updated successfully.";
    return true;
}

bool changePassword(const QString& username, const QString& password, QString* error) {
    if (!checkName(username, error))
        return false;
    if (password.isEmpty() || !AccountFiles::isAcceptablePassword(password)) {
        setError(error, QStringLiteral("A password cannot be empty or hold a line break or NUL."));
        return false;
    }
    CommandOptions options = withTimeout();
    options.input = username.toUtf8() + ':' + password.toUtf8() + '\n';
    const CommandResult result = CommandRunner::run(QStringLiteral("chpasswd"), {}, options);
    options.input.fill('\0');
    if (!result.succeeded()) {
        setError(error, QStringLiteral("Failed to update password: %1").arg(runFailure("chpasswd", result)));
        return false;
    }
    return true;
}

bool setAccountsServiceIcon(const QString& filePath, const QString& uid) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCWarning(lcUsers) << "Error connecting to AccountService: no system bus";
        return false;
    }
    QDBusInterface accounts(QStringLiteral("org.freedesktop.Accounts"),
                            QStringLiteral("/org/freedesktop/Accounts/User%1").arg(uid),
                            QStringLiteral("org.freedesktop.Accounts.User"), bus);
    if (!accounts.isValid()) {
        qCWarning(lcUsers) << "Error connecting to AccountService";
        return false;
    }
    accounts.setTimeout(5000);
    const QDBusReply<void> reply = accounts.call(QStringLiteral("SetIconFile"), filePath);
    if (!reply.isValid()) {
        qCWarning(lcUsers) << "Failed to set profile image:" << reply.error().message();
        return false;
    }
    qCDebug(lcUsers) << "Profile image updated successfully!";
    return true;
}

bool applyPicture(const QString& username, const QByteArray& picture, QString* error) {
    if (!checkName(username, error))
        return false;
    const SystemAccount account = lookupAccount(username);
    if (!account.found || account.uid < firstRegularUid) {
        setError(error, QStringLiteral("No regular account named %1").arg(username));
        return false;
    }
    // A home that is no absolute path names no folder of the account's.
    if (!account.home.startsWith(QLatin1Char('/'))) {
        setError(error, QStringLiteral("Cannot open home folder %1").arg(account.home));
        return false;
    }
    // The home folder belongs to the account: the file goes in without
    // following a link the account planted, and is handed to it.
    if (!SafeFile::write(account.home + QStringLiteral("/.face"), picture,
                         fileRules(0644, account.uid, account.gid), error))
        return false;
    // The service copies the picture; it gets a file only root can change.
    QTemporaryDir folder;
    const QString copy = folder.path() + QStringLiteral("/face");
    if (folder.isValid() && SafeFile::write(copy, picture, fileRules(0644)))
        setAccountsServiceIcon(copy, QString::number(account.uid));
    return true;
}

bool updateUserGroups(const QString& username, const QStringList& wanted, const QStringList& current,
                      QString* error) {
    if (!checkName(username, error))
        return false;
    const QList<PasswdEntry> passwd = AccountQueries::readPasswd();
    const QList<GroupEntry> groupFile = AccountQueries::readGroups();
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, username);
    const int primaryGid = entry ? entry->gid : -1;
    // Another administrator may have gone since the dialog opened.
    const QString sudo = QStringLiteral("sudo");
    if (!wanted.contains(sudo) && AccountFiles::userGroups(username, primaryGid, groupFile).contains(sudo) &&
        AccountFiles::isOnlyAdministrator(username, passwd, groupFile)) {
        setError(error, QStringLiteral("%1 is the only administrator, so it stays in the group sudo; "
                                       "no group was changed.")
                            .arg(username));
        return false;
    }
    QMap<QString, int> gids;
    for (const GroupEntry& group : groupFile)
        gids.insert(group.name, group.gid);
    const auto changeable = [&](const QString& group) {
        const QString name = group.trimmed();
        return !name.isEmpty() && AccountFiles::isPlainGroupName(name) && gids.value(name, -1) != primaryGid;
    };
    QStringList added, removed;
    for (const QString& group : wanted)
        if (!current.contains(group) && changeable(group) && !added.contains(group.trimmed()))
            added << group.trimmed();
    for (const QString& group : current)
        if (!wanted.contains(group) && changeable(group) && !removed.contains(group.trimmed()))
            removed << group.trimmed();
    // usermod reads the group file after taking its lock; Debian's gpasswd
    // reads the group before, so two changes to one group at the same time
    // (another admin's tool, an account being added) lose one of them.
    bool ok = true;
    const auto usermod = [&](const QString& flag, const QStringList& groups) {
        if (groups.isEmpty())
            return;
        const QStringList arguments{flag, QStringLiteral("-G"), groups.join(QLatin1Char(',')),
                                    QStringLiteral("--"), username};
        const CommandResult result = CommandRunner::run(QStringLiteral("usermod"), arguments, withTimeout());
        if (!result.succeeded() && ok) {
            setError(error,
                     runFailure(QStringLiteral("usermod %1 -G %2").arg(flag, groups.join(QLatin1Char(','))),
                                result));
            ok = false;
        }
    };
    usermod(QStringLiteral("-a"), added);
    usermod(QStringLiteral("-r"), removed);
    if (ok && (!added.isEmpty() || !removed.isEmpty())) {
        // Said done only when the group file shows it.
        const QStringList notDone = membershipsNotInGroupFile(username, primaryGid, added, removed);
        if (!notDone.isEmpty()) {
            setError(error,
                     QStringLiteral("The membership of %1 in %2 did not change; another program may have "
                                    "changed the groups at the same time.")
                         .arg(username, notDone.join(QStringLiteral(", "))));
            ok = false;
        }
    }
    if (!AccountQueries::isInAdminGroup(username)) {
        if (SecurityLevel::ofAccount(username) == 0 || QFileInfo::exists(sudoersRulePath(username)) ||
            QFileInfo::exists(polkitRulePath(username))) {
            removeNoPasswordRules(username);
            QString levelError;
            if (!writeSecurityLevel(username, 1, &levelError) && ok) {
                setError(error, levelError);
                ok = false;
            }
        }
    }
    return ok;
}

QStringList groupsForNewAccount(bool administrator) {
    QStringList wanted = AccountFiles::standardGroups();
    if (administrator)
        wanted << QStringLiteral("sudo") << QStringLiteral("adm");
    QStringList present;
    for (const QString& group : wanted) {
        if (groupExists(group))
            present.append(group);
        else
            qCDebug(lcUsers) << "Group" << group << "does not exist here; not adding it";
    }
    return present;
}

bool createUser(const QString& username, const QString& password, bool administrator,
                const QByteArray& picture, QString* error, QString* pictureWarning, QString* groupsWarning) {
    const QString problem = AccountFiles::accountNameProblem(username);
    if (!problem.isEmpty()) {
        setError(error, problem);
        return false;
    }
    if (password.isEmpty() || !AccountFiles::isAcceptablePassword(password)) {
        setError(error, QStringLiteral("A password cannot be empty or hold a line break or NUL."));
        return false;
    }
    if (lookupAccount(username).found) {
        setError(error, QStringLiteral("Username is already in use."));
        return false;
    }
    removeAccountGrants(username);
    QStringList arguments{QStringLiteral("-m"), QStringLiteral("-s"), QStringLiteral("/bin/bash")};
    const QStringList groups = groupsForNewAccount(administrator);
    if (!groups.isEmpty())
        arguments << QStringLiteral("-G") << groups.join(QLatin1Char(','));
    arguments << QStringLiteral("--") << username;
    const CommandResult created = CommandRunner::run(QStringLiteral("useradd"), arguments, withTimeout());
    if (!created.succeeded()) {
        setError(error, QStringLiteral("Failed to create user: %1").arg(runFailure("useradd", created)));
        return false;
    }
    qCDebug(lcUsers) << "Created a user called:" << username << ". His user type is" << administrator;
    QString passwordError;
    if (!changePassword(username, password, &passwordError)) {
        CommandRunner::run(QStringLiteral("userdel"), {QStringLiteral("-r"), QStringLiteral("--"), username},
                           withTimeout());
        setError(error, passwordError);
        return false;
    }
    // A membership counts only when the group file shows it, as after a change of groups.
    const QList<PasswdEntry> passwd = AccountQueries::readPasswd();
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, username);
    const QStringList notIn = membershipsNotInGroupFile(username, entry ? entry->gid : -1, groups);
    if (!notIn.isEmpty()) {
        const QString text = QStringLiteral("%1 is not in %2; another program may have changed the groups "
                                            "at the same time.")
                                 .arg(username, notIn.join(QStringLiteral(", ")));
        qCWarning(lcUsers).noquote() << text;
        if (groupsWarning)
            *groupsWarning = text;
    }
    QString pictureError;
    if (!picture.isEmpty() && !applyPicture(username, picture, &pictureError) && pictureWarning)
        *pictureWarning = pictureError;
    return true;
}

bool deleteUser(const QString& username, bool removeHome, QString* error, QString* warning) {
    if (!checkName(username, error))
        return false;
    const SystemAccount account = lookupAccount(username);
    if (!account.found || account.uid < firstRegularUid) {
        setError(error, QStringLiteral("No regular account named %1").arg(username));
        return false;
    }
    // Another administrator may have gone since the deletion was asked for.
    if (AccountFiles::isOnlyAdministrator(username, AccountQueries::readPasswd(),
                                          AccountQueries::readGroups())) {
        setError(error, QStringLiteral("%1 is the only administrator; without it nobody could administer "
                                       "this computer. Nothing was deleted.")
                            .arg(username));
        return false;
    }
    QStringList arguments;
    if (removeHome)
        arguments << QStringLiteral("-r");
    arguments << QStringLiteral("--") << username;
    const CommandResult result = CommandRunner::run(QStringLiteral("userdel"), arguments, withTimeout());
    const bool homeLeft = result.started && !result.timedOut && !result.crashed && result.exitCode == 12;
    if (!result.succeeded() && !homeLeft) {
        setError(error, runFailure(QStringLiteral("userdel"), result));
        return false;
    }
    QStringList warnings;
    if (homeLeft)
        warnings << QStringLiteral("The account was deleted, but its home folder could not be removed.");
    QString grantsError;
    if (!removeAccountGrants(username, &grantsError))
        warnings << grantsError;
    if (warning)
        *warning = warnings.join(QLatin1Char('\n'));
    return true;
}

bool removeAccountGrants(const QString& username, QString* error) {
    if (!checkName(username, error))
        return false;
    QStringList problems;
    if (!removeNoPasswordRules(username))
        problems << QStringLiteral("The password-free rules of %1 could not be removed.").arg(username);
    QString removeError;
    if (!SafeFile::remove(ProgramSettings::filePath(username), &removeError))
        problems << removeError;
    QString autoLoginError;
    if (!setAutoLogin(username, false, &autoLoginError))
        problems << autoLoginError;
    if (!problems.isEmpty())
        setError(error, problems.join(QLatin1Char('\n')));
    return problems.isEmpty();
}

QStringList soundCommand(const QString& user, uint uid, const QString& soundFile) {
    return {QStringLiteral("-u"),
            user,
            QStringLiteral("--"),
            QStringLiteral("env"),
            QStringLiteral("XDG_RUNTIME_DIR=/run/user/%1").arg(uid),
            QStringLiteral("PULSE_PROP=media.role=event"),
            QStringLiteral("paplay"),
            soundFile};
}

void playSoundAsInvokingUser(const QString& soundFile) {
    const QString user = qEnvironmentVariable("SUDO_USER");
    if (user.isEmpty()) {
        qCDebug(lcUsers) << "Error: SUDO_USER is not set!";
        return;
    }
    const SystemAccount account = lookupAccount(user);
    if (!account.found || !AccountFiles::isValidAccountName(user)) {
        qCDebug(lcUsers) << "No account for SUDO_USER" << user;
        return;
    }
    // A machine without a sound player simply plays nothing; sudo looks for
    // paplay on the same secure path.
    for (const QString& program : {QStringLiteral("sudo"), QStringLiteral("paplay")})
        if (CommandRunner::resolveProgram(program).isEmpty()) {
            qCDebug(lcUsers) << "No" << program << "to play" << soundFile;
            return;
        }
    const QStringList arguments = soundCommand(user, account.uid, soundFile);
    QThreadPool::globalInstance()->start([arguments] {
        // Without the sound file or a sound server of the user's (no desktop
        // session) it fails; a sound is no result anybody waits for.
        CommandOptions options = withTimeout(10000);
        options.exitStatusIsAnswer = true;
        const CommandResult result = CommandRunner::run(QStringLiteral("sudo"), arguments, options);
        if (!result.succeeded())
            qCDebug(lcUsers).noquote() << "No sound:" << result.describeFailure(QStringLiteral("sudo"));
    });
}

} // namespace AccountChanges
