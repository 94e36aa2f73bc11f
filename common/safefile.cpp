#include "safefile.h"

#include "systempaths.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <utility>

namespace {
QString errnoText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

SafeFile::Read readFailure(int errorNumber) {
    SafeFile::Read read;
    read.status =
        errorNumber == ENOENT || errorNumber == ENOTDIR ? SafeFile::Read::Missing : SafeFile::Read::Failed;
    read.errorNumber = errorNumber;
    read.error = errnoText(errorNumber);
    return read;
}

SafeFile::Read ruleBroken(const QString& what) {
    SafeFile::Read read;
    read.error = what;
    return read;
}

// The file's folder and its name; an empty name when path ends in '/'.
std::pair<QString, QByteArray> splitPath(const QString& path) {
    const QFileInfo info(path);
    return {info.absolutePath(), QFile::encodeName(info.fileName())};
}

// Whether accounts other than root and the one a file is written for may
// change the folder's entries: it is writable by everybody, or by a group
// other than root's and the file's, and has no sticky bit (which keeps each
// account to its own entries).
bool othersMayWrite(const struct stat& folder, gid_t fileGroup) {
    if (folder.st_mode & S_ISVTX)
        return false;
    if (folder.st_mode & S_IWOTH)
        return true;
    return (folder.st_mode & S_IWGRP) && folder.st_gid != 0 && folder.st_gid != fileGroup;
}

// A link on the way is followed only when nobody but root and the account
// the file is for could have made it or could swap it: /var/run -> /run, or
// a link the user made in their own home for their own capture.
bool linkIsTrusted(const struct stat& link, const struct stat& holder, uid_t fileOwner, gid_t fileGroup) {
    const auto trustedOwner = [fileOwner](uid_t uid) { return uid == 0 || uid == fileOwner; };
    return trustedOwner(link.st_uid) && trustedOwner(holder.st_uid) && !othersMayWrite(holder, fileGroup);
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    void reset(int other = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = other;
    }
    int get() const { return fd; }
    int release() { return std::exchange(fd, -1); }

private:
    int fd;
};

QByteArray linkTarget(int linkFd) {
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlinkat(linkFd, "", target.data(), size_t(target.size()));
        if (length < 0)
            return QByteArray();
        if (length < target.size())
            return target.left(int(length));
        target.resize(target.size() * 2);
    }
}

