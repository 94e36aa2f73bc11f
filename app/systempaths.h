#pragma once

#include <QString>

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
};
