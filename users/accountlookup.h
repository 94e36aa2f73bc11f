#pragma once

#include <QString>
#include <sys/types.h>

// One account as the system's account database (NSS) knows it.
struct SystemAccount {
    bool found = false;
    QString name;
    uid_t uid = 0;
    gid_t gid = 0;
    QString home;
};

// Re-entrant look-ups, safe from any thread.
SystemAccount lookupAccount(const QString& name);
bool groupExists(const QString& name);
