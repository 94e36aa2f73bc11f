// libFuzzer entry for the readers of the account files: every input is read
// as /etc/passwd, /etc/group, adduser.conf, lightdm.conf and a settings file
// of the program, and what they read is checked against properties that hold
// for any text.
#include "accountfiles.h"
#include "displaytext.h"

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool holds) {
    if (!holds)
        abort();
}

// Debian's account name rule, by hand: [a-z_][a-z0-9_-]{0,31}, nothing more.
bool isAccountNameByHand(const QString& name) {
    if (name.isEmpty() || name.size() > 32)
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort c = name.at(i).unicode();
        const bool lower = c >= 'a' && c <= 'z';
        const bool later = i > 0 && ((c >= '0' && c <= '9') || c == '-');
        if (!lower && c != '_' && !later)
            return false;
    }
    return true;
}

// [A-Za-z0-9_][A-Za-z0-9._-]* with an optional final '$', by hand.
bool isPlainGroupNameByHand(QString name) {
    if (name.endsWith(QLatin1Char('$')))
        name.chop(1);
    if (name.isEmpty())
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort c = name.at(i).unicode();
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!plain && !(i > 0 && (c == '.' || c == '-')))
            return false;
    }
    return true;
}

void checkNameRules(const QString& name) {
    check(AccountFiles::isValidAccountName(name) == isAccountNameByHand(name));
    check(AccountFiles::accountNameProblem(name).isEmpty() == isAccountNameByHand(name));
    check(AccountFiles::isPlainGroupName(name) == isPlainGroupNameByHand(name));
    // A name the checks refuse may still be shown: never with a bidirectional control.
    check(!hasBidiControl(displaySafeText(name)));
}

// A field of one line: no separator of lines or fields, no NUL.
bool isOneField(const QString& field) {
    return !field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char(':')) &&
           !field.contains(QChar(0));
}

// The name starts a line of the text: no account is read from the middle of one.
bool startsALine(const QString& text, const QString& name) {
    return text.startsWith(name + QLatin1Char(':')) ||
           text.contains(QLatin1Char('\n') + name + QLatin1Char(':'));
}

bool samePasswd(const PasswdEntry& a, const PasswdEntry& b) {
    return a.name == b.name && a.uid == b.uid && a.gid == b.gid && a.gecos == b.gecos && a.home == b.home &&
           a.shell == b.shell && a.fieldCount == b.fieldCount;
}

bool sameGroup(const GroupEntry& a, const GroupEntry& b) {
    return a.name == b.name && a.gid == b.gid && a.members == b.members;
}

int lineCount(const QString& text) {
    return text.isEmpty() ? 0 : text.count(QLatin1Char('\n')) + (text.endsWith(QLatin1Char('\n')) ? 0 : 1);
}

void checkPasswdAndGroup(const QString& text) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    // A line holding a NUL, put first, hides none of the accounts after it.
    const QString nulLine = QStringLiteral("x") + QChar(0) + QStringLiteral("y:x:0:0::/:/bin/sh\n");

    const QList<PasswdEntry> passwd = AccountFiles::parsePasswd(text);
    QList<PasswdEntry> passwdByLine;
    for (const QString& line : lines)
        passwdByLine += AccountFiles::parsePasswd(line);
    const QList<PasswdEntry> passwdAfterNul = AccountFiles::parsePasswd(nulLine + text);
    // Read whole or line by line, the same accounts in the same order.
    check(passwd.size() == passwdByLine.size() && passwd.size() == passwdAfterNul.size());
    for (int i = 0; i < passwd.size(); ++i) {
        const PasswdEntry& entry = passwd.at(i);
        check(samePasswd(entry, passwdByLine.at(i)) && samePasswd(entry, passwdAfterNul.at(i)));
        check(entry.fieldCount >= 4 && isOneField(entry.name) && isOneField(entry.shell));
        check(startsALine(text, entry.name));
        checkNameRules(entry.name);
        checkNameRules(entry.name + QLatin1Char('\n'));
    }

    const QList<GroupEntry> groups = AccountFiles::parseGroup(text);
    QList<GroupEntry> groupsByLine;
    for (const QString& line : lines)
        groupsByLine += AccountFiles::parseGroup(line);
    const QList<GroupEntry> groupsAfterNul = AccountFiles::parseGroup(nulLine + text);
    check(groups.size() == groupsByLine.size() && groups.size() == groupsAfterNul.size());
    for (int i = 0; i < groups.size(); ++i) {
        const GroupEntry& group = groups.at(i);
        check(sameGroup(group, groupsByLine.at(i)) && sameGroup(group, groupsAfterNul.at(i)));
        check(isOneField(group.name) && startsALine(text, group.name));
        for (const QString& member : group.members)
            check(isOneField(member) && !member.contains(QLatin1Char(',')));
    }

    // Derived answers stay within what was read.
    const QSet<QString> defined = AccountFiles::groupNames(groups);
    const QSet<QString> everyones = AccountFiles::everyonesGroups(text, groups);
    check((everyones - defined).isEmpty() && !everyones.contains(QStringLiteral("sudo")));
    if (!passwd.isEmpty()) {
        const PasswdEntry& first = passwd.first();
        AccountFiles::userType(first.uid, first.name, groups, everyones);
        for (const QString& group : AccountFiles::userGroups(first.name, first.gid, groups))
            check(defined.contains(group));
        QStringList sudo;
        const int inRange = AccountFiles::administratorsInRange(passwd, groups, &sudo);
        check(inRange >= 0 && inRange <= sudo.size());
        check(!AccountFiles::isOnlyAdministrator(first.name, passwd, groups) || inRange == 1);
    }
}

void checkRewrites(const QString& text) {
    const QString user = QStringLiteral("alice");
    // Switched on, the configuration names the user; switched off, it does not.
    check(AccountFiles::autoLoginNames(AccountFiles::withAutoLogin(text, user, true), user));
    check(!AccountFiles::autoLoginNames(AccountFiles::withAutoLogin(text, user, false), user));

    const int level = AccountFiles::securityLevelFrom(text);
    check(level >= 0 && level <= 2);
    // The level written reads back when it went into the first line.
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    bool anyLevelLine = false;
    for (const QString& line : text.split(QLatin1Char('\n')))
        anyLevelLine = anyLevelLine || line.trimmed().startsWith(QLatin1String("security_level"));
    for (int written = 0; written <= 2; ++written)
        if (!anyLevelLine || firstLine.startsWith(QLatin1String("security_level")))
            check(AccountFiles::securityLevelFrom(AccountFiles::withSecurityLevel(text, written)) == written);

    // A description, whatever it holds, adds at most one line to the file.
    const QString described = AccountFiles::withDescription(text, text.left(64));
    check(lineCount(described) >= lineCount(text) && lineCount(described) <= lineCount(text) + 1);
    AccountFiles::descriptionFrom(described);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    checkNameRules(text);
    checkNameRules(text.section(QLatin1Char('\n'), 0, 1));
    checkPasswdAndGroup(text);
    checkRewrites(text);
    if (size >= size_t(AccountFiles::lastLogRecordSize()))
        check(!AccountFiles::lastLoginText(QByteArray(reinterpret_cast<const char*>(data), int(size)))
                   .contains(QLatin1Char('\n')));
    return 0;
}
