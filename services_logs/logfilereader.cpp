#include "logfilereader.h"

#include "commandrunner.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    // Up to size bytes at offset; fewer only at the end of the file.
    qint64 readAt(char* into, qint64 size, qint64 offset) const {
        qint64 total = 0;
        while (total < size) {
            const ssize_t got = ::pread(fd, into + total, size_t(size - total), off_t(offset + total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            total += got;
        }
        return total;
    }

    const int fd;
};

LogFileReader::Result failure(LogFileReader::Result::Status status, int errorNumber) {
    LogFileReader::Result result;
    result.status = status;
    result.error = QString::fromLocal8Bit(std::strerror(errorNumber));
    return result;
}

LogFileReader::Result aborted() {
    LogFileReader::Result result;
    result.status = LogFileReader::Result::Aborted;
    return result;
}

} // namespace

LogFileReader::Result LogFileReader::read(const QString& path, const Limits& limits, const Sizes& sizes,
                                          const Line& line, const Progress& progress,
                                          const std::atomic<bool>* cancel) {
    const auto stopped = [cancel] { return CommandRunner::isAborted() || (cancel && cancel->load()); };
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.fd < 0)
        return failure(errno == ENOENT || errno == ENOTDIR ? Result::Missing : Result::Failed, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return failure(Result::Failed, errno);
    if (!S_ISREG(info.st_mode)) {
        Result result;
        result.error = QStringLiteral("not a regular file");
        return result;
    }
    Result result;
    result.status = Result::Ok;
    result.lastModified = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec);
    const qint64 size = info.st_size;
    std::vector<char> piece(static_cast<size_t>(PieceBytes));

    // Where the newest part begins: walking back from the end, after the
    // line break that ends the line before the newest maxLines lines, or at
    // the first whole line of the last maxBytes bytes.
    const qint64 byteLimitStart = std::max<qint64>(0, size - limits.maxBytes);
    qint64 start = -1, breaks = 0, firstBreak = -1;
    for (qint64 to = size; to > byteLimitStart && start < 0;) {
        const qint64 from = std::max(byteLimitStart, to - PieceBytes);
        const qint64 got = file.readAt(piece.data(), to - from, from);
        if (got < 0)
            return failure(Result::Failed, errno);
        for (qint64 i = got - 1; i >= 0; --i) {
            // The line break that ends the file ends its last line.
            if (piece[size_t(i)] != '\n' || from + i == size - 1)
                continue;
            firstBreak = from + i;
            if (++breaks == limits.maxLines) {
                start = from + i + 1;
                break;
            }
        }
        if (stopped())
            return aborted();
        to = from;
    }
    if (start < 0) {
        char before = '\n';
        if (byteLimitStart > 0 && file.readAt(&before, 1, byteLimitStart - 1) != 1)
            return failure(Result::Failed, errno);
        start = before == '\n' ? byteLimitStart : (firstBreak >= 0 ? firstBreak + 1 : size);
    }

    // Lines before it are only counted, a last line without a line break
    // too when it is all of the newest part and longer than it.
    char last = '\n';
    for (qint64 from = 0; from < start; from += PieceBytes) {
        const qint64 got = file.readAt(piece.data(), std::min<qint64>(PieceBytes, start - from), from);
        if (got <= 0)
            return failure(Result::Failed, got < 0 ? errno : EIO);
        result.leftOutLines += std::count(piece.data(), piece.data() + got, '\n');
        last = piece[size_t(got - 1)];
        if (stopped())
            return aborted();
    }
    if (last != '\n')
        ++result.leftOutLines;

    const qint64 total = size - start;
    if (sizes)
        sizes(breaks + 1, total);
    // Lines are handed over where they lie in the piece; a line that goes on
    // past the piece's end is moved to its front and the piece filled up.
    qint64 offset = start;
    size_t kept = 0;
    while (offset < size) {
        if (kept == piece.size())
            piece.resize(piece.size() * 2); // a line longer than the piece
        const qint64 got = file.readAt(piece.data() + kept, qint64(piece.size() - kept), offset);
        if (got < 0)
            return failure(Result::Failed, errno);
        if (got == 0)
            break; // the file became shorter meanwhile
        offset += got;
        const char* data = piece.data();
        const char* end = data + kept + size_t(got);
        const char* lineStart = data;
        while (const void* found = std::memchr(lineStart, '\n', size_t(end - lineStart))) {
            const char* lineEnd = static_cast<const char*>(found);
            const char* textEnd = lineEnd > lineStart && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
            line(lineStart, int(textEnd - lineStart));
            lineStart = lineEnd + 1;
        }
        kept = size_t(end - lineStart);
        std::memmove(piece.data(), lineStart, kept);
        if (progress)
            progress(offset - start, total);
        if (stopped())
            return aborted();
    }
    if (kept > 0)
        line(piece.data(), int(kept));
    return result;
}
