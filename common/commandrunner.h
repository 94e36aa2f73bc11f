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
    // The exit status is an answer the caller reads (pgrep finding no
    // process exits with 1), so a non-zero one is not logged as a failure.
    bool exitStatusIsAnswer = false;
    // The most the program may write to its standard output and to its
    // standard error; a byte more and it is ended (CommandResult::outputTooLarge).
    // Size it from the largest real output of the tool, with a margin.
    qsizetype maxOutputBytes = 4 * 1024 * 1024;
    qsizetype maxErrorBytes = 1024 * 1024;
};

struct CommandResult {
    bool started = false;
    bool timedOut = false;
    bool crashed = false;
    // The program is quitting: the child was ended, or never started.
    bool aborted = false;
    // The child wrote more than its limit (CommandOptions) and was ended;
    // errorString says how much, and neither output is kept: a listing cut
    // at an arbitrary byte is no answer.
    bool outputTooLarge = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    QString errorString;

    // True only when the program started, ran to its end and exited with 0.
    bool succeeded() const {
        return started && !timedOut && !crashed && !aborted && !outputTooLarge && exitCode == 0;
    }
    QString outputText() const { return QString::fromUtf8(standardOutput); }
    QString errorText() const { return QString::fromUtf8(standardError); }
    // One line for logs and message boxes, e.g. "kill exited with 1: No such
    // process" or "dmesg wrote more than 64 MB of output; it was stopped".
    QString describeFailure(const QString& program) const;
};

// The one way the program runs external tools: an argument list (no shell
// word splitting), a time limit, and every failure logged and reported.
// A bare program name is looked up in SystemPaths::searchPath() only, and
// the child gets that search path as its PATH. Safe to call from any thread.
class CommandRunner {
public:
    static CommandResult run(const QString& program, const QStringList& arguments,
                             const CommandOptions& options = CommandOptions());

    // The absolute path run() would start, or an empty string.
    static QString resolveProgram(const QString& program);

    // Called when the program quits: every running child is ended within a
    // few tens of milliseconds and every later run() fails at once, so no
    // worker keeps the program waiting on a tool.
    static void abortAll();
    static bool isAborted();
    // Tests that abort and then go on running commands.
    static void resetAbort();
};