// The folder of a file to write or remove, opened from / one component at a
// time: a link on the way is followed only where linkIsTrusted says so, and
// what is opened is the folder that was looked at, whatever is renamed
// meanwhile. -1 with errno set (EPERM for a refused link, with why set)
// when it cannot be.
int openFolder(const QString& folder, uid_t fileOwner, gid_t fileGroup, QString* why) {
    std::deque<QByteArray> pending;
    const auto queue = [&pending](const QByteArray& path) {
        const QList<QByteArray> names = path.split('/');
        for (auto name = names.rbegin(); name != names.rend(); ++name)
            if (!name->isEmpty() && *name != ".")
                pending.push_front(*name);
    };
    const QByteArray path = QFile::encodeName(folder);
    if (!path.startsWith('/')) {
        errno = EINVAL;
        return -1;
    }
    queue(path);
    Descriptor current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    int links = 0;
    while (current.get() >= 0 && !pending.empty()) {
        const QByteArray name = pending.front();
        pending.pop_front();
        Descriptor next(::openat(current.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat found {};
        if (next.get() < 0 || ::fstat(next.get(), &found) != 0)
            return -1;
        if (S_ISDIR(found.st_mode)) {
            current.reset(next.release());
            continue;
        }
        if (!S_ISLNK(found.st_mode)) {
            errno = ENOTDIR;
            return -1;
        }
        struct stat holder {};
        if (::fstat(current.get(), &holder) != 0)
            return -1;
        if (++links > 40) {
            errno = ELOOP;
            return -1;
        }
        if (!linkIsTrusted(found, holder, fileOwner, fileGroup)) {
            if (why)
                *why = QStringLiteral("The folder %1 is reached through a link another account controls")
                           .arg(folder);
            errno = EPERM;
            return -1;
        }
        const QByteArray target = linkTarget(next.get());
        if (target.isEmpty())
            return -1;
        queue(target);
        if (target.startsWith('/'))
            current.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (current.get() < 0)
        return -1;
    // The folder itself, no longer a mere place in the tree: writable
    // through, and syncable.
    return ::openat(current.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Why root must not write into a folder of this owner and mode, for a file
// handed to fileOwner; empty when it may. A folder others may write to is
// refused unless its sticky bit keeps them to their own entries. A system
// account's folder is part of the system (polkitd owns Debian's rules
// folder) as long as nobody but that account can change it; a regular
// account could swap what root wrote.
QString folderRefusal(const struct stat& folder, uid_t fileOwner, gid_t fileGroup, const QString& path) {
    if (folder.st_uid == 0 || folder.st_uid == fileOwner) {
        if (othersMayWrite(folder, fileGroup))
            return QStringLiteral("Others may write to the folder %1").arg(path);
        return QString();
    }
    if (folder.st_uid >= SafeFile::firstRegularUid())
        return QStringLiteral("The folder %1 belongs to another account").arg(path);
    if (folder.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("The folder %1 belongs to a system account and others may write to it")
            .arg(path);
    return QString();
}
} // namespace

namespace SafeFile {

Read read(const QString& path, const ReadRules& rules) {
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (!rules.followSymlinks)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return readFailure(errno);

    Read result;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result = readFailure(errno);
    } else if (!S_ISREG(info.st_mode)) {
        result = ruleBroken(QStringLiteral("not a regular file"));
    } else if (rules.owner && info.st_uid != *rules.owner && info.st_uid != 0) {
        result = ruleBroken(QStringLiteral("the file belongs to another account"));
    } else {
        result.status = Read::Ok;
        // One byte over the limit tells a file that is larger from one that
        // fits exactly; the file may grow while it is read.
        const qint64 limit = std::max<qint64>(rules.maxBytes, 0);
        result.data.resize(int(std::min<qint64>(limit + 1, 64 * 1024)));
        qint64 total = 0;
        while (total <= limit) {
            if (total == result.data.size())
                result.data.resize(int(std::min<qint64>(qint64(result.data.size()) * 2, limit + 1)));
            const ssize_t got = ::read(fd, result.data.data() + total, size_t(result.data.size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = readFailure(errno);
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        if (result.status == Read::Ok) {
            result.truncated = total > limit;
            result.data.truncate(int(std::min(total, limit)));
        }
    }
    ::close(fd);
    return result;
}

AtomicWriter::AtomicWriter(WriteRules rules) : rules(std::move(rules)) {}

AtomicWriter::~AtomicWriter() {
    discard();
}

bool AtomicWriter::fail(const QString& what, int errorNumber) {
    error = what + QStringLiteral(": ") + errnoText(errorNumber);
    discard();
    return false;
}

bool AtomicWriter::open(const QString& path) {
    discard();
    error.clear();
    std::tie(folderPath, finalName) = splitPath(path);
    if (finalName.isEmpty())
        return fail(QStringLiteral("Invalid file name %1").arg(path), EINVAL);
    QString refusedLink;
    folderFd = openFolder(folderPath, rules.owner, rules.group, &refusedLink);
    if (folderFd < 0 && !refusedLink.isEmpty())
        return fail(refusedLink, errno);
    if (folderFd < 0)
        return fail(QStringLiteral("Cannot open the folder %1").arg(folderPath), errno);
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0)
        return fail(QStringLiteral("Cannot open the folder %1").arg(folderPath), errno);
    const QString refusal = folderRefusal(folder, rules.owner, rules.group, folderPath);
    if (!refusal.isEmpty())
        return fail(refusal, EPERM);
    // The name holds dots, so that folders read as drop-ins (sudoers.d)
    // pass the unfinished file over.
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporaryName =
            '.' + finalName + '.' + QByteArray::number(QRandomGenerator::system()->generate(), 36) + ".tmp";
        fd = ::openat(folderFd, temporaryName.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int openError = errno;
        temporaryName.clear();
        return fail(QStringLiteral("Cannot create a file in %1").arg(folderPath), openError);
    }
    return true;
}

bool AtomicWriter::write(const QByteArray& bytes) {
    if (fd < 0)
        return false;
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("Cannot write to %1").arg(folderPath), errno);
        }
        data += written;
        left -= written;
    }
    return true;
}

bool AtomicWriter::commit() {
    if (fd < 0)
        return false;
    const QString target = folderPath + QLatin1Char('/') + QFile::decodeName(finalName);
    // The owner first: changing it clears set-id bits that the mode might set.
    if (::fchown(fd, rules.owner, rules.group) != 0)
        return fail(QStringLiteral("Cannot hand %1 to its owner").arg(target), errno);
    if (::fchmod(fd, rules.mode) != 0)
        return fail(QStringLiteral("Cannot set the mode of %1").arg(target), errno);
    if (::fsync(fd) != 0)
        return fail(QStringLiteral("Cannot write %1").arg(target), errno);
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0)
        return fail(QStringLiteral("Cannot write %1").arg(target), errno);
    if (rules.check && !rules.check(folderPath + QLatin1Char('/') + QFile::decodeName(temporaryName))) {
        error = QStringLiteral("The new content of %1 was refused").arg(target);
        discard();
        return false;
    }
    if (::renameat(folderFd, temporaryName.constData(), folderFd, finalName.constData()) != 0)
        return fail(QStringLiteral("Cannot replace %1").arg(target), errno);
    temporaryName.clear();
    // The new name itself is durable once the folder is synced; the file is
    // in place whatever this answers.
    ::fsync(folderFd);
    ::close(folderFd);
    folderFd = -1;
    return true;
}

void AtomicWriter::discard() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (folderFd >= 0) {
        if (!temporaryName.isEmpty())
            ::unlinkat(folderFd, temporaryName.constData(), 0);
        ::close(folderFd);
        folderFd = -1;
    }
    temporaryName.clear();
}

bool write(const QString& path, const QByteArray& data, const WriteRules& rules, QString* error) {
    AtomicWriter writer(rules);
    const bool ok = writer.open(path) && writer.write(data) && writer.commit();
    if (!ok && error)
        *error = writer.errorString();
    return ok;
}

uid_t firstRegularUidFrom(const QByteArray& loginDefs, uid_t fallback) {
    uid_t found = fallback;
    for (const QByteArray& line : loginDefs.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || fields.at(0) != "UID_MIN")
            continue;
        // login.defs numbers may be written in octal or hexadecimal too.
        bool ok = false;
        const qulonglong value = fields.at(1).toULongLong(&ok, 0);
        if (ok && value <= std::numeric_limits<uid_t>::max())
            found = uid_t(value);
    }
    return found;
}

uid_t firstRegularUid() {
    ReadRules rules;
    rules.followSymlinks = true;
    rules.maxBytes = 256 * 1024;
    const Read defs = read(SystemPaths::path(QStringLiteral("/etc/login.defs")), rules);
    return firstRegularUidFrom(defs.ok() ? defs.data : QByteArray());
}

bool remove(const QString& path, QString* error) {
    const auto [folderPath, name] = splitPath(path);
    const auto failed = [&](const QString& what) {
        if (error)
            *error = what + QStringLiteral(": ") + errnoText(errno);
        return false;
    };
    if (name.isEmpty()) {
        errno = EINVAL;
        return failed(QStringLiteral("Invalid file name %1").arg(path));
    }
    QString refusedLink;
    const int folderFd = openFolder(folderPath, 0, 0, &refusedLink);
    if (folderFd < 0 && !refusedLink.isEmpty())
        return failed(refusedLink);
    if (folderFd < 0)
        return errno == ENOENT || failed(QStringLiteral("Cannot open the folder %1").arg(folderPath));
    const bool removed = ::unlinkat(folderFd, name.constData(), 0) == 0 || errno == ENOENT;
    const int unlinkError = errno;
    ::close(folderFd);
    errno = unlinkError;
    return removed || failed(QStringLiteral("Cannot remove %1").arg(path));
}

} // namespace SafeFile
