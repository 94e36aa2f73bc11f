#include "windowiconcache.h"

#include <QPixmap>

namespace {

// Window classes are chosen by other programs, so the cache is bounded.
constexpr int maximumCachedIcons = 4096;

QIcon iconOf(const WindowIconSource& source) {
    for (const QString& candidate : source.candidates) {
        if (candidate.startsWith(QLatin1Char('/')))
            return QIcon(candidate);
        if (QIcon::hasThemeIcon(candidate))
            return QIcon::fromTheme(candidate);
    }
    if (source.fallback.isEmpty())
        return QIcon();
    if (source.fallback.startsWith(QLatin1Char('/')))
        return QIcon(source.fallback);
    return QIcon::fromTheme(source.fallback);
}

} // namespace

QIcon WindowIconCache::icon(const WindowIconSource& source) {
    if (!source.image.isNull())
        return QIcon(QPixmap::fromImage(source.image));
    const QPair<QStringList, QString> key(source.candidates, source.fallback);
    const auto it = icons.constFind(key);
    if (it != icons.constEnd())
        return *it;
    if (icons.size() >= maximumCachedIcons)
        icons.clear();
    const QIcon result = iconOf(source);
    icons.insert(key, result);
    return result;
}
