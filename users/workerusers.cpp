#include "workerusers.h"

#include "accountchanges.h"
#include "accountfiles.h"
#include "accountpicture.h"
#include "commandrunner.h"
#include "rootfiles.h"
#include "systempaths.h"
#include "userslog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <utmpx.h>

Q_LOGGING_CATEGORY(lcUsers, "tessmar.users", QtWarningMsg)

namespace {
const QString settingsFolder = QStringLiteral("/root/.tessmar");
const QString securityLevelKey = QStringLiteral("security_level=");
constexpr int defaultSecurityLevel = 2;

// The name becomes part of a file path, so only names a login could have are
// looked up: no '/', no "." or "..".
bool isPlainUserName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*\\$?$"));
    return pattern.match(name).hasMatch();
}

QString settingsPath(const QString& userName) {
    return SystemPaths::path(settingsFolder) + QStringLiteral("/settings_") + userName;
}

QList<PasswdEntry> readPasswd(bool* ok = nullptr) {
    return AccountFiles::parsePasswd(
        RootFiles::readText(SystemPaths::path(QStringLiteral("/etc/passwd")), ok));
}

QList<GroupEntry> readGroups(bool* ok = nullptr) {
    return AccountFiles::parseGroup(RootFiles::readText(SystemPaths::path(QStringLiteral("/etc/group")), ok));
}

bool isSpecialType(const QString& type) {
    return type == QLatin1String("Root account") || type == QLatin1String("System account") ||
           type == QLatin1String("Service account");
}

// The utmpx functions share one hidden cursor per process.
QMutex& utmpLock() {
    static QMutex mutex;
    return mutex;
}

QSet<QString> loggedInNames() {
    QMutexLocker locker(&utmpLock());
    QSet<QString> names;
    utmpxname(QFile::encodeName(SystemPaths::path(QStringLiteral("/var/run/utmp"))).constData());
    setutxent();
    while (const struct utmpx* entry = getutxent()) {
        if (entry->ut_type == USER_PROCESS)
            names.insert(QString::fromLocal8Bit(
                QByteArray(entry->ut_user, int(strnlen(entry->ut_user, sizeof entry->ut_user)))));
    }
    endutxent();
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

int primaryGidOf(const QString& name) {
    bool ok = false;
    const QList<PasswdEntry> passwd = readPasswd(&ok);
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, name);
    return entry ? entry->gid : -1;
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
    QSet<QString> sudoMembers;
    int administrators = 0;

    void index() {
        memberOf = AccountFiles::groupsByMember(groups);
        definedGroups = AccountFiles::groupNames(groups);
        QStringList members;
        administrators = AccountFiles::administratorsInRange(passwd, groups, &members);
        sudoMembers = QSet<QString>(members.begin(), members.end());
    }
};

// The picture a record carries when its home folder is not read.
QIcon standInIcon(const QString& username) {
    // Shared, so the page frames each stand-in once however many accounts use it.
    static const QIcon rootIcon = AccountPicture::deferredIcon(QStringLiteral(":/icons/user-root"));
    static const QIcon otherIcon = AccountPicture::deferredIcon(QStringLiteral(":/icons/user-other"));
    static const QIcon systemIcon = AccountPicture::deferredIcon(QStringLiteral(":/icons/user-system"));
    if (username == QLatin1String("root"))
        return rootIcon;
    if (username == QLatin1String("nobody"))
        return otherIcon;
    return systemIcon;
}

enum class Picture { Read, StandIn };

DetailsUser detailsFor(const PasswdEntry& entry, const AccountSnapshot& snapshot, QFile& lastlog,
                       Picture picture) {
    DetailsUser user;
    user.username = entry.name;
    user.uid = entry.uid;
    user.gid = entry.gid;
    user.userType = AccountFiles::userType(entry.uid, entry.name, snapshot.memberOf.value(entry.name),
                                           snapshot.definedGroups);
    user.securityLevel = isSpecialType(user.userType) ? 2 : WorkerUsers::getSecurityLevel(user);
    user.isOnlyAdministrator = snapshot.administrators == 1 && snapshot.sudoMembers.contains(entry.name);
    user.realName = entry.realName();
    user.homeDirectory = entry.home;
    user.loginShell = entry.shell;
    user.lastLoginTime = lastLoginFrom(lastlog, entry.uid);
    user.isLoggedIn = snapshot.loggedIn.contains(entry.name);
    user.icon =
        picture == Picture::Read ? WorkerUsers::getUserIcon(user, entry.home) : standInIcon(entry.name);
    return user;
}

