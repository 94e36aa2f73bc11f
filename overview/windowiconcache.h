#pragma once

#include "windowiconsource.h"

#include <QHash>
#include <QIcon>
#include <QPair>

// Makes the icons of the Applications table from what the worker found, on
// the GUI thread only; one icon per distinct list of names.
class WindowIconCache {
public:
    QIcon icon(const WindowIconSource& source);

private:
    QHash<QPair<QStringList, QString>, QIcon> icons;
};
