#pragma once

#include <QIcon>
#include <QString>

// One open top-level window of the desktop, as the Applications tab lists it.
struct DetailsApplicationWindow {
    // Hexadecimal with its 0x prefix, as the window manager's tools print it.
    QString id;
    QString title;
    // May be null: the window then shows no icon.
    QIcon icon;
};
