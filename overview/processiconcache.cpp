#include "processiconcache.h"

#include <QFileInfo>

namespace {
constexpr int maximumCachedIcons = 4096;
}

QIcon ProcessIconCache::icon(const QStringList& names) {
    const QString key = names.join(QLatin1Char('\n'));
    const auto it = icons.constFind(key);
    if (it != icons.constEnd())
        return *it;

    QIcon result;
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('/'))) {
            if (QFileInfo(name).isFile()) {
                result = QIcon(name);
                break;
            }
        } else if (!name.isEmpty() && !name.contains(QLatin1Char('/')) && QIcon::hasThemeIcon(name)) {
            result = QIcon::fromTheme(name);
            break;
        }
    }
    if (result.isNull())
        result = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    if (icons.size() >= maximumCachedIcons)
        icons.clear();
    icons.insert(key, result);
    return result;
}