// Quitting, or the tab going away, ends a long account list at once.
bool shouldStop() {
    return CommandRunner::isAborted() || QThread::currentThread()->isInterruptionRequested();
}
} // namespace

WorkerUsers::WorkerUsers(QObject* parent) : QObject(parent) {
    qCDebug(lcUsers) << "We are here in WorkerUsers!";
}

WorkerUsers::~WorkerUsers() = default;

void WorkerUsers::getUsers() {
    qCDebug(lcUsers) << "Here in get users!";
    QList<DetailsUser> users;
    AccountSnapshot snapshot;
    bool ok = false;
    snapshot.passwd = readPasswd(&ok);
    if (ok) {
        snapshot.groups = readGroups();
        snapshot.loggedIn = loggedInNames();
        snapshot.index();
        QFile lastlog(SystemPaths::path(QStringLiteral("/var/log/lastlog")));
        if (!lastlog.open(QIODevice::ReadOnly))
            qCDebug(lcUsers) << "No lastlog file:" << lastlog.fileName();
        for (const PasswdEntry& entry : qAsConst(snapshot.passwd)) {
            if (shouldStop())
                return;
            if (entry.fieldCount < 7)
                continue;
            if (!showAllUsers && (entry.uid <= 999 || entry.name == QLatin1String("nobody")))
                continue;
            users.append(detailsFor(entry, snapshot, lastlog, Picture::Read));
        }
    }
    qCDebug(lcUsers) << "About to emit userlist" << users.size();
    emit userListUpdated(users);
}

void WorkerUsers::requestSetShowAllUsers(bool checked) {
    showAllUsers = checked;
    qCDebug(lcUsers).noquote() << "Set the showAllUsers to:" << (checked ? "true" : "false");
    getUsers();
}

// Called on the GUI thread, so the home folder is not read: the account's
// picture comes from the list the worker read (or is the stand-in).
DetailsUser WorkerUsers::getUserDetails(const QString& username) {
    qCDebug(lcUsers) << "geting details for user:" << username;
    AccountSnapshot snapshot;
    bool ok = false;
    snapshot.passwd = readPasswd(&ok);
    for (const PasswdEntry& entry : qAsConst(snapshot.passwd)) {
        if (entry.fieldCount < 7 || entry.name != username)
            continue;
        snapshot.groups = readGroups();
        snapshot.loggedIn = loggedInNames();
        snapshot.index();
        QFile lastlog(SystemPaths::path(QStringLiteral("/var/log/lastlog")));
        lastlog.open(QIODevice::ReadOnly);
        DetailsUser user = detailsFor(entry, snapshot, lastlog, Picture::StandIn);
        user.autoLogin = isAutoLoginUser(user);
        user.groups = AccountFiles::userGroups(username, entry.gid, snapshot.groups);
        user.isOnlyAdministrator = AccountFiles::countAdministrators(snapshot.passwd, snapshot.groups) < 2;
        user.description = getUserDescription(user);
        return user;
    }
    qCDebug(lcUsers) << "User not found" << username;
    return DetailsUser();
}

QString WorkerUsers::getUserType(int uid, const QString& username) {
    if (uid == 0 || uid <= 999 || uid > 64999)
        return AccountFiles::userType(uid, username, QList<GroupEntry>());
    bool ok = false;
    const QList<GroupEntry> groups = readGroups(&ok);
    if (!ok) {
        qCDebug(lcUsers) << "Failed to open /etc/group";
        return QStringLiteral("Error opening group file");
    }
    return AccountFiles::userType(uid, username, groups);
}

QStringList WorkerUsers::getUserGroups(const QString& username) {
    bool ok = false;
    const QList<GroupEntry> groups = readGroups(&ok);
    if (!ok)
        qCDebug(lcUsers) << "Unable to open /etc/group file";
    return AccountFiles::userGroups(username, primaryGidOf(username), groups);
}

int WorkerUsers::getUserPrimaryGid(const QString& username) {
    return primaryGidOf(username);
}

bool WorkerUsers::isUserInAdminGroup(const QString& username) {
    return isAdministrator(username, primaryGidOf(username), readGroups());
}

int WorkerUsers::countAdministrators() {
    return AccountFiles::countAdministrators(readPasswd(), readGroups());
}

bool WorkerUsers::isOnlyAdministrator(const DetailsUser& user) {
    bool passwdOk = false;
    bool groupOk = false;
    const QList<PasswdEntry> passwd = readPasswd(&passwdOk);
    const QList<GroupEntry> groups = readGroups(&groupOk);
    if (!passwdOk || !groupOk) {
        qCDebug(lcUsers) << "Failed to open system files";
        return false;
    }
    return AccountFiles::isOnlyAdministrator(user.username, passwd, groups);
}

