#include "pathstamps.h"

#include "systempaths.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

void appendStamp(QByteArray& stamps, const char* name, int result, const struct stat& info) {
    stamps += name;
    stamps += '\0';
    if (result != 0) {
        stamps += QByteArray::number(errno);
    } else {
        for (const long long field :
             {(long long)info.st_dev, (long long)info.st_ino, (long long)info.st_mode,
              (long long)info.st_size, (long long)info.st_mtim.tv_sec, (long long)info.st_mtim.tv_nsec,
              (long long)info.st_ctim.tv_sec, (long long)info.st_ctim.tv_nsec}) {
            stamps += QByteArray::number(field);
            stamps += ',';
        }
    }
    stamps += '\n';
}

} // namespace

PathStamps::PathStamps(const QStringList& paths, const QStringList& foldersWithEntries)
    : paths(paths), folders(foldersWithEntries) {}

QByteArray PathStamps::current() const {
    QByteArray stamps;
    struct stat info {};
    for (const QString& path : paths + folders) {
        const QByteArray name = QFile::encodeName(SystemPaths::path(path));
        appendStamp(stamps, name.constData(), ::stat(name.constData(), &info), info);
    }
    for (const QString& folder : folders) {
        const QByteArray name = QFile::encodeName(SystemPaths::path(folder));
        DIR* dir = ::opendir(name.constData());
        if (!dir)
            continue;
        std::vector<std::string> entries;
        while (const dirent* entry = ::readdir(dir)) {
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                entries.emplace_back(entry->d_name);
        }
        std::sort(entries.begin(), entries.end());
        const int fd = ::dirfd(dir);
        for (const std::string& entry : entries)
            appendStamp(stamps, entry.c_str(), ::fstatat(fd, entry.c_str(), &info, 0), info);
        ::closedir(dir);
    }
    return stamps;
}

bool PathStamps::changed() {
    QByteArray now = current();
    if (taken && now == last)
        return false;
    last = std::move(now);
    taken = true;
    return true;
}
