#include "systempaths.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
struct PathSettings {
    QMutex mutex;
    QString prefix;
    QStringList searchPath = SystemPaths::defaultSearchPath();
};

PathSettings& settings() {
    static PathSettings instance;
    return instance;
}
} // namespace

void SystemPaths::setRootPrefix(const QString& prefix) {
    QString cleaned = prefix;
    while (cleaned.endsWith(QLatin1Char('/')))
        cleaned.chop(1);
    QMutexLocker lock(&settings().mutex);
    settings().prefix = cleaned;
}

QString SystemPaths::rootPrefix() {
    QMutexLocker lock(&settings().mutex);
    return settings().prefix;
}

QString SystemPaths::path(const QString& absolutePath) {
    return rootPrefix() + absolutePath;
}

QStringList SystemPaths::defaultSearchPath() {
    return {QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/sbin"),
            QStringLiteral("/usr/bin"),        QStringLiteral("/sbin"),          QStringLiteral("/bin")};
}

QStringList SystemPaths::searchPath() {
    QMutexLocker lock(&settings().mutex);
    return settings().searchPath;
}

void SystemPaths::setSearchPath(const QStringList& folders) {
    QMutexLocker lock(&settings().mutex);
    settings().searchPath = folders;
}

void SystemPaths::prependSearchPath(const QString& folder) {
    QMutexLocker lock(&settings().mutex);
    settings().searchPath.removeAll(folder);
    settings().searchPath.prepend(folder);
}
