#include "accountqueries.h"

#include "accountdescriptions.h"
#include "accountpicture.h"
#include "accounttext.h"
#include "loginrecords.h"
#include "securitylevel.h"
#include "systempaths.h"
#include "userslog.h"

#include <QFile>
#include <QSet>

Q_LOGGING_CATEGORY(lcUsers, "tessmar.users", QtWarningMsg)

namespace {
// Only root writes these; a link in their place is followed.
QString readSystemText(const QString& path, bool* ok) {
    return AccountText::read(SystemPaths::path(path), AccountText::Links::Follow, ok);
}

bool isSpecialType(const QString& type) {
    return type == QLatin1String("Root account") || type == QLatin1String("System account") ||
           type == QLatin1String("Service account");
}

QSet<QString> loggedInNames() {
    QSet<QString> names;
    const std::optional<QVector<LoginRecords::Login>> logins =
        LoginRecords::read(SystemPaths::path(QStringLiteral("/var/run/utmp")));
    for (const LoginRecords::Login& login : logins.value_or(QVector<LoginRecords::Login>()))
        names.insert(login.user);
    return names;
}

QString lastLoginFrom(QFile& lastlog, int uid) {
    if (!lastlog.isOpen())
        return QStringLiteral("Unavailable");
    const qint64 size = AccountFiles::lastLogRecordSize();
    if (uid < 0 || !lastlog.seek(qint64(uid) * size))
        return QStringLiteral("Error");
    return AccountFiles::lastLoginText(lastlog.read(size));
}

bool isAdministrator(const QString& name, int primaryGid, const QList<GroupEntry>& groups) {
    const QStringList memberOf = AccountFiles::userGroups(name, primaryGid, groups);
    return memberOf.contains(QStringLiteral("sudo")) || memberOf.contains(QStringLiteral("wheel"));
}

// Everything the account list needs, read once per refresh.
struct AccountSnapshot {
    QList<PasswdEntry> passwd;
    QList<GroupEntry> groups;
    QSet<QString> loggedIn;
    // Derived once per refresh, so that many accounts cost no more than one pass each.
    QHash<QString, QSet<QString>> memberOf;
    QSet<QString> definedGroups;
    QSet<QString> everyones;
    QSet<QString> sudoMembers;
    int administrators = 0;

    void read() {
        groups = AccountQueries::readGroups();
        loggedIn = loggedInNames();
        memberOf = AccountFiles::groupsByMember(groups);
        definedGroups = AccountFiles::groupNames(groups);
        everyones = AccountQueries::everyonesGroups(groups);
        QStringList members;
        administrators = AccountFiles::administratorsInRange(passwd, groups, &members);
        sudoMembers = QSet<QString>(members.begin(), members.end());
    }
};

DetailsUser detailsFor(const PasswdEntry& entry, const AccountSnapshot& snapshot, QFile& lastlog) {
    DetailsUser user;
    user.username = entry.name;
    user.uid = entry.uid;
    user.gid = entry.gid;
    user.userType = AccountFiles::userType(entry.uid, entry.name, snapshot.memberOf.value(entry.name),
                                           snapshot.definedGroups, snapshot.everyones);
    user.securityLevel =
        isSpecialType(user.userType) ? SecurityLevel::highest : SecurityLevel::ofAccount(entry.name);
    user.isOnlyAdministrator = snapshot.administrators == 1 && snapshot.sudoMembers.contains(entry.name);
    user.realName = entry.realName();
    user.homeDirectory = entry.home;
    user.loginShell = entry.shell;
    user.lastLoginTime = lastLoginFrom(lastlog, entry.uid);
    user.isLoggedIn = snapshot.loggedIn.contains(entry.name);
    return user;
}

QString lastlogPath() {
    return SystemPaths::path(QStringLiteral("/var/log/lastlog"));
}
} // namespace