QString WorkerUsers::getLastLoginTime(const DetailsUser& user) {
    const PasswdEntry* entry = nullptr;
    const QList<PasswdEntry> passwd = readPasswd();
    entry = AccountFiles::findPasswd(passwd, user.username);
    if (!entry)
        return QStringLiteral("Unknown");
    QFile lastlog(SystemPaths::path(QStringLiteral("/var/log/lastlog")));
    lastlog.open(QIODevice::ReadOnly);
    return lastLoginFrom(lastlog, entry->uid);
}

bool WorkerUsers::isUserLoggedIn(const DetailsUser& user) {
    return loggedInNames().contains(user.username);
}

QIcon WorkerUsers::getUserIcon(const DetailsUser& user, const QString& homeDirectory) {
    if (user.username == QLatin1String("root") || user.username == QLatin1String("nobody") ||
        homeDirectory.isEmpty())
        return standInIcon(user.username);
    const QImage picture =
        AccountPicture::readTilePicture(homeDirectory + QStringLiteral("/.face"), uid_t(user.uid));
    return picture.isNull() ? standInIcon(user.username) : AccountPicture::deferredIcon(picture);
}

QString WorkerUsers::getUserDescription(const DetailsUser& user) {
    static const QMap<QString, QString> builtIn = {
        {QStringLiteral("root"),
         QStringLiteral("Superuser with full access to the system for administrative purposes.")},
        {QStringLiteral("daemon"),
         QStringLiteral("Runs background services that need no login of their own.")},
        {QStringLiteral("bin"),
         QStringLiteral("Historical owner of system binaries, kept for compatibility.")},
        {QStringLiteral("sys"), QStringLiteral("Historical system account, kept for compatibility.")},
        {QStringLiteral("sync"),
         QStringLiteral("Reserved for the sync system call, which flushes buffers to disk.")},
        {QStringLiteral("games"), QStringLiteral("Owns shared game files such as high scores.")},
        {QStringLiteral("man"), QStringLiteral("Maintains the cache of the manual pages.")},
        {QStringLiteral("lp"), QStringLiteral("Runs the printing system and owns print spools.")},
        {QStringLiteral("mail"), QStringLiteral("Owns the local mailboxes and mail delivery.")},
        {QStringLiteral("news"), QStringLiteral("Runs the Usenet news services.")},
        {QStringLiteral("uucp"), QStringLiteral("Runs Unix-to-Unix copy and serial line transfers.")},
        {QStringLiteral("proxy"), QStringLiteral("Runs proxy servers with limited privileges.")},
        {QStringLiteral("www-data"), QStringLiteral("Runs web servers and the web applications they serve.")},
        {QStringLiteral("backup"), QStringLiteral("Runs backup tools with access to backup files.")},
        {QStringLiteral("list"), QStringLiteral("Runs the mailing list manager.")},
        {QStringLiteral("irc"), QStringLiteral("Runs the IRC daemon.")},
        {QStringLiteral("gnats"), QStringLiteral("Runs the GNATS bug-reporting system.")},
        {QStringLiteral("nobody"),
         QStringLiteral("Generic user for running processes that do not require special privileges.")},
        {QStringLiteral("_apt"),
         QStringLiteral("Used by package management utilities to safely run library operations.")},
        {QStringLiteral("systemd-network"), QStringLiteral("Runs the systemd network manager.")},
        {QStringLiteral("systemd-resolve"), QStringLiteral("Runs the systemd name resolver.")},
        {QStringLiteral("messagebus"), QStringLiteral("Runs the D-Bus system message bus.")},
        {QStringLiteral("uuidd"), QStringLiteral("Runs the daemon that hands out unique identifiers.")},
        {QStringLiteral("lightdm"), QStringLiteral("Runs the LightDM display manager and its greeter.")},
        {QStringLiteral("avahi"), QStringLiteral("Runs the Avahi service discovery daemon.")},
        {QStringLiteral("saned"), QStringLiteral("Runs the network scanner daemon.")},
        {QStringLiteral("colord"), QStringLiteral("Runs the colour management daemon.")},
        {QStringLiteral("rtkit"), QStringLiteral("Hands out real-time scheduling to desktop programs.")},
        {QStringLiteral("usbmux"),
         QStringLiteral("Daemon for multiplexing connections over USB (used by iOS devices).")},
        {QStringLiteral("pulse"), QStringLiteral("Runs the PulseAudio sound server in system mode.")},
        {QStringLiteral("ntp"), QStringLiteral("Runs the network time daemon.")},
        {QStringLiteral("sshd"), QStringLiteral("Runs the unprivileged part of the SSH server.")},
        {QStringLiteral("tss"), QStringLiteral("Runs the trusted platform module software stack.")},
        {QStringLiteral("_flatpak"), QStringLiteral("Runs Flatpak's system helper.")},
        {QStringLiteral("dnsmasq"), QStringLiteral("Runs the dnsmasq DNS and DHCP server.")},
        {QStringLiteral("systemd-timesync"),
         QStringLiteral("Runs the systemd time synchronisation service.")},
        {QStringLiteral("systemd-coredump"), QStringLiteral("Stores crash dumps for systemd.")},
        {QStringLiteral("nvpd"), QStringLiteral("Runs the NVIDIA persistence daemon.")},
        {QStringLiteral("geoclue"), QStringLiteral("Runs the location service.")},
        {QStringLiteral("tcpdump"),
         QStringLiteral("Reserved for the tcpdump utility for capturing network packets.")},
    };
    const auto known = builtIn.constFind(user.username);
    if (known != builtIn.constEnd())
        return known.value();
    const QString description =
        isPlainUserName(user.username)
            ? AccountFiles::descriptionFrom(RootFiles::readText(settingsPath(user.username)))
            : QString();
    return description.isEmpty() ? QStringLiteral("No specific information available for this user.")
                                 : description;
}

