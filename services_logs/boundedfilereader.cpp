#include "boundedfilereader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
BoundedFileRead failure(int errorNumber) {
    BoundedFileRead read;
    read.status =
        errorNumber == ENOENT || errorNumber == ENOTDIR ? BoundedFileRead::Missing : BoundedFileRead::Failed;
    read.errorNumber = errorNumber;
    read.error = QString::fromLocal8Bit(std::strerror(errorNumber));
    return read;
}
} // namespace

BoundedFileRead readBoundedRegularFile(const QString& path, qint64 maxBytes, bool followSymlinks) {
    const QByteArray encoded = QFile::encodeName(path);
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (!followSymlinks)
        flags |= O_NOFOLLOW;
    const int fd = ::open(encoded.constData(), flags);
    if (fd < 0)
        return failure(errno);

    BoundedFileRead read;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        read = failure(errno);
    } else if (!S_ISREG(info.st_mode)) {
        read.status = BoundedFileRead::Failed;
        read.error = QStringLiteral("not a regular file");
    } else {
        read.status = BoundedFileRead::Ok;
        read.data.resize(static_cast<int>(std::min<qint64>(maxBytes + 1, 64 * 1024)));
        qint64 total = 0;
        while (total <= maxBytes) {
            if (total == read.data.size())
                read.data.resize(static_cast<int>(std::min<qint64>(read.data.size() * 2, maxBytes + 1)));
            const ssize_t got =
                ::read(fd, read.data.data() + total, static_cast<size_t>(read.data.size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                read = failure(errno);
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        if (read.status == BoundedFileRead::Ok) {
            read.truncated = total > maxBytes;
            read.data.truncate(static_cast<int>(std::min(total, maxBytes)));
        }
    }
    ::close(fd);
    return read;
}
