#include "accountfiles.h"

#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>

#include <cstring>
#include <ctime>
#include <lastlog.h>

namespace {
const QString securityLevelKey = QStringLiteral("security_level=");
const QString descriptionKey = QStringLiteral("description=");
const QString autoLoginKey = QStringLiteral("autologin-user=");
const QString commentedAutoLoginKey = QStringLiteral("#autologin-user=");

int toInt(const QString& field) {
    bool ok = false;
    const int value = field.toInt(&ok);
    return ok ? value : 0;
}

// Splits a file into lines without the trailing empty one a final line feed leaves.
QStringList linesOf(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString joinLines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

QSet<QString> setOf(const QStringList& list) {
    return QSet<QString>(list.begin(), list.end());
}
} // namespace

namespace AccountFiles {

QStringList standardGroups() {
    return {QStringLiteral("audio"),     QStringLiteral("video"),     QStringLiteral("plugdev"),
            QStringLiteral("netdev"),    QStringLiteral("lpadmin"),   QStringLiteral("scanner"),
            QStringLiteral("bluetooth"), QStringLiteral("cdrom"),     QStringLiteral("render"),
            QStringLiteral("dialout"),   QStringLiteral("input"),     QStringLiteral("dip"),
            QStringLiteral("floppy"),    QStringLiteral("sambashare")};
}

QStringList administratorGroups() {
    return QStringList{QStringLiteral("sudo"), QStringLiteral("adm")} + standardGroups();
}

QList<PasswdEntry> parsePasswd(const QString& text) {
    QList<PasswdEntry> entries;
    for (const QString& line : linesOf(text)) {
        if (line.contains(QChar(0)))
            continue;
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() < 4)
            continue;
        PasswdEntry entry;
        entry.fieldCount = fields.size();
        entry.name = fields.at(0);
        entry.uid = toInt(fields.at(2));
        entry.gid = toInt(fields.at(3));
        entry.gecos = fields.value(4);
        entry.home = fields.value(5);
        entry.shell = fields.value(6);
        entries.append(entry);
    }
    return entries;
}

QList<GroupEntry> parseGroup(const QString& text) {
    QList<GroupEntry> groups;
    for (const QString& line : linesOf(text)) {
        if (line.contains(QChar(0)))
            continue;
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() < 4)
            continue;
        groups.append({fields.at(0), toInt(fields.at(2)), fields.at(3).split(QLatin1Char(','))});
    }
    return groups;
}

QSet<QString> groupNames(const QList<GroupEntry>& groups) {
    QSet<QString> names;
    for (const GroupEntry& group : groups)
        names.insert(group.name);
    return names;
}

QStringList definedGroups(const QStringList& wanted, const QList<GroupEntry>& groups) {
    const QSet<QString> defined = groupNames(groups);
    QStringList present;
    for (const QString& group : wanted)
        if (defined.contains(group))
            present.append(group);
    return present;
}

const PasswdEntry* findPasswd(const QList<PasswdEntry>& entries, const QString& name) {
    for (const PasswdEntry& entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

QSet<QString> everyonesGroups(const QString& adduserConf, const QList<GroupEntry>& groups) {
    // Read as adduser reads it: "NAME = value", the value maybe quoted, the
    // last line of a name winning.
    QHash<QString, QString> settings;
    static const QRegularExpression setting(QStringLiteral("^\\s*(\\S+?)\\s*=\\s*(.*?)\\s*$"));
    for (const QString& line : linesOf(adduserConf)) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QRegularExpressionMatch match = setting.match(line);
        if (!match.hasMatch())
            continue;
        QString value = match.captured(2);
        if (value.size() >= 2 &&
            (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))) &&
            value.endsWith(value.at(0)))
            value = value.mid(1, value.size() - 2);
        settings.insert(match.captured(1).toUpper(), value);
    }
    QStringList names;
    bool numeric = false;
    const int usersGid = settings.value(QStringLiteral("USERS_GID")).toInt(&numeric);
    if (numeric) {
        for (const GroupEntry& group : groups)
            if (group.gid == usersGid) {
                names << group.name;
                break;
            }
    } else {
        names << settings.value(QStringLiteral("USERS_GROUP"), QStringLiteral("users"));
    }
    const QString addExtra =
        settings.value(QStringLiteral("ADD_EXTRA_GROUPS"), QStringLiteral("0")).trimmed();
    if (!addExtra.isEmpty() && addExtra != QLatin1String("0"))
        names += settings.value(QStringLiteral("EXTRA_GROUPS"), QStringLiteral("users"))
                     .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    QSet<QString> everyones = setOf(names) & groupNames(groups);
    everyones.remove(QStringLiteral("sudo"));
    return everyones;
}

