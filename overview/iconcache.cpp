#include "iconcache.h"

#include <QFileInfo>

namespace {

constexpr int maximumCachedIcons = 4096;

QIcon iconOf(const QStringList& candidates, const QString& fallback) {
    for (const QString& candidate : candidates) {
        if (candidate.startsWith(QLatin1Char('/'))) {
            if (QFileInfo(candidate).isFile())
                return QIcon(candidate);
        } else if (!candidate.isEmpty() && !candidate.contains(QLatin1Char('/')) &&
                   QIcon::hasThemeIcon(candidate)) {
            return QIcon::fromTheme(candidate);
        }
    }
    if (fallback.isEmpty())
        return QIcon();
    if (fallback.startsWith(QLatin1Char('/')))
        return QIcon(fallback);
    return QIcon::fromTheme(fallback);
}

} // namespace

QIcon IconCache::icon(const QStringList& candidates, const QString& fallback) {
    const QPair<QStringList, QString> key(candidates, fallback);
    const auto it = icons.constFind(key);
    if (it != icons.constEnd())
        return *it;
    if (icons.size() >= maximumCachedIcons)
        icons.clear();
    const QIcon result = iconOf(candidates, fallback);
    icons.insert(key, result);
    return result;
}
