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
// threaded program runs in it, so a child cannot hang before exec.
//
// What ends when: the child's process group is killed at every end of a run
// (the child's exit, a time-out, too much output, a stop, destruction), so
// nothing the tool started and left in its group outlives the run. The child
// itself also dies with the thread that started it, even when the program is
// killed with SIGKILL; what the tool started does not then: it runs on until
// it ends by itself (as sudo's command finishes once its output pipe is
// gone). A process that left the tool's group (a daemon) is never killed.
class ChildProcess {
public:
    struct Command {
        QByteArray executable;         // a path, not looked up
        QList<QByteArray> argv;        // argv[0] included
        QList<QByteArray> environment; // "NAME=value" entries, the whole environment
        QByteArray workingDirectory;   // empty keeps the current one
    };

    enum class Outcome { Exited, TimedOut, Stopped, OutputTooLarge };
    enum class Stream { None, Output, Error };

    ChildProcess() = default;
    // Kills the process group and reaps the child if it is still there.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False with errno's text in *error when the program could not be run.
    bool start(const Command& command, QString* error);

    // Writes input to the child's standard input, then closes it, and reads
    // both outputs until the child exits; then kills what is left of its
    // process group and reaps it. Gives up at the deadline (Outcome::TimedOut),
    // once stop() returns true (Outcome::Stopped) or once an output would
    // grow past its limit (Outcome::OutputTooLarge, overflowed() says which);
    // the child still runs then. The deadline and stop() are looked at between
    // reads too, at least every pollMs, however fast the child writes.
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
    // The most each output may hold; a byte more ends the wait.
    qsizetype maxOutputBytes = 4 * 1024 * 1024;
    qsizetype maxErrorBytes = 1024 * 1024;
    Stream overflowed() const { return overflow; }

private:
    enum class Read { Drained, More, Overflow };
    bool ended();
    bool reap(int timeoutMs);
    Read readAvailable(int& fd, QByteArray& into, qsizetype limit);
    bool readBoth();
    void closeAll();

    pid_t pid = -1;
    int pidFd = -1;
    int stdinFd = -1;
    int stdoutFd = -1;
    int stderrFd = -1;
    bool reaped = false;
    int status = 0;
    Stream overflow = Stream::None;
};
