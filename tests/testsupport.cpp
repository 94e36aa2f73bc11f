#include "testsupport.h"

#include <QApplication>
#include <QAtomicInt>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

void useOwnEnvironment() {
    // A copy of a test program that a test starts keeps the environment
    // that test gave it.
    if (qEnvironmentVariableIsSet("TESSMAR_TEST_ENVIRONMENT"))
        return;
    qputenv("TESSMAR_TEST_ENVIRONMENT", "1");
    // Kept in the build folder from run to run: nothing to remove, however
    // the program ends; copies of a test program it starts share it.
    const std::string homes = TESSMAR_BUILD_DIR "/tests/home";
    const std::string home = homes + '/' + program_invocation_short_name;
    for (const std::string& folder : {homes, home})
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            qFatal("cannot make the test's home folder %s: %s", folder.c_str(), std::strerror(errno));
    for (const char* name : {"SUDO_USER", "SUDO_UID", "SUDO_GID", "SUDO_COMMAND", "XDG_RUNTIME_DIR",
                             "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        qunsetenv(name);
    qputenv("HOME", QByteArray(home.c_str()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "disabled:");
}

QString programPath() {
    return QStringLiteral(TESSMAR_BINARY);
}

QString testDataPath(const QString& relative) {
    return QStringLiteral(TESSMAR_TEST_DATA "/") + relative;
}

bool copyCronFixture(const QString& fixture, const QString& folder) {
    const QDir source(testDataPath(fixture));
    QDirIterator files(source.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = source.relativeFilePath(path);
        const QString target = folder + QLatin1Char('/') + relative;
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(path, target))
            return false;
        QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        if (!relative.startsWith(QLatin1String("var/spool/"))) {
            mode |= QFileDevice::ReadGroup | QFileDevice::ReadOther;
            if (QFileInfo(path).isExecutable())
                mode |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        }
        if (!QFile::setPermissions(target, mode))
            return false;
    }
    return true;
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

namespace {

QString lockFileOf(const QString& run) {
    return runLockFolder() + QLatin1Char('/') + run + QStringLiteral(".lock");
}

// The accounts whose whole name matches pattern.
QStringList accountsMatching(const QString& pattern) {
    QStringList names;
    QFile passwd(QStringLiteral("/etc/passwd"));
    if (!passwd.open(QIODevice::ReadOnly))
        return names;
    const QRegularExpression account(QRegularExpression::anchoredPattern(pattern));
    const QList<QByteArray> lines = passwd.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QString name = QString::fromUtf8(line.left(line.indexOf(':')));
        if (account.match(name).hasMatch())
            names << name;
    }
    return names;
}

// Whether name is a throwaway account of run ("[a-z_]+<run>x<digits>").
// Plain C++: the run's lock is let go after Qt's own statics are gone.
bool isAccountOfRun(const std::string& name, const std::string& run) {
    std::size_t end = name.size();
    while (end > 0 && std::isdigit(static_cast<unsigned char>(name[end - 1])))
        --end;
    if (end == name.size() || end == 0 || name[end - 1] != 'x')
        return false;
    const std::size_t start = end - 1;
    if (start <= run.size() || name.compare(start - run.size(), run.size(), run) != 0)
        return false;
    const std::size_t prefixEnd = start - run.size();
    for (std::size_t i = 0; i < prefixEnd; ++i)
        if (!std::islower(static_cast<unsigned char>(name[i])) && name[i] != '_')
            return false;
    return true;
}

// Every throwaway account of run, whatever its prefix.
bool runHasAccounts(const std::string& run) {
    std::ifstream passwd("/etc/passwd");
    std::string line;
    while (std::getline(passwd, line))
        if (isAccountOfRun(line.substr(0, line.find(':')), run))
            return true;
    return false;
}
bool runHasAccounts(const QString& run) {
    return runHasAccounts(run.toStdString());
}

// The lock this run holds until the process ends, however it ends: the
// kernel lets go of an flock when its last descriptor closes. The lock file
// goes at a normal exit when no account of the run is left; that check runs
// among the static destructors, so it uses nothing of Qt's (a pattern match
// there would reach Qt's matching stacks after they are freed).
class RunLock {
public:
    RunLock() : run(runId().toStdString()), path(QFile::encodeName(lockFileOf(runId())).toStdString()) {
        ::mkdir(QFile::encodeName(runLockFolder()).constData(), 0700);
        // Locked before it gets the name a sweep looks for, so that no sweep
        // ever takes it first.
        const std::string unnamed = path + ".new";
        descriptor = ::open(unnamed.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (descriptor < 0 || ::flock(descriptor, LOCK_EX | LOCK_NB) != 0 ||
            ::rename(unnamed.c_str(), path.c_str()) != 0)
            qFatal("cannot take the test run's lock %s: %s", path.c_str(), std::strerror(errno));
    }
    ~RunLock() {
        if (!runHasAccounts(run))
            ::unlink(path.c_str());
        ::close(descriptor);
    }

private:
    const std::string run;
    const std::string path;
    int descriptor = -1;
};

void holdRunLock() {
    static RunLock lock;
}

} // namespace

QString runLockFolder() {
    return QStringLiteral("/var/tmp/tessmar-test-runs");
}

QString runId() {
    // Letters only, so that no name of the earlier pid-numbered scheme is
    // ever read as one of these; 26^10 makes a clash between runs unheard of.
    static const QString id = [] {
        QString letters;
        QFile random(QStringLiteral("/dev/urandom"));
        const QByteArray bytes = random.open(QIODevice::ReadOnly) ? random.read(10) : QByteArray();
        if (bytes.size() != 10)
            qFatal("cannot read /dev/urandom");
        for (const char byte : bytes)
            letters += QLatin1Char(char('a' + quint8(byte) % 26));
        return letters;
    }();
    return id;
}

QString accountName(const QString& prefix) {
    static QAtomicInt counter;
    holdRunLock();
    return QStringLiteral("%1%2x%3").arg(prefix, runId()).arg(counter.fetchAndAddRelaxed(1));
}

void removeStaleTestAccounts(const QString& prefix) {
    const QStringList lockFiles =
        QDir(runLockFolder()).entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden);
    for (const QString& lockFile : lockFiles) {
        const QString run = lockFile.chopped(5);
        if (run == runId())
            continue;
        const int descriptor =
            ::open(QFile::encodeName(lockFileOf(run)).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (descriptor < 0)
            continue;
        // Taken: the run that held it has ended, whatever pid namespace it ran in.
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            const QStringList stale =
                accountsMatching(QStringLiteral("%1%2x\\d+").arg(QRegularExpression::escape(prefix), run));
            for (const QString& name : stale)
                QProcess::execute(QStringLiteral("userdel"),
                                  {QStringLiteral("-r"), QStringLiteral("-f"), QStringLiteral("--"), name});
            if (!runHasAccounts(run))
                ::unlink(QFile::encodeName(lockFileOf(run)).constData());
        }
        ::close(descriptor);
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

void onNextModal(const char* className, std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, action, className] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && QLatin1String(modal->metaObject()->className()) == QLatin1String(className)) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start(20);
}

bool writeScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

qint64 peakMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace TestSupport
