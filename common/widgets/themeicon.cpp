#include "themeicon.h"

QIcon themeIcon(const QStringList& names) {
    for (const QString& name : names) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return QIcon();
}
