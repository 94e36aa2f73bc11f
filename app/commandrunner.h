#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct CommandOptions {
    int timeoutMs = 30000;
    // Run with LC_ALL=C so that output meant for parsing is not localised.
    bool cLocale = true;
    // Written to the program's standard input, which is then closed.
    QByteArray input;
    // Variables set on top of the inherited environment.
    QProcessEnvironment extraEnvironment;
    // Directory to run in; empty keeps the current one.
    QString workingDirectory;
};

struct CommandResult {
    bool started = false;
    bool timedOut = false;
    bool crashed = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    QString errorString;

    // True only when the program started, ran to its end and exited with 0.
    bool succeeded() const { return started && !timedOut && !crashed && exitCode == 0; }
    QString outputText() const { return QString::fromUtf8(standardOutput); }
    QString errorText() const { return QString::fromUtf8(standardError); }
    // One line for logs and message boxes, e.g. "kill exited with 1: No such process".
    QString describeFailure(const QString& program) const;
};

// The one way the program runs external tools: an argument list (no shell
// word splitting), a time limit, and every failure logged and reported.
class CommandRunner {
public:
    static CommandResult run(const QString& program, const QStringList& arguments,
                             const CommandOptions& options = CommandOptions());
};
