#include "systempaths.h"

namespace {
QString& prefixStorage() {
    static QString prefix;
    return prefix;
}
} // namespace

void SystemPaths::setRootPrefix(const QString& prefix) {
    QString cleaned = prefix;
    while (cleaned.endsWith(QLatin1Char('/')))
        cleaned.chop(1);
    prefixStorage() = cleaned;
}

QString SystemPaths::rootPrefix() {
    return prefixStorage();
}

QString SystemPaths::path(const QString& absolutePath) {
    return prefixStorage() + absolutePath;
}
