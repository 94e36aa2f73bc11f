#pragma once

#include <QString>
#include <QStringList>

// Fixed system paths (/proc, /etc, /var/log, ...) are read through here so
// that tests can point every reader at a fixture tree. The prefix can only be
// set from code: the program runs as root with the invoking user's
// environment, so an environment variable must never redirect what it reads.
class SystemPaths {
public:
    // Prefix prepended to every absolute system path; empty in the program.
    static void setRootPrefix(const QString& prefix);
    static QString rootPrefix();

    // The path under the current prefix, e.g. path("/proc/stat").
    static QString path(const QString& absolutePath);

    // Folders searched for the programs the program runs, in order. It is
    // sudo's secure path, never the inherited PATH: a root process must not
    // run whatever the invoking user put first on theirs. Tests put a folder
    // of stand-in tools first with prependSearchPath().
    static QStringList searchPath();
    static void setSearchPath(const QStringList& folders);
    static void prependSearchPath(const QString& folder);
    static QStringList defaultSearchPath();
};