QString userType(int uid, const QString& name, const QList<GroupEntry>& groups,
                 const QSet<QString>& everyones) {
    QSet<QString> memberOf;
    if (uid > 999 && uid <= 64999)
        for (const GroupEntry& group : groups)
            if (group.members.contains(name))
                memberOf.insert(group.name);
    return userType(uid, name, memberOf, groupNames(groups), everyones);
}

QString userType(int uid, const QString& name, const QSet<QString>& memberOf, const QSet<QString>& defined,
                 const QSet<QString>& everyones) {
    if (uid == 0)
        return QStringLiteral("Root account");
    if (uid <= 999)
        return QStringLiteral("System account");
    if (uid > 64999)
        return QStringLiteral("Service account");
    QSet<QString> others = memberOf - everyones;
    others.remove(name);
    if (memberOf.contains(QStringLiteral("sudo")))
        return others == ((setOf(administratorGroups()) & defined) - everyones)
                   ? QStringLiteral("Administrator")
                   : QStringLiteral("Administrator (c)");
    // An account in no group but its own has the plain regular set of rights.
    if (others.isEmpty() || others == ((setOf(standardGroups()) & defined) - everyones))
        return QStringLiteral("Regular user");
    return QStringLiteral("Regular user (c)");
}

QHash<QString, QSet<QString>> groupsByMember(const QList<GroupEntry>& groups) {
    QHash<QString, QSet<QString>> index;
    for (const GroupEntry& group : groups)
        for (const QString& member : group.members)
            index[member].insert(group.name);
    return index;
}

QStringList userGroups(const QString& name, int primaryGid, const QList<GroupEntry>& groups) {
    QStringList result;
    for (const GroupEntry& group : groups)
        if ((group.members.contains(name) || group.gid == primaryGid) && !result.contains(group.name))
            result.append(group.name);
    return result;
}

int administratorsInRange(const QList<PasswdEntry>& passwd, const QList<GroupEntry>& groups,
                          QStringList* memberOfSudo) {
    for (const GroupEntry& group : groups) {
        if (group.name != QLatin1String("sudo"))
            continue;
        QHash<QString, int> uids;
        for (const PasswdEntry& entry : passwd)
            if (!uids.contains(entry.name))
                uids.insert(entry.name, entry.uid);
        int count = 0;
        for (const QString& member : group.members) {
            const int uid = uids.value(member.trimmed(), -1);
            if (uid >= 1000 && uid <= 65000)
                ++count;
        }
        if (memberOfSudo)
            *memberOfSudo = group.members;
        return count;
    }
    return 0;
}

bool isOnlyAdministrator(const QString& name, const QList<PasswdEntry>& passwd,
                         const QList<GroupEntry>& groups) {
    QStringList members;
    return administratorsInRange(passwd, groups, &members) == 1 && members.contains(name);
}

int countAdministrators(const QList<PasswdEntry>& passwd, const QList<GroupEntry>& groups) {
    int count = 0;
    for (const GroupEntry& group : groups) {
        if (group.name != QLatin1String("sudo"))
            continue;
        for (const QString& member : group.members) {
            const PasswdEntry* entry = findPasswd(passwd, member.trimmed());
            if (entry && entry->uid > 999)
                ++count;
        }
        break;
    }
    return count;
}

int lastLogRecordSize() {
    return int(sizeof(struct lastlog));
}

QString lastLoginText(const QByteArray& record) {
    if (record.size() < lastLogRecordSize())
        return QStringLiteral("Error");
    struct lastlog entry;
    std::memcpy(&entry, record.constData(), sizeof entry);
    const time_t when = entry.ll_time;
    if (when == 0)
        return QStringLiteral("Never logged in");
    char buffer[64] = {};
    if (!ctime_r(&when, buffer))
        return QStringLiteral("Error");
    return QTextCodec::codecForLocale()->toUnicode(buffer).trimmed();
}

bool autoLoginNames(const QString& lightdmConf, const QString& user) {
    for (const QString& line : linesOf(lightdmConf)) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(autoLoginKey) && trimmed.section(QLatin1Char('='), 1, 1).trimmed() == user)
            return true;
    }
    return false;
}

QString withAutoLogin(const QString& lightdmConf, const QString& user, bool enable) {
    QStringList lines = linesOf(lightdmConf);
    bool found = false;
    for (QString& line : lines) {
        const QString trimmed = line.trimmed();
        const bool live = trimmed.startsWith(autoLoginKey);
        if (!live && !trimmed.startsWith(commentedAutoLoginKey))
            continue;
        found = true;
        if (enable)
            line = autoLoginKey + user;
        else if (live && trimmed.section(QLatin1Char('='), 1, 1).trimmed() == user)
            line = commentedAutoLoginKey;
    }
    if (!found && enable)
        lines.append(autoLoginKey + user);
    return joinLines(lines);
}

