#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Helpers shared by the tests: running the real program, and waiting on X.
namespace TestSupport {

// Gives this test program an environment of its own, whoever started the
// suite (a root login, plain sudo or sudo -E): no SUDO_USER, SUDO_UID,
// SUDO_GID or SUDO_COMMAND (a test that needs them sets them), no
// XDG_RUNTIME_DIR, a HOME of its own in the build folder that also holds
// what Qt and GTK keep per user, and neither a session nor a
// system bus ("disabled:", as the program sets for itself): nothing starts
// a bus or reaches the machine's or the caller's. Every test program runs
// it before main (testenvironment.cpp); a test may set any of them again.
void useOwnEnvironment();

QString programPath();
QString testDataPath(const QString& relative);
// The bytes of a file under tests/data; a missing one ends the run.
QByteArray testData(const QString& relative);
// A copy of the fixture tree tests/data/<fixture> under folder, with the
// modes cron asks of its files whatever the checkout's umask gave them:
// 0644 or 0755 for the system's, 0600 for a personal crontab in the spool.
bool copyCronFixture(const QString& fixture, const QString& folder);

// A unique name for throwaway files, sockets and namespaces.
QString uniqueName(const QString& prefix);

// A unique name for a throwaway account: prefix, this run's id (letters
// only) and a number. The first call takes this run's lock (see below).
QString accountName(const QString& prefix);

// Removes the throwaway accounts (and their homes) named by accountName(prefix)
// that an earlier run made and could not remove because it was killed. Each
// run holds an flock on a file of its own in runLockFolder() for its life;
// an account is stale only when its run's lock can be taken. Accounts of a
// live run, in another pid namespace or another checkout, are never touched,
// nor is any account whose run left no lock file.
void removeStaleTestAccounts(const QString& prefix);

// The folder of the runs' lock files, shared by every copy of the suite on
// the machine (never under /run or /root, which some tests mount over).
QString runLockFolder();
// This run's id, as it appears in its account names and lock file.
QString runId();

// Polls condition every 20 ms up to timeoutMs, processing events meanwhile.
template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 10000);

// The X windows (ids as wmctrl prints them) whose _NET_WM_PID is pid: each
// test finds its own windows, whatever else runs on the display.
QStringList windowsOfProcess(qint64 pid);

// The X windows whose title is exactly title; for windows with a title
// unique to the test.
QStringList windowIdsWithTitle(const QString& title);

// Moves this test process (and every program it starts from now on) into a
// mount namespace of its own, with empty private folders over /run and /root:
// the program's single-instance socket and settings never meet the machine's
// or another test's. Call from the main thread before starting programs.
bool isolateSystemFolders();

// Moves the calling thread, and every thread and program started from it
// later, into a network namespace of its own with only its loopback up:
// captures, veth pairs, addresses and ports never meet the machine's or
// another test's. Call before any thread starts (a static initialiser of the
// test does). False when the namespace cannot be made (not root).
bool isolateNetwork();

// Live processes (zombies left out) whose environment holds entry
// ("NAME=value"): everything a start made, however far it went from its
// parent, when the test gave that start a variable of its own.
QStringList processesWithEnvironmentEntry(const QByteArray& entry);

// Runs action on the next modal window of the class that opens (looked for
// every 20 ms), once; the action closes it.
void onNextModal(const char* className, std::function<void(QWidget*)> action);

// Writes an executable shell script; for stand-in tools.
bool writeScript(const QString& path, const QByteArray& body);

// Peak resident memory of this process (VmHWM) in bytes since the last
// resetPeakMemory(), which sets it to what is resident now.
qint64 peakMemory();
void resetPeakMemory();

} // namespace TestSupport

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <typename Condition> bool TestSupport::waitFor(Condition condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}
