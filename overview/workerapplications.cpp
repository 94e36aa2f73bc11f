#include "workerapplications.h"

#include "commandrunner.h"

void WorkerApplications::fetchWindowList() {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    const CommandResult result =
        CommandRunner::run(QStringLiteral("wmctrl"), {QStringLiteral("-l")}, options);
    // A run cut short may end in the middle of a line: use none of it.
    emit windowListRead(result.started && !result.timedOut && !result.crashed ? result.standardOutput
                                                                              : QByteArray());
}

void WorkerApplications::runWindowCommand(const QString& action, const QString& id) {
    CommandOptions options;
    options.timeoutMs = timeoutMs;
    const CommandResult result = CommandRunner::run(QStringLiteral("wmctrl"), {action, id}, options);
    emit windowCommandFinished(action, id, result.succeeded());
}
