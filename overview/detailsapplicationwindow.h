#pragma once

#include "windowiconsource.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One open top-level window of the desktop, as the Applications tab lists it.
struct DetailsApplicationWindow {
    // Hexadecimal with its 0x prefix, as the window manager's tools print it.
    QString id;
    QString title;
    // Nothing to draw from leaves the window without an icon.
    WindowIconSource icon;
};
Q_DECLARE_METATYPE(DetailsApplicationWindow)
