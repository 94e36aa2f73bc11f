#pragma once

#include "iconcache.h"
#include "windowiconsource.h"

#include <QIcon>

// Makes the icons of the Applications table from what the worker found, on
// the GUI thread only; one icon per distinct list of names.
class WindowIconCache {
public:
    QIcon icon(const WindowIconSource& source);

private:
    IconCache icons;
};