int securityLevelFrom(const QString& settings) {
    const QString first = settings.section(QLatin1Char('\n'), 0, 0);
    if (first == securityLevelKey + QLatin1Char('0'))
        return 0;
    static const QRegularExpression levelLine(
        QRegularExpression::anchoredPattern(QStringLiteral("security_level=(\\d+)")));
    const QRegularExpressionMatch match = levelLine.match(first);
    const int level = match.hasMatch() ? toInt(match.captured(1)) : 2;
    return level == 1 ? 1 : 2;
}

QString descriptionFrom(const QString& settings) {
    for (const QString& line : linesOf(settings)) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(descriptionKey))
            return trimmed.mid(descriptionKey.size()).trimmed();
    }
    return QString();
}

QString withSecurityLevel(const QString& settings, int level) {
    QStringList lines = linesOf(settings);
    const QString levelLine = securityLevelKey + QString::number(level);
    bool found = false;
    for (QString& line : lines) {
        if (line.trimmed().startsWith(QLatin1String("security_level"))) {
            line = levelLine;
            found = true;
        }
    }
    if (!found)
        lines.prepend(levelLine);
    return joinLines(lines);
}

QString withDescription(const QString& settings, const QString& description) {
    // One line per key: a description never carries a line break into the file.
    QString flat = description;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.remove(QChar(0));
    QStringList lines = linesOf(settings);
    const QString descriptionLine = descriptionKey + flat;
    bool found = false;
    for (QString& line : lines) {
        if (line.startsWith(descriptionKey)) {
            line = descriptionLine;
            found = true;
            break;
        }
    }
    if (!found)
        lines.append(descriptionLine);
    return joinLines(lines);
}

// The patterns below are anchored at the very end: a plain '$' also matches
// before a final line break, and "alice\n" would pass into a rule file.
bool isValidAccountName(const QString& name) {
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("[a-z_][a-z0-9_-]{0,31}")));
    return rule.match(name).hasMatch();
}

bool isPlainGroupName(const QString& name) {
    static const QRegularExpression rule(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_][A-Za-z0-9._-]*\\$?")));
    return rule.match(name).hasMatch();
}

namespace {
const char* const nameEmpty = "The user name is empty.";
const char* const nameTooLong = "The user name is longer than 32 characters.";
const char* const nameCharacters =
    "Invalid character in username. Only lowercase letters, numbers, dash, and underscore are allowed.";
const char* const nameStart = "The user name must begin with a lowercase letter or an underscore.";
} // namespace

QString accountNameProblem(const QString& name) {
    if (name.isEmpty())
        return QString::fromLatin1(nameEmpty);
    if (name.size() > 32)
        return QString::fromLatin1(nameTooLong);
    static const QRegularExpression allowed(
        QRegularExpression::anchoredPattern(QStringLiteral("[a-z0-9_-]+")));
    if (!allowed.match(name).hasMatch())
        return QString::fromLatin1(nameCharacters);
    if (!isValidAccountName(name))
        return QString::fromLatin1(nameStart);
    return QString();
}

QStringList accountNameProblems() {
    QStringList problems;
    for (const char* problem : {nameEmpty, nameTooLong, nameCharacters, nameStart})
        problems << QString::fromLatin1(problem);
    return problems;
}

bool isAcceptablePassword(const QString& password) {
    return !password.contains(QLatin1Char('\n')) && !password.contains(QLatin1Char('\r')) &&
           !password.contains(QChar(0));
}

bool isAcceptableRealName(const QString& realName) {
    return !realName.contains(QLatin1Char(':')) && !realName.contains(QLatin1Char(',')) &&
           isAcceptablePassword(realName);
}

QString withRealName(const QString& gecos, const QString& realName) {
    const int comma = gecos.indexOf(QLatin1Char(','));
    return comma < 0 ? realName : realName + gecos.mid(comma);
}

QString javaScriptString(const QString& text) {
    QString quoted = QStringLiteral("'");
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                           u == '_' || u == '-' || u == '.';
        quoted += plain ? QString(c) : QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
    }
    return quoted + QLatin1Char('\'');
}

QByteArray polkitRule(const QString& name) {
    return QStringLiteral("polkit.addRule(function(action, subject) {\n"
                          "    if (subject.user == %1) {\n"
                          "        return polkit.Result.YES;\n"
                          "    }\n"
                          "});\n")
        .arg(javaScriptString(name))
        .toUtf8();
}

QByteArray sudoersRule(const QString& name) {
    return QStringLiteral("%1 ALL=(ALL:ALL) NOPASSWD:ALL\n").arg(name).toUtf8();
}

} // namespace AccountFiles
