#include "testsupport.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport {

QString programPath() {
    return QStringLiteral(TESSMAR_BINARY);
}

QString testDataPath(const QString& relative) {
    return QStringLiteral(TESSMAR_TEST_DATA "/") + relative;
}

QByteArray testData(const QString& relative) {
    QFile file(testDataPath(relative));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(relative));
    return file.readAll();
}

QString uniqueName(const QString& prefix) {
    static QAtomicInt counter;
    return QStringLiteral("%1%2x%3")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1));
}

void removeStaleTestAccounts(const QString& prefix) {
    QFile passwd(QStringLiteral("/etc/passwd"));
    if (!passwd.open(QIODevice::ReadOnly))
        return;
    const QRegularExpression testAccount(
        QStringLiteral("^%1(\\d+)x\\d+$").arg(QRegularExpression::escape(prefix)));
    const QList<QByteArray> lines = passwd.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QString name = QString::fromUtf8(line.left(line.indexOf(':')));
        const QRegularExpressionMatch match = testAccount.match(name);
        if (match.hasMatch() && !QFileInfo::exists(QStringLiteral("/proc/") + match.captured(1)))
            QProcess::execute(QStringLiteral("userdel"), {QStringLiteral("-r"), name});
    }
}

QStringList windowIdsWithTitle(const QString& title) {
    QProcess wmctrl;
    wmctrl.start(QStringLiteral("wmctrl"), {QStringLiteral("-l")});
    wmctrl.waitForFinished(5000);
    QStringList ids;
    const QStringList lines = QString::fromUtf8(wmctrl.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // "0x01000003  0 host Title with blanks"
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 4 && fields.mid(3).join(QLatin1Char(' ')) == title)
            ids << fields.at(0);
    }
    return ids;
}

QStringList windowsOfProcess(qint64 pid) {
    QProcess wmctrl;
    wmctrl.start(QStringLiteral("wmctrl"), {QStringLiteral("-l"), QStringLiteral("-p")});
    wmctrl.waitForFinished(5000);
    QStringList ids;
    const QStringList lines = QString::fromUtf8(wmctrl.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // "0x01000003  0 4242   host Title with blanks"
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() >= 3 && fields.at(2).toLongLong() == pid)
            ids << fields.at(0);
    }
    return ids;
}

bool isolateSystemFolders() {
    if (::unshare(CLONE_NEWNS) != 0)
        return false;
    // Nothing mounted here may reach the machine's own mount table.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    for (const char* folder : {"/run", "/root"})
        if (::mount("tessmar-test", folder, "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0)
            return false;
    return true;
}

bool isolateNetwork() {
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (control < 0)
        return false;
    ifreq request{};
    ::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(control, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(control, SIOCSIFFLAGS, &request) == 0;
    ::close(control);
    return up;
}

QStringList processesWithEnvironmentEntry(const QByteArray& entry) {
    QStringList found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        QFile environment(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains(entry))
            found << pid;
    }
    return found;
}

bool writeScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace TestSupport
