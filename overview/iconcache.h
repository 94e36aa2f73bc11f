#pragma once

#include <QHash>
#include <QIcon>
#include <QPair>
#include <QString>
#include <QStringList>

// Icons made from what a worker found (theme names and file paths), on the
// GUI thread only, as Qt's icon loader is not thread-safe; one icon per
// distinct list. The names come from other programs, so the cache is bounded.
class IconCache {
public:
    // The first candidate that gives an icon: a path to a regular file, or a
    // name the icon theme has (a name with a '/' that is no path gives none).
    // Otherwise the fallback: a path, a theme name taken whether the theme
    // has it or not, or empty for no icon.
    QIcon icon(const QStringList& candidates, const QString& fallback);

private:
    QHash<QPair<QStringList, QString>, QIcon> icons;
};
