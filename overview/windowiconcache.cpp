#include "windowiconcache.h"

#include <QPixmap>

QIcon WindowIconCache::icon(const WindowIconSource& source) {
    if (!source.image.isNull())
        return QIcon(QPixmap::fromImage(source.image));
    return icons.icon(source.candidates, source.fallback);
}
