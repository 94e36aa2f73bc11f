#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>

// Reads the newest lines of a log file a piece at a time, so that a file of
// any size costs no more memory than its newest part, and so that quitting
// stops the read within one piece.
class LogFileReader {
public:
    // A page keeps at most the newest lines of a log: this many, in at most
    // this many bytes, whichever comes first. Older lines are left out and
    // counted.
    static constexpr qint64 DefaultMaxLines = 2000000;
    static constexpr qint64 DefaultMaxBytes = qint64(256) << 20;

    struct Limits {
        qint64 maxLines = DefaultMaxLines;
        qint64 maxBytes = DefaultMaxBytes;
    };

    struct Result {
        enum Status { Ok, Missing, Failed, Aborted };
        Status status = Failed;
        QString error;
        qint64 leftOutLines = 0; // older lines not read because of the limits
        QDateTime lastModified;
    };

    // Told first how many lines (an estimate from above) and bytes will come.
    using Sizes = std::function<void(qint64 lines, qint64 bytes)>;
    // One line without its line break (and without a carriage return before it).
    using Line = std::function<void(const char* line, int size)>;
    // Bytes of the newest part read so far, of how many.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // Only regular files are read (a FIFO in its place never blocks the
    // read). The read ends early, with Aborted, when the program quits or
    // cancel is set.
    static Result read(const QString& path, const Limits& limits, const Sizes& sizes, const Line& line,
                       const Progress& progress, const std::atomic<bool>* cancel = nullptr);

    // Bytes read at a time.
    static constexpr int PieceBytes = 1 << 20;
};
