#include "accountlookup.h"

#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <vector>

SystemAccount lookupAccount(const QString& name) {
    SystemAccount account;
    if (name.isEmpty())
        return account;
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r(QFile::encodeName(name).constData(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        !found)
        return account;
    account.found = true;
    account.name = name;
    account.uid = found->pw_uid;
    account.gid = found->pw_gid;
    account.home = QFile::decodeName(found->pw_dir);
    return account;
}

bool groupExists(const QString& name) {
    struct group entry {};
    struct group* found = nullptr;
    std::vector<char> buffer(65536);
    return getgrnam_r(QFile::encodeName(name).constData(), &entry, buffer.data(), buffer.size(), &found) ==
               0 &&
           found;
}
