#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>

#include <sys/types.h>

#include <functional>

// One run of an external program, for CommandRunner: started, fed its
// input, its two outputs collected, waited for and reaped, on the calling
// thread without an event loop.
//
// The child is made with clone(CLONE_VM | CLONE_VFORK) and runs nothing but
// system calls until exec: its own process group, a parent-death signal
// (SIGKILL, re-checked against the parent's pid), default signal handlers
// and an empty signal mask, its three pipes, every other descriptor closed,
// the working directory. No at-fork handler, lock or allocation of this
// threaded program runs in it, so a child can neither hang before exec nor
// outlive the program that started it.
class ChildProcess {
public:
    struct Command {
        QByteArray executable;         // a path, not looked up
        QList<QByteArray> argv;        // argv[0] included
        QList<QByteArray> environment; // "NAME=value" entries, the whole environment
        QByteArray workingDirectory;   // empty keeps the current one
    };

    enum class Outcome { Exited, TimedOut, Stopped };

    ChildProcess() = default;
    // Kills the process group and reaps the child if it is still there.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False with errno's text in *error when the program could not be run.
    bool start(const Command& command, QString* error);

    // Writes input to the child's standard input, then closes it, and reads
    // both outputs until the child exits. Gives up at the deadline
    // (Outcome::TimedOut) or once stop() returns true, which is asked at
    // least every pollMs (Outcome::Stopped); the child still runs then.
    Outcome waitForExit(const QByteArray& input, const QDeadlineTimer& deadline,
                        const std::function<bool()>& stop, int pollMs);

    // SIGKILL to the child's process group: the child and whatever it
    // started and kept in its group. Then waits up to timeoutMs to reap it.
    void killGroup(int timeoutMs);

    pid_t processId() const { return pid; }
    bool exited() const { return reaped; }
    // From waitpid, once exited().
    bool crashed() const;
    int exitCode() const;
    QByteArray standardOutput;
    QByteArray standardError;

private:
    bool reap(int timeoutMs);
    void readAvailable(int& fd, QByteArray& into);
    void closeAll();

    pid_t pid = -1;
    int pidFd = -1;
    int stdinFd = -1;
    int stdoutFd = -1;
    int stderrFd = -1;
    bool reaped = false;
    int status = 0;
};