bool WorkerUsers::isAutoLoginUser(const DetailsUser& user) {
    bool ok = false;
    const QString text =
        RootFiles::readText(SystemPaths::path(QStringLiteral("/etc/lightdm/lightdm.conf")), &ok);
    if (!ok) {
        qCDebug(lcUsers) << "Failed to open /etc/lightdm/lightdm.conf for reading.";
        return false;
    }
    return AccountFiles::autoLoginNames(text, user.username);
}

QMap<QString, QString> WorkerUsers::getGroupDescriptions() {
    const char* const table[][2] = {
        {"root", "Superuser group with full administrative privileges"},
        {"daemon", "Background system services"},
        {"bin", "Owner of system binaries"},
        {"sys", "System group for historical compatibility"},
        {"adm", "Group for system monitoring tasks"},
        {"tty", "Access to terminals"},
        {"disk", "Raw access to disks"},
        {"lp", "Access to printers"},
        {"mail", "Access to mailboxes"},
        {"news", "Usenet news services"},
        {"uucp", "Serial lines and Unix-to-Unix copy"},
        {"man", "Manual page cache"},
        {"proxy", "Proxy servers"},
        {"kmem", "Access to kernel memory"},
        {"dialout", "Allows access to serial ports via dialout"},
        {"fax", "Fax modems"},
        {"voice", "Voice modems"},
        {"cdrom", "Allows access to optical drives"},
        {"floppy", "Access to floppy drives"},
        {"tape", "Access to tape drives"},
        {"sudo", "Permits running commands as the superuser"},
        {"audio", "Access to audio devices"},
        {"dip", "Dial-up networking"},
        {"www-data", "Web server files"},
        {"backup", "Backup files"},
        {"operator", "System operators"},
        {"list", "Mailing list manager"},
        {"irc", "IRC daemon"},
        {"src", "Source code files"},
        {"gnats", "Bug-reporting system"},
        {"shadow", "Read access to the password file"},
        {"utmp", "Login records"},
        {"video", "Access to video devices"},
        {"sasl", "SASL authentication secrets"},
        {"plugdev", "Access to external storage devices"},
        {"staff", "Local changes under /usr/local"},
        {"games", "Shared game files"},
        {"users", "Regular users"},
        {"nogroup", "Pseudo group with no privileges"},
        {"systemd-journal", "Systemd journal logs"},
        {"systemd-network", "Systemd network manager"},
        {"systemd-resolve", "Systemd name resolver"},
        {"input", "Access to input devices"},
        {"kvm", "Access to virtual machines"},
        {"render", "Access to GPU rendering"},
        {"crontab", "Scheduled jobs"},
        {"netdev", "Network device management"},
        {"messagebus", "D-Bus system bus"},
        {"uuidd", "Unique identifier daemon"},
        {"lightdm", "LightDM display manager"},
        {"lpadmin", "Printer administration"},
        {"ssl-cert", "Access to SSL certificates"},
        {"avahi", "Avahi service discovery"},
        {"scanner", "Access to scanners"},
        {"saned", "Scanner daemon"},
        {"colord", "Colour management daemon"},
        {"rtkit", "Real-time scheduling"},
        {"pulse", "PulseAudio system daemon"},
        {"pulse-access", "Access to the PulseAudio system daemon"},
        {"bluetooth", "Access to Bluetooth devices"},
        {"ntp", "Network time daemon"},
        {"ssh", "SSH client helpers"},
        {"tss", "Trusted platform module"},
        {"_flatpak", "Flatpak application management"},
        {"vboxusers", "VirtualBox USB devices"},
        {"vboxsf", "VirtualBox shared folders"},
        {"systemd-timesync", "Systemd time synchronisation"},
        {"systemd-coredump", "Systemd crash dumps"},
        {"nvpd", "NVIDIA persistence daemon"},
        {"geoclue", "Location service"},
        {"tcpdump", "Network packet capture"},
    };
    QMap<QString, QString> descriptions;
    for (const auto& row : table)
        descriptions.insert(QString::fromLatin1(row[0]), QString::fromLatin1(row[1]));
    return descriptions;
}

