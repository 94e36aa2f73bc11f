#include "rootfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Root's text files (passwd of a big site included) are far below this.
constexpr qint64 maxTextBytes = 256 * 1024 * 1024;

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString errnoText(const QString& what, const QString& path) {
    return QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return ::fsync(fd) == 0;
}

enum class ReadStatus { Read, Missing, Refused };

// Opens without blocking (a FIFO or device is refused, never waited on) and
// reads a regular file of at most maxBytes owned by owner or root.
ReadStatus readRegularFile(const QString& path, int openFlags, uid_t owner, qint64 maxBytes,
                           QByteArray* data) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | openFlags);
    if (fd < 0)
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Refused;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              (owner == RootFiles::anyOwner || info.st_uid == owner || info.st_uid == 0) &&
              info.st_size <= maxBytes;
    QByteArray content;
    if (ok)
        content.reserve(int(info.st_size));
    while (ok) {
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(buffer, int(n));
        // The file may have grown since fstat.
        ok = content.size() <= maxBytes;
    }
    ::close(fd);
    if (!ok)
        return ReadStatus::Refused;
    *data = content;
    return ReadStatus::Read;
}

QString temporaryName(const QString& base) {
    return QStringLiteral(".%1.tsm-%2")
        .arg(base)
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}
} // namespace

namespace RootFiles {

bool writeAtomically(const QString& path, const QByteArray& data, mode_t mode, QString* error,
                     const std::function<bool(const QString&)>& check) {
    const QFileInfo info(path);
    const QString temporary = info.absolutePath() + QLatin1Char('/') + temporaryName(info.fileName());
    const QByteArray temporaryBytes = QFile::encodeName(temporary);
    const int fd = ::open(temporaryBytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        setError(error, errnoText(QStringLiteral("Cannot create"), temporary));
        return false;
    }
    bool ok = writeAll(fd, data) && ::fchmod(fd, mode) == 0;
    if (ok && ::geteuid() == 0)
        ok = ::fchown(fd, 0, 0) == 0;
    if (!ok)
        setError(error, errnoText(QStringLiteral("Cannot write"), temporary));
    ok = (::close(fd) == 0) && ok;
    if (ok && check && !check(temporary)) {
        setError(error, QStringLiteral("The new content of %1 was refused").arg(path));
        ok = false;
    }
    if (ok && ::rename(temporaryBytes.constData(), QFile::encodeName(path).constData()) != 0) {
        setError(error, errnoText(QStringLiteral("Cannot replace"), path));
        ok = false;
    }
    if (!ok)
        ::unlink(temporaryBytes.constData());
    return ok;
}

bool removeFile(const QString& path, QString* error) {
    const QByteArray bytes = QFile::encodeName(path);
    if (::unlink(bytes.constData()) == 0 || errno == ENOENT)
        return true;
    setError(error, errnoText(QStringLiteral("Cannot remove"), path));
    return false;
}

bool writeIntoHome(const QString& home, uid_t uid, gid_t gid, const QString& fileName, const QByteArray& data,
                   QString* error) {
    if (fileName.contains(QLatin1Char('/')) || fileName.isEmpty()) {
        setError(error, QStringLiteral("Invalid file name"));
        return false;
    }
    const int dirFd =
        ::open(QFile::encodeName(home).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        setError(error, errnoText(QStringLiteral("Cannot open home folder"), home));
        return false;
    }
    struct stat folder {};
    if (::fstat(dirFd, &folder) != 0 || (folder.st_uid != uid && folder.st_uid != 0)) {
        setError(error, QStringLiteral("The home folder %1 does not belong to the account").arg(home));
        ::close(dirFd);
        return false;
    }
    const QByteArray target = QFile::encodeName(fileName);
    const QByteArray temporary = QFile::encodeName(temporaryName(fileName));
    const int fd = ::openat(dirFd, temporary.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    bool ok = fd >= 0;
    if (!ok)
        setError(error, errnoText(QStringLiteral("Cannot create a file in"), home));
    if (ok && !(writeAll(fd, data) && ::fchown(fd, uid, gid) == 0 &&
                ::fchmod(fd, S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH) == 0)) {
        setError(error, errnoText(QStringLiteral("Cannot write a file in"), home));
        ok = false;
    }
    if (fd >= 0 && ::close(fd) != 0)
        ok = false;
    if (ok && ::renameat(dirFd, temporary.constData(), dirFd, target.constData()) != 0) {
        setError(error, errnoText(QStringLiteral("Cannot replace"), home + QLatin1Char('/') + fileName));
        ok = false;
    }
    if (!ok && fd >= 0)
        ::unlinkat(dirFd, temporary.constData(), 0);
    ::close(dirFd);
    return ok;
}

bool readSmallFile(const QString& path, uid_t owner, qint64 maxBytes, QByteArray* data) {
    return readRegularFile(path, O_NOFOLLOW, owner, maxBytes, data) == ReadStatus::Read;
}

QString readText(const QString& path, bool* ok) {
    QByteArray bytes;
    const bool read = readRegularFile(path, 0, anyOwner, maxTextBytes, &bytes) == ReadStatus::Read;
    if (ok)
        *ok = read;
    // The length is passed: QString::fromUtf8(QByteArray) stops at a NUL.
    return read ? QString::fromUtf8(bytes.constData(), bytes.size()) : QString();
}

bool readTextForRewrite(const QString& path, QString* text, QString* error, bool* exists) {
    text->clear();
    if (exists)
        *exists = true;
    QByteArray bytes;
    const ReadStatus status = readRegularFile(path, 0, anyOwner, maxTextBytes, &bytes);
    if (status == ReadStatus::Missing) {
        if (exists)
            *exists = false;
        return true;
    }
    if (status != ReadStatus::Read) {
        setError(error, QStringLiteral("%1 could not be read as a plain file.").arg(path));
        return false;
    }
    const QString decoded = QString::fromUtf8(bytes.constData(), bytes.size());
    if (bytes.contains('\0') || decoded.toUtf8() != bytes) {
        setError(error, QStringLiteral("%1 holds bytes that are not plain UTF-8 text (a NUL byte or "
                                       "another encoding); it was left unchanged.")
                            .arg(path));
        return false;
    }
    *text = decoded;
    return true;
}

} // namespace RootFiles
