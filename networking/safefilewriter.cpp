#include "safefilewriter.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

SafeFileWriter::~SafeFileWriter() {
    discard();
}

bool SafeFileWriter::fail(const QString& what, int errorNumber) {
    error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errorNumber));
    discard();
    return false;
}

bool SafeFileWriter::open(const QString& path) {
    discard();
    const QFileInfo info(path);
    finalName = QFile::encodeName(info.fileName());
    if (finalName.isEmpty() || finalName == "." || finalName == "..")
        return fail(QStringLiteral("Invalid file name"), EINVAL);
    directoryFd =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd < 0)
        return fail(QStringLiteral("Cannot open folder"), errno);
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporaryName =
            '.' + finalName + '.' + QByteArray::number(QRandomGenerator::system()->generate(), 36) + ".tmp";
        fd = ::openat(directoryFd, temporaryName.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        temporaryName.clear();
        return fail(QStringLiteral("Cannot create file"), errno);
    }
    return true;
}

bool SafeFileWriter::write(const QByteArray& bytes) {
    if (fd < 0)
        return false;
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("Write failed"), errno);
        }
        data += written;
        left -= written;
    }
    return true;
}

bool SafeFileWriter::commit(uid_t owner, gid_t group) {
    if (fd < 0)
        return false;
    if (owner != uid_t(-1) && ::fchown(fd, owner, group) != 0)
        return fail(QStringLiteral("Cannot hand the file to its user"), errno);
    if (::fsync(fd) != 0)
        return fail(QStringLiteral("Write failed"), errno);
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0)
        return fail(QStringLiteral("Write failed"), errno);
    if (::renameat(directoryFd, temporaryName.constData(), directoryFd, finalName.constData()) != 0)
        return fail(QStringLiteral("Cannot put the file in place"), errno);
    temporaryName.clear();
    ::close(directoryFd);
    directoryFd = -1;
    return true;
}

void SafeFileWriter::discard() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
    if (directoryFd >= 0) {
        if (!temporaryName.isEmpty())
            ::unlinkat(directoryFd, temporaryName.constData(), 0);
        ::close(directoryFd);
        directoryFd = -1;
    }
    temporaryName.clear();
}

bool SafeFileWriter::invokingUser(uid_t& uid, gid_t& gid) {
    const QByteArray name = qgetenv("SUDO_USER");
    if (name.isEmpty())
        return false;
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwnam_r(name.constData(), &entry, buffer.data(), buffer.size(), &result) != 0 || !result)
        return false;
    uid = entry.pw_uid;
    gid = entry.pw_gid;
    return true;
}
