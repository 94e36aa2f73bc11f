#include "windowiconcache.h"

#include <QPixmap>

QIcon WindowIconCache::icon(const WindowIconSource& source) {
    if (source.image.isNull())
        return icons.icon(source.candidates, source.fallback);
    const auto found = imageIcons.find(source.image.cacheKey());
    if (found != imageIcons.end()) {
        found->used = true;
        return found->icon;
    }
    const QIcon made(QPixmap::fromImage(source.image));
    imageIcons.insert(source.image.cacheKey(), {made, true});
    return made;
}

void WindowIconCache::forgetUnused() {
    for (auto it = imageIcons.begin(); it != imageIcons.end();) {
        if (it->used) {
            it->used = false;
            ++it;
        } else {
            it = imageIcons.erase(it);
        }
    }
}
