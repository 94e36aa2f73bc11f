#include "accountchanges.h"

#include "accountfiles.h"
#include "accountlookup.h"
#include "commandrunner.h"
#include "rootfiles.h"
#include "systempaths.h"
#include "userslog.h"
#include "workerusers.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QRegularExpression>
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

// Group names come from /etc/group; they still must not look like options.
bool isPlainGroupName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*\\$?$"));
    return pattern.match(name).hasMatch();
}

CommandOptions withTimeout(int timeoutMs = commandTimeoutMs) {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    return options;
}

QString runFailure(const QString& program, const CommandResult& result) {
    return result.describeFailure(program);
}
} // namespace

namespace AccountChanges {

QString polkitRulePath(const QString& username) {
    return SystemPaths::path(QStringLiteral("/etc/polkit-1/rules.d/99-%1-nopassword.rules").arg(username));
}

QString sudoersRulePath(const QString& username) {
    return SystemPaths::path(QStringLiteral("/etc/sudoers.d/%1-nopassword").arg(username));
}

QString settingsPath(const QString& username) {
    return SystemPaths::path(QStringLiteral("/root/.tessmar/settings_%1").arg(username));
}

bool createNoPasswordRules(const QString& username, QString* error) {
    if (!checkName(username, error))
        return false;
    if (!WorkerUsers::isUserInAdminGroup(username)) {
        setError(error, QStringLiteral("%1 is not an administrator").arg(username));
        return false;
    }
    const QString polkitPath = polkitRulePath(username);
    if (!RootFiles::writeAtomically(polkitPath, AccountFiles::polkitRule(username), 0644, error))
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
    if (!RootFiles::writeAtomically(sudoersPath, AccountFiles::sudoersRule(username), 0440, error,
                                    visudoAccepts)) {
        RootFiles::removeFile(polkitPath);
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
        if (!RootFiles::removeFile(path, &error)) {
            qCWarning(lcUsers).noquote() << error;
            ok = false;
        }
    }
    return ok;
}

namespace {
// Rewrites the program's settings file of an account as root, atomically.
template <typename Rewrite> bool rewriteSettings(const QString& username, Rewrite rewrite) {
    const QString path = settingsPath(username);
    if (!WorkerUsers::ensureDirectoryExists(QFileInfo(path).absolutePath()))
        return false;
    QString error;
    if (!RootFiles::writeAtomically(path, rewrite(RootFiles::readText(path)).toUtf8(), 0600, &error)) {
        qCWarning(lcUsers).noquote() << "Failed to write the settings file" << path << ":" << error;
        return false;
    }
    return true;
}
} // namespace

bool writeSecurityLevel(const QString& username, int level) {
    if (!checkName(username, nullptr) || level < 0 || level > 2)
        return false;
    if (!rewriteSettings(
            username, [level](const QString& text) { return AccountFiles::withSecurityLevel(text, level); }))
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
    if (!writeSecurityLevel(username, level)) {
        if (level == 0)
            removeNoPasswordRules(username);
        setError(error, QStringLiteral("The security level of %1 could not be saved").arg(username));
        return false;
    }
    return true;
}

bool updateDescription(const QString& username, const QString& description) {
    return checkName(username, nullptr) && rewriteSettings(username, [&description](const QString& text) {
               return AccountFiles::withDescription(text, description);
           });
}

bool setAutoLogin(const QString& username, bool enable) {
    if (!checkName(username, nullptr))
        return false;
    const QString path = SystemPaths::path(QStringLiteral("/etc/lightdm/lightdm.conf"));
    bool ok = false;
    const QString text = RootFiles::readText(path, &ok);
    if (!ok) {
        qCDebug(lcUsers) << "Failed to open the LightDM configuration file for reading.";
        return false;
    }
    const QString changed = AccountFiles::withAutoLogin(text, username, enable);
    if (changed == text)
        return true;
    QString error;
    if (!RootFiles::writeAtomically(path, changed.toUtf8(), 0644, &error)) {
        qCWarning(lcUsers).noquote() << "Failed to open the LightDM configuration file for writing." << error;
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
        setError(error, QStringLiteral("A real name cannot hold ':' or a line break."));
        return false;
    }
    const CommandResult result =
        CommandRunner::run(QStringLiteral("usermod"),
                           {QStringLiteral("-c"), realName, QStringLiteral("--"), username}, withTimeout());
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
    if (!RootFiles::writeIntoHome(account.home, account.uid, account.gid, QStringLiteral(".face"), picture,
                                  error))
        return false;
    // The service copies the picture; it gets a file only root can change.
    QTemporaryDir folder;
    const QString copy = folder.path() + QStringLiteral("/face");
    if (folder.isValid() && RootFiles::writeAtomically(copy, picture, 0644))
        setAccountsServiceIcon(copy, QString::number(account.uid));
    return true;
}

bool updateUserGroups(const QString& username, const QStringList& wanted, const QStringList& current) {
    if (!checkName(username, nullptr))
        return false;
    const int primaryGid = WorkerUsers().getUserPrimaryGid(username);
    const QMap<QString, int> gids = [] {
        QMap<QString, int> map;
        for (const GroupEntry& group :
             AccountFiles::parseGroup(RootFiles::readText(SystemPaths::path(QStringLiteral("/etc/group")))))
            map.insert(group.name, group.gid);
        return map;
    }();
    const auto changeable = [&](const QString& group) {
        const QString name = group.trimmed();
        return !name.isEmpty() && isPlainGroupName(name) && gids.value(name, -1) != primaryGid;
    };
    bool ok = true;
    const auto gpasswd = [&](const QString& flag, const QString& group) {
        const CommandResult result =
            CommandRunner::run(QStringLiteral("gpasswd"), {flag, username, group.trimmed()}, withTimeout());
        if (!result.succeeded()) {
            qCWarning(lcUsers).noquote() << "gpasswd" << flag << username << group << "failed";
            ok = false;
        }
    };
    for (const QString& group : wanted)
        if (!current.contains(group) && changeable(group))
            gpasswd(QStringLiteral("-a"), group);
    for (const QString& group : current)
        if (!wanted.contains(group) && changeable(group))
            gpasswd(QStringLiteral("-d"), group);
    if (!WorkerUsers::isUserInAdminGroup(username)) {
        DetailsUser user;
        user.username = username;
        if (WorkerUsers::getSecurityLevel(user) == 0 || QFileInfo::exists(sudoersRulePath(username)) ||
            QFileInfo::exists(polkitRulePath(username))) {
            removeNoPasswordRules(username);
            writeSecurityLevel(username, 1);
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
                const QByteArray& picture, QString* error, QString* warning) {
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
    QString pictureError;
    if (!picture.isEmpty() && !applyPicture(username, picture, &pictureError) && warning)
        *warning = pictureError;
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
    if (homeLeft && warning)
        *warning = QStringLiteral("The account was deleted, but its home folder could not be removed.");
    removeAccountGrants(username);
    return true;
}

void removeAccountGrants(const QString& username) {
    if (!AccountFiles::isValidAccountName(username))
        return;
    removeNoPasswordRules(username);
    RootFiles::removeFile(settingsPath(username));
    setAutoLogin(username, false);
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
    const QStringList arguments = soundCommand(user, account.uid, soundFile);
    QThreadPool::globalInstance()->start(
        [arguments] { CommandRunner::run(QStringLiteral("sudo"), arguments, withTimeout(10000)); });
}

} // namespace AccountChanges
