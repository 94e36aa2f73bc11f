#pragma once

#include "processdesktopindex.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Picks the icon candidates of a process on the scanner's thread: the
// process name as a theme icon, then the icons of the desktop entries that
// start it (as theme names, or files in the pixmap folder), then the generic
// executable icon. Only names and verified regular files leave here; the
// GUI thread turns them into a QIcon (IconCache).
class ProcessIconResolver {
public:
    ProcessIconResolver(const QStringList& desktopFolders, const QString& pixmapFolder);

    // Called once per scan: picks up changed desktop-entry folders.
    void refresh();

    QStringList iconNamesFor(const QString& processName, const QString& user);

    static QString genericIconName();

private:
    QStringList resolve(const QString& processName) const;

    ProcessDesktopIndex desktopIndex;
    QString pixmapFolder;
    QHash<QString, QStringList> cache;
};