namespace AccountQueries {

QList<PasswdEntry> readPasswd(bool* ok) {
    return AccountFiles::parsePasswd(readSystemText(QStringLiteral("/etc/passwd"), ok));
}

QList<GroupEntry> readGroups(bool* ok) {
    return AccountFiles::parseGroup(readSystemText(QStringLiteral("/etc/group"), ok));
}

std::optional<QList<DetailsUser>> listAccounts(bool showAll, const std::function<bool()>& stop) {
    QList<DetailsUser> users;
    AccountSnapshot snapshot;
    bool ok = false;
    snapshot.passwd = readPasswd(&ok);
    if (!ok)
        return users;
    snapshot.read();
    QFile lastlog(lastlogPath());
    if (!lastlog.open(QIODevice::ReadOnly))
        qCDebug(lcUsers) << "No lastlog file:" << lastlog.fileName();
    for (const PasswdEntry& entry : qAsConst(snapshot.passwd)) {
        if (stop())
            return std::nullopt;
        if (entry.fieldCount < 7)
            continue;
        if (!showAll && (entry.uid <= 999 || entry.name == QLatin1String("nobody")))
            continue;
        users.append(detailsFor(entry, snapshot, lastlog));
    }
    return users;
}

DetailsUser userDetails(const QString& username) {
    qCDebug(lcUsers) << "geting details for user:" << username;
    AccountSnapshot snapshot;
    snapshot.passwd = readPasswd();
    for (const PasswdEntry& entry : qAsConst(snapshot.passwd)) {
        if (entry.fieldCount < 7 || entry.name != username)
            continue;
        snapshot.read();
        QFile lastlog(lastlogPath());
        lastlog.open(QIODevice::ReadOnly);
        DetailsUser user = detailsFor(entry, snapshot, lastlog);
        user.autoLogin = isAutoLoginUser(user);
        user.groups = AccountFiles::userGroups(username, entry.gid, snapshot.groups);
        user.isOnlyAdministrator = AccountFiles::countAdministrators(snapshot.passwd, snapshot.groups) < 2;
        user.description = description(user);
        return user;
    }
    qCDebug(lcUsers) << "User not found" << username;
    return DetailsUser();
}

QString userType(int uid, const QString& username) {
    if (uid == 0 || uid <= 999 || uid > 64999)
        return AccountFiles::userType(uid, username, QList<GroupEntry>());
    bool ok = false;
    const QList<GroupEntry> groups = readGroups(&ok);
    if (!ok) {
        qCDebug(lcUsers) << "Failed to open /etc/group";
        return QStringLiteral("Error opening group file");
    }
    return AccountFiles::userType(uid, username, groups, everyonesGroups(groups));
}

QSet<QString> everyonesGroups(const QList<GroupEntry>& groups) {
    bool ok = false;
    const QString conf = readSystemText(QStringLiteral("/etc/adduser.conf"), &ok);
    if (!ok)
        qCDebug(lcUsers) << "No /etc/adduser.conf; adduser's defaults apply";
    return AccountFiles::everyonesGroups(ok ? conf : QString(), groups);
}

QStringList userGroups(const QString& username) {
    bool ok = false;
    const QList<GroupEntry> groups = readGroups(&ok);
    if (!ok)
        qCDebug(lcUsers) << "Unable to open /etc/group file";
    return AccountFiles::userGroups(username, primaryGid(username), groups);
}

int primaryGid(const QString& username) {
    const QList<PasswdEntry> passwd = readPasswd();
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, username);
    return entry ? entry->gid : -1;
}

bool isInAdminGroup(const QString& username) {
    return isAdministrator(username, primaryGid(username), readGroups());
}

bool mayHavePicture(const DetailsUser& user) {
    return user.username != QLatin1String("root") && user.username != QLatin1String("nobody") &&
           !user.homeDirectory.isEmpty();
}

QImage picture(const DetailsUser& user, const QString& homeDirectory, const AccountPicture::StopCheck& stop) {
    if (user.username == QLatin1String("root") || user.username == QLatin1String("nobody") ||
        homeDirectory.isEmpty())
        return QImage();
    return AccountPicture::readTilePicture(homeDirectory + QStringLiteral("/.face"), uid_t(user.uid), stop);
}

QString description(const DetailsUser& user) {
    const QString builtIn = AccountDescriptions::ofAccount(user.username);
    if (!builtIn.isEmpty())
        return builtIn;
    const QString description = AccountFiles::descriptionFrom(SecurityLevel::settingsText(user.username));
    return description.isEmpty() ? QStringLiteral("No specific information available for this user.")
                                 : description;
}

bool isAutoLoginUser(const DetailsUser& user) {
    bool ok = false;
    const QString text = readSystemText(QStringLiteral("/etc/lightdm/lightdm.conf"), &ok);
    if (!ok) {
        qCDebug(lcUsers) << "Failed to open /etc/lightdm/lightdm.conf for reading.";
        return false;
    }
    return AccountFiles::autoLoginNames(text, user.username);
}

QList<DetailsGroup> groupsOf(const QString& username) {
    qCDebug(lcUsers) << "Getting groups from /etc/group for user:" << username;
    const QList<PasswdEntry> passwd = readPasswd();
    const QList<GroupEntry> groups = readGroups();
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, username);
    const int primaryGid = entry ? entry->gid : -1;
    const bool onlyAdmin = isAdministrator(username, primaryGid, groups) &&
                           AccountFiles::countAdministrators(passwd, groups) < 2;
    QList<DetailsGroup> result;
    for (const GroupEntry& group : groups) {
        DetailsGroup details;
        details.name = group.name;
        details.gid = group.gid;
        details.isLocked = (group.name == QLatin1String("sudo") && onlyAdmin) || group.gid == primaryGid;
        details.description = AccountDescriptions::ofGroup(group.name, group.gid);
        details.isMember = group.members.contains(username) || group.gid == primaryGid;
        result.append(details);
    }
    return result;
}

} // namespace AccountQueries
