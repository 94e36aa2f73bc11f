#include "childprocess.h"

#include <QString>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef CLONE_PIDFD
#define CLONE_PIDFD 0x00001000
#endif

namespace {

// Everything the child needs, prepared by the parent: the child shares the
// parent's memory and must not allocate.
struct ChildSetup {
    const char* executable;
    char* const* argv;
    char* const* envp;
    const char* workingDirectory; // null keeps the current one
    int fds[3];                   // become 0, 1 and 2; each is 3 or above
    pid_t parent;
    int error; // written by the child when it cannot exec
};

// Runs in the child on a stack of its own, with every signal blocked, until
// exec. Only system calls: no lock, allocation or handler of the parent's.
// Not instrumented: the sanitizers' bookkeeping is the parent's memory.
__attribute__((no_sanitize("address", "undefined"))) int childMain(void* argument) {
    auto* setup = static_cast<ChildSetup*>(argument);
    // The parent's handlers must not run here: a SIGTERM to the group before
    // exec would otherwise tell the program itself to quit. Ignored signals
    // stay ignored, as across exec, except the SIGPIPE the program ignores
    // for its own pipes.
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        if (signalNumber == SIGKILL || signalNumber == SIGSTOP)
            continue;
        struct sigaction current;
        if (::sigaction(signalNumber, nullptr, &current) != 0)
            continue;
        if (current.sa_handler == SIG_DFL || (current.sa_handler == SIG_IGN && signalNumber != SIGPIPE))
            continue;
        struct sigaction reset;
        std::memset(&reset, 0, sizeof reset);
        reset.sa_handler = SIG_DFL;
        ::sigaction(signalNumber, &reset, nullptr);
    }
    ::setpgid(0, 0);
    // Ends with the program, also when it is killed before this line (the
    // child then has a new parent).
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != setup->parent)
        ::_exit(127);
    for (int target = 0; target < 3; ++target) {
        if (::dup2(setup->fds[target], target) < 0) {
            setup->error = errno;
            ::_exit(127);
        }
    }
#ifdef SYS_close_range
    // Nothing else of the program's reaches the tool (older kernels: the
    // program's descriptors are close-on-exec).
    ::syscall(SYS_close_range, 3U, ~0U, 0U);
#endif
    if (setup->workingDirectory && ::chdir(setup->workingDirectory) != 0) {
        setup->error = errno;
        ::_exit(127);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(setup->executable, setup->argv, setup->envp);
    setup->error = errno;
    ::_exit(127);
}

// Writing to a pipe whose reader has gone must fail, not end the program.
void ignoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current;
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGPIPE, SIG_IGN);
    });
}

// A close-on-exec pipe whose two ends are above the standard descriptors
// (the program may have been started with one of those closed).
bool makePipe(int fds[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (fds[i] > 2)
            continue;
        const int moved = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 3);
        ::close(fds[i]);
        fds[i] = moved;
    }
    if (fds[0] >= 0 && fds[1] >= 0)
        return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i] >= 0)
            ::close(fds[i]);
    }
    return false;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

std::vector<char*> pointersTo(const QList<QByteArray>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(size_t(strings.size()) + 1);
    for (const QByteArray& string : strings)
        pointers.push_back(const_cast<char*>(string.constData()));
    pointers.push_back(nullptr);
    return pointers;
}

constexpr size_t kChildStackSize = 64 * 1024;
} // namespace

ChildProcess::~ChildProcess() {
    if (pid > 0 && !reaped)
        killGroup(1000);
    closeAll();
}

