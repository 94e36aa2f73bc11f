#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A machine of the test's own for tests that build the whole window: a
// temporary root with its own account files (root and alice), settings
// folder and empty logs, the kernel's /proc and /sys seen through it, and a
// folder of stand-ins first on the search path, one for every program the
// window runs, each printing nothing and succeeding until given a body.
// Nothing the window reads or runs is the machine's: its accounts, homes,
// services, logs and settings stay unseen. Restores the previous root and
// search path when it goes.
class StandInMachine {
public:
    StandInMachine();
    ~StandInMachine();
    StandInMachine(const StandInMachine&) = delete;
    StandInMachine& operator=(const StandInMachine&) = delete;

    bool isValid() const { return valid; }
    // A path under the root, e.g. path("/etc/passwd").
    QString path(const QString& absolutePath) const;
    bool write(const QString& absolutePath, const QByteArray& content) const;
    // Gives a stand-in (new or not) the shell script body.
    bool setTool(const QString& name, const QByteArray& body) const;
    QString toolsFolder() const { return tools.path(); }

    // Every program the window runs somewhere.
    static QStringList programs();

private:
    QTemporaryDir root;
    QTemporaryDir tools;
    QString previousRoot;
    QStringList previousSearchPath;
    bool valid = false;
};
