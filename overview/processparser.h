#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <string_view>

// Pure parsers for the files of one /proc/<pid> folder and the texts the
// Processes tab shows. No I/O here: the scanner reads, these only look.
namespace ProcessParser {

// The process ID a /proc entry name gives: decimal digits without a leading
// zero, at most the largest pid_t; 0 for every other name.
int parsePid(const char* name);

// The fields of /proc/<pid>/stat that the table needs. Numbers of more than
// 18 digits read as 0, like text that is no number.
struct StatFields {
    // The command name (field 1, without its parentheses) and the state
    // letter (field 2); the name points into the text given to parseStat.
    std::string_view command;
    char state = 0;
    // Number of fields counted as proc(5) lays them out (pid is field 0,
    // the command name field 1); 0 when the line has no "(name)" part.
    int fieldCount = 0;
    qint64 userTicks = 0;
    qint64 systemTicks = 0;
    // Clock ticks after boot at which the process started; together with the
    // process ID it tells a reused ID from the process that had it before.
    qint64 startTime = 0;
    // The kernel's per-process flags (field 8).
    qint64 flags = 0;
    QByteArray nice;

    // The CPU times are usable only on lines with more than 15 fields.
    bool hasCpuTimes() const { return fieldCount > 15; }
    // Kernel threads have no memory of their own.
    bool isKernelThread() const { return fieldCount > 8 && (flags & 0x00200000) != 0; }
};

// The command name runs to the last ")" of the line, so names holding blanks
// or ") (" cannot shift the fields after it.
StatFields parseStat(const QByteArray& stat);

// The kernel's command name as the status file's "Name:" line shows it:
// backslashes and line breaks escaped, blanks at either end trimmed.
QString processName(std::string_view command);

// The status file's text for a state letter of the stat file, such as
// "S (sleeping)"; an unknown letter stands alone.
QString stateText(char letter);

// The real user ID (the first of the four on the "Uid:\t" line) of a status
// text; a view into it, empty when there is none.
std::string_view realUid(const QByteArray& status);

// The figures of a statm text, in kB; -1 where the text holds none.
struct StatmFigures {
    // Every page resident, file-backed or not.
    qint64 residentKb = -1;
    // Resident anonymous memory: resident minus shared (file-backed) pages.
    qint64 anonKb = -1;
};
StatmFigures parseStatm(const QByteArray& statm, qint64 pageKb);

// Resident anonymous memory in kB from a statm text (resident minus shared
// pages); -1 when the text holds no such figures.
qint64 anonymousKb(const QByteArray& statm, qint64 pageKb);

// True for a state text that says sleeping or idle ("S (sleeping)", "I (idle)"):
// only those may be shown as running when the process used CPU meanwhile.
// Stopped, traced, zombie and uninterruptible states stand as the kernel says.
bool isSleepingState(const QString& state);

// Private_Clean plus Private_Dirty of a smaps_rollup text, in kB; a figure
// of more than 18 digits is left out.
qint64 privateMemoryKb(const QByteArray& smapsRollup);

// 512 -> "512 KB", 1000 -> "1.0 MB", 999999 -> "1000.0 MB", 2500000 -> "2.50 GB"
// (factors of 1000, as the numeric table cells read them back).
QString formatMemoryKb(qint64 kilobytes);

// The session user's ID from XDG_RUNTIME_DIR ("/run/user/1000", with or
// without a trailing slash); empty when the folder does not name one.
QString sessionUidFromRuntimeDir(const QString& runtimeDir);
// The desktop session's user: from the runtime folder, and when that names
// none (XDG_RUNTIME_DIR unset, as some sudo set-ups leave it), the user who
// started the program through sudo (SUDO_UID). Empty when neither names one.
QString sessionUid(const QString& runtimeDir, const QString& sudoUid);

// Login names by numeric user ID; the first line of an ID wins.
QHash<QString, QString> parsePasswd(const QByteArray& passwd);

// False for kernel threads and system daemons, which get the generic icon.
bool isUserProcess(const QString& name, const QString& user);

// Process names are chosen by any local user: only a plain name may be
// looked up as a theme icon or joined to an icon folder.
bool isSafeIconName(const QString& name);

} // namespace ProcessParser