bool ChildProcess::start(const Command& command, QString* error) {
    ignoreBrokenPipes();
    int input[2] = {-1, -1}, output[2] = {-1, -1}, errors[2] = {-1, -1};
    const auto fail = [&](int code) {
        for (int* pair : {input, output, errors}) {
            closeFd(pair[0]);
            closeFd(pair[1]);
        }
        *error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    };
    if (!makePipe(input) || !makePipe(output) || !makePipe(errors))
        return fail(errno);

    // Copies that outlive the child's use of them: it reads them until exec.
    const QList<QByteArray> argv = command.argv;
    const QList<QByteArray> environment = command.environment;
    const QByteArray executable = command.executable;
    const QByteArray workingDirectory = command.workingDirectory;
    const std::vector<char*> argvPointers = pointersTo(argv);
    const std::vector<char*> environmentPointers = pointersTo(environment);
    ChildSetup setup{executable.constData(),
                     argvPointers.data(),
                     environmentPointers.data(),
                     workingDirectory.isEmpty() ? nullptr : workingDirectory.constData(),
                     {input[0], output[1], errors[1]},
                     ::getpid(),
                     0};

    void* stack = ::mmap(nullptr, kChildStackSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return fail(errno);
    // No handler may run in the child; the parent thread gets its mask back
    // once the child has gone to exec (CLONE_VFORK holds it until then).
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    char* stackTop = static_cast<char*>(stack) + kChildStackSize;
    int descriptor = -1;
    pid_t child =
        ::clone(childMain, stackTop, CLONE_VM | CLONE_VFORK | CLONE_PIDFD | SIGCHLD, &setup, &descriptor);
    if (child < 0 && errno == EINVAL) {
        descriptor = -1;
        child = ::clone(childMain, stackTop, CLONE_VM | CLONE_VFORK | SIGCHLD, &setup);
    }
    const int cloneError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::munmap(stack, kChildStackSize);
    if (child < 0)
        return fail(cloneError);

    closeFd(input[0]);
    closeFd(output[1]);
    closeFd(errors[1]);
    pid = child;
    pidFd = descriptor;
    stdinFd = input[1];
    stdoutFd = output[0];
    stderrFd = errors[0];
    if (setup.error != 0) {
        reap(1000);
        closeAll();
        *error = QString::fromLocal8Bit(std::strerror(setup.error));
        return false;
    }
    if (pidFd < 0) {
#ifdef SYS_pidfd_open
        pidFd = int(::syscall(SYS_pidfd_open, pid, 0));
#endif
    }
    for (int fd : {stdinFd, stdoutFd, stderrFd})
        setNonBlocking(fd);
    return true;
}

ChildProcess::Outcome ChildProcess::waitForExit(const QByteArray& input, const QDeadlineTimer& deadline,
                                                const std::function<bool()>& stop, int pollMs) {
    qsizetype written = 0;
    if (input.isEmpty())
        closeFd(stdinFd);
    bool exited = false;
    while (!exited) {
        if (stop && stop())
            return Outcome::Stopped;
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Outcome::TimedOut;
        // Without a process descriptor the exit is noticed by looking often.
        const int slice = pidFd >= 0 ? pollMs : qMin(pollMs, 5);
        const int timeout = left < 0 ? slice : int(qMin<qint64>(left, slice));

        pollfd fds[4];
        int count = 0;
        const auto watch = [&](int fd, short events) {
            if (fd >= 0)
                fds[count++] = pollfd{fd, events, 0};
        };
        watch(stdoutFd, POLLIN);
        watch(stderrFd, POLLIN);
        watch(stdinFd, POLLOUT);
        watch(pidFd, POLLIN);
        if (::poll(fds, nfds_t(count), timeout) < 0 && errno != EINTR)
            return Outcome::TimedOut;

        bool readable = false;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (fds[i].fd == stdoutFd || fds[i].fd == stderrFd) {
                readable = true;
            } else if (fds[i].fd == stdinFd) {
                if (fds[i].revents & (POLLERR | POLLHUP)) {
                    closeFd(stdinFd); // the child closed its input
                    continue;
                }
                const ssize_t done =
                    ::write(stdinFd, input.constData() + written, size_t(input.size() - written));
                if (done > 0)
                    written += done;
                if ((done < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                    closeFd(stdinFd);
            }
        }
        if (readable && !readBoth())
            return Outcome::OutputTooLarge;
        exited = ended();
    }
    // The child has ended but is not reaped, so its pid and group id are
    // still its own: what it left in its group (a background child holding
    // the pipes, say) ends now.
    ::kill(-pid, SIGKILL);
    reap(1000);
    // What was written before the end. Only a writer that left the group can
    // add to it now; it is read until the deadline, not waited for.
    bool more = true;
    do {
        const Read output = readAvailable(stdoutFd, standardOutput, maxOutputBytes);
        const Read errors = readAvailable(stderrFd, standardError, maxErrorBytes);
        if (output == Read::Overflow || errors == Read::Overflow) {
            overflow = output == Read::Overflow ? Stream::Output : Stream::Error;
            closeAll();
            return Outcome::OutputTooLarge;
        }
        more = output == Read::More || errors == Read::More;
    } while (more && deadline.remainingTime() != 0 && !(stop && stop()));
    closeAll();
    return Outcome::Exited;
}

void ChildProcess::killGroup(int timeoutMs) {
    // An unreaped child keeps its pid, so the group id is still its own.
    if (pid <= 0 || reaped)
        return;
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    reap(timeoutMs);
    if (overflow == Stream::None)
        readBoth();
    closeAll();
}

bool ChildProcess::ended() {
    siginfo_t info;
    info.si_pid = 0;
    return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

bool ChildProcess::reap(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!reaped) {
        int waitStatus = 0;
        const pid_t done = ::waitpid(pid, &waitStatus, WNOHANG);
        if (done == pid) {
            status = waitStatus;
            reaped = true;
            break;
        }
        if (done < 0 && errno != EINTR)
            return false; // not ours to reap any more
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        pollfd exit{pidFd, POLLIN, 0};
        if (pidFd >= 0)
            ::poll(&exit, 1, int(qMin<qint64>(left < 0 ? 100 : left, 100)));
        else
            ::usleep(2000);
    }
    return true;
}

ChildProcess::Read ChildProcess::readAvailable(int& fd, QByteArray& into, qsizetype limit) {
    char buffer[65536];
    // A megabyte at a time: a child that writes without pause must not keep
    // the caller from its deadline and stop flag.
    for (int reads = 0; reads < 16; ++reads) {
        if (fd < 0)
            return Read::Drained;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            if (got > limit - into.size())
                return Read::Overflow;
            into.append(buffer, int(got));
        } else if (got == 0) {
            closeFd(fd);
        } else if (errno != EINTR) {
            if (errno != EAGAIN)
                closeFd(fd);
            return Read::Drained;
        }
    }
    return Read::More;
}

// False once either output went over its limit.
bool ChildProcess::readBoth() {
    if (readAvailable(stdoutFd, standardOutput, maxOutputBytes) == Read::Overflow)
        overflow = Stream::Output;
    else if (readAvailable(stderrFd, standardError, maxErrorBytes) == Read::Overflow)
        overflow = Stream::Error;
    return overflow == Stream::None;
}

void ChildProcess::closeAll() {
    for (int* fd : {&stdinFd, &stdoutFd, &stderrFd, &pidFd})
        closeFd(*fd);
}

bool ChildProcess::crashed() const {
    return reaped && WIFSIGNALED(status);
}

int ChildProcess::exitCode() const {
    if (!reaped)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status);
}