void WorkerUsers::getGroups(const QString& username) {
    qCDebug(lcUsers) << "Getting groups from /etc/group for user:" << username;
    const QList<PasswdEntry> passwd = readPasswd();
    const QList<GroupEntry> groups = readGroups();
    const PasswdEntry* entry = AccountFiles::findPasswd(passwd, username);
    const int primaryGid = entry ? entry->gid : -1;
    const bool onlyAdmin = isAdministrator(username, primaryGid, groups) &&
                           AccountFiles::countAdministrators(passwd, groups) < 2;
    const QMap<QString, QString> descriptions = getGroupDescriptions();
    QList<DetailsGroup> result;
    for (const GroupEntry& group : groups) {
        DetailsGroup details;
        details.name = group.name;
        details.gid = group.gid;
        details.isLocked = (group.name == QLatin1String("sudo") && onlyAdmin) || group.gid == primaryGid;
        if (group.gid == 65534)
            details.description = QStringLiteral("Special group for unprivileged processes");
        else if (group.gid < 1000)
            details.description = descriptions.value(group.name, QStringLiteral("System group"));
        else
            details.description = QStringLiteral("User-defined group");
        details.isMember = group.members.contains(username) || group.gid == primaryGid;
        result.append(details);
    }
    qCDebug(lcUsers) << "About to emit grouplist" << result.size();
    emit groupListUpdated(result);
}

bool WorkerUsers::updateUserGroups(const QString& username, const QStringList& wanted,
                                   const QStringList& current, QString* error) {
    return AccountChanges::updateUserGroups(username, wanted, current, error);
}

bool WorkerUsers::ensureDirectoryExists(const QString& path) {
    QDir dir(path);
    return dir.exists() || dir.mkpath(QStringLiteral("."));
}

int WorkerUsers::getSudoUserSecurityLevel() {
    const QString userName = qEnvironmentVariable("SUDO_USER");
    if (userName.isEmpty()) {
        qCDebug(lcUsers) << "Failed to determine username";
        return defaultSecurityLevel;
    }
    if (!isPlainUserName(userName)) {
        qCWarning(lcUsers) << "Refusing settings file for unusual user name:" << userName;
        return defaultSecurityLevel;
    }
    const QString folder = SystemPaths::path(settingsFolder);
    if (!ensureDirectoryExists(folder)) {
        qCDebug(lcUsers) << "Failed to create directory:" << folder;
        return defaultSecurityLevel;
    }
    const QString path = settingsPath(userName);
    if (QFileInfo::exists(path)) {
        bool opened = false;
        const QString text = RootFiles::readText(path, &opened);
        return opened ? AccountFiles::securityLevelFrom(text) : defaultSecurityLevel;
    }
    QString error;
    if (!RootFiles::writeAtomically(path, "security_level=2\n", 0600, &error))
        qCDebug(lcUsers) << "Failed to create settings file:" << path << error;
    return defaultSecurityLevel;
}

int WorkerUsers::getSecurityLevel(const DetailsUser& user) {
    bool opened = false;
    const QString text = isPlainUserName(user.username)
                             ? RootFiles::readText(settingsPath(user.username), &opened)
                             : QString();
    if (!opened) {
        qCDebug(lcUsers)
            << "Defaulting to highest security level (2) due to read failure or malformed setting for user:"
            << user.username;
        return defaultSecurityLevel;
    }
    return AccountFiles::securityLevelFrom(text);
}
