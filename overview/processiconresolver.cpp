#include "processiconresolver.h"

#include "processparser.h"

#include <QFile>

#include <sys/stat.h>

namespace {

// Only a regular file is ever handed on as an icon: opening a FIFO or a
// device that a name pointed at would hang or misbehave.
bool isRegularFile(const QString& path) {
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// Process names are free for any user to choose, so the cache is bounded.
constexpr int maximumCachedNames = 4096;

} // namespace

ProcessIconResolver::ProcessIconResolver(const QStringList& desktopFolders, const QString& pixmapFolder)
    : desktopIndex(desktopFolders), pixmapFolder(pixmapFolder) {}

QString ProcessIconResolver::genericIconName() {
    return QStringLiteral("application-x-executable");
}

void ProcessIconResolver::refresh() {
    if (desktopIndex.refreshIfChanged())
        cache.clear();
}

QStringList ProcessIconResolver::iconNamesFor(const QString& processName, const QString& user) {
    if (!ProcessParser::isUserProcess(processName, user) || !ProcessParser::isSafeIconName(processName))
        return {genericIconName()};
    const auto it = cache.constFind(processName);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() >= maximumCachedNames)
        cache.clear();
    const QStringList names = resolve(processName);
    cache.insert(processName, names);
    return names;
}

QStringList ProcessIconResolver::resolve(const QString& processName) const {
    QStringList names{processName};
    const QStringList values = desktopIndex.iconValuesFor(processName);
    for (const QString& value : values) {
        if (value.startsWith(QLatin1Char('/'))) {
            if (isRegularFile(value))
                names.append(value);
            continue;
        }
        if (!ProcessParser::isSafeIconName(value))
            continue;
        names.append(value);
        const QString pixmap = pixmapFolder + QLatin1Char('/') + value;
        if (isRegularFile(pixmap))
            names.append(pixmap);
        else if (isRegularFile(pixmap + QStringLiteral(".png")))
            names.append(pixmap + QStringLiteral(".png"));
    }
    names.append(genericIconName());
    names.removeDuplicates();
    return names;
}
