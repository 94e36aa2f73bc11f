#pragma once

#include "iconcache.h"
#include "windowiconsource.h"

#include <QHash>
#include <QIcon>

// Makes the icons of the Applications table from what the worker found, on
// the GUI thread only: one icon per distinct list of names, and one per
// window image, which the worker hands over unchanged until the window's
// icon changes. An icon made again at every refill would be a new entry in
// Qt's pixmap cache every time it is drawn.
class WindowIconCache {
public:
    QIcon icon(const WindowIconSource& source);
    // Lets go of the window images not asked for since the last call (their
    // windows closed, or their icons changed).
    void forgetUnused();

private:
    struct ImageIcon {
        QIcon icon;
        bool used = true;
    };
    IconCache icons;
    // By QImage::cacheKey.
    QHash<qint64, ImageIcon> imageIcons;
};
