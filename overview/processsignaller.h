#pragma once

#include <QtGlobal>

// Sends a signal to one process as the table saw it. A process ID alone is
// not enough: by the time a user picks a menu entry the process may have
// ended and its ID been given to another one. The process is pinned with a
// pidfd, its start time compared with the one the scan read, and the signal
// sent through that pidfd, so it can only reach the process that was shown.
namespace ProcessSignaller {

enum class Outcome {
    Sent,
    Gone,    // no process has the ID any more
    Reused,  // the ID names a process started at another time
    Refused, // an ID or signal the program never sends
    Failed,  // the kernel refused the signal
};

// failureErrno, when given, receives the kernel's reason for Failed.
Outcome send(qint64 pid, int signalNumber, qint64 expectedStartTime, int* failureErrno = nullptr);

} // namespace ProcessSignaller
