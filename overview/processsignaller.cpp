#include "processsignaller.h"

#include "processscanner.h"

#include <QCoreApplication>
#include <QDebug>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
int openPidfd(qint64 pid) {
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
}

int signalPidfd(int pidfd, int signalNumber) {
    return int(::syscall(SYS_pidfd_send_signal, pidfd, signalNumber, nullptr, 0));
}
} // namespace

namespace ProcessSignaller {

Outcome send(qint64 pid, int signalNumber, qint64 expectedStartTime, int* failureErrno) {
    // kill 0 or -1 would reach the program's own group or every process;
    // a stopped program could never resume itself.
    if (pid <= 0 || (signalNumber == SIGSTOP && pid == QCoreApplication::applicationPid())) {
        qWarning() << "Refusing to send signal" << signalNumber << "to process ID" << pid;
        return Outcome::Refused;
    }
    const int pidfd = openPidfd(pid);
    if (pidfd < 0) {
        qWarning().noquote() << QStringLiteral("Process %1 has ended: no signal sent").arg(pid);
        return Outcome::Gone;
    }
    // The pidfd holds whichever process has the ID now; it is the one shown
    // only when it started when the scan said.
    Outcome outcome = Outcome::Sent;
    if (ProcessScanner::startTimeOf(pid) != expectedStartTime) {
        qWarning().noquote()
            << QStringLiteral("Process ID %1 now belongs to another process: no signal sent").arg(pid);
        outcome = Outcome::Reused;
    } else if (signalPidfd(pidfd, signalNumber) != 0) {
        const int error = errno;
        qWarning().noquote() << QStringLiteral("Error sending signal %1 to process %2: %3")
                                    .arg(signalNumber)
                                    .arg(pid)
                                    .arg(QString::fromLocal8Bit(std::strerror(error)));
        outcome = error == ESRCH ? Outcome::Gone : Outcome::Failed;
        if (failureErrno)
            *failureErrno = error;
    }
    ::close(pidfd);
    return outcome;
}

} // namespace ProcessSignaller
