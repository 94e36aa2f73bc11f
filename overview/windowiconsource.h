#pragma once

#include <QImage>
#include <QMetaType>
#include <QString>
#include <QStringList>

// Where a window's icon comes from, as the Applications worker finds it off
// the GUI thread: the decoded image, names and checked paths only. The icon
// itself is made on the GUI thread (WindowIconCache), as Qt's icon loader
// is not thread-safe.
struct WindowIconSource {
    // The window's own icon (_NET_WM_ICON); when set, nothing else is used.
    QImage image;
    // Tried in order: a plain name gives the icon when the icon theme has
    // it; a path (a regular file inside the icon folders) always does.
    QStringList candidates;
    // When no candidate gives one: a path, a theme name taken whether the
    // theme has it or not (then nothing is drawn), or empty for no icon.
    QString fallback;
};
Q_DECLARE_METATYPE(WindowIconSource)
