#pragma once

#include <QByteArray>
#include <QStringList>

// Tells whether a set of files and folders changed, by what stat() says of
// each: device, inode, size, modification and status-change times. A folder's
// own stamp changes when entries are added, removed or renamed; the stamps of
// its entries (for the folders given as such) catch a file edited in place,
// replaced or made executable. A path that is missing has a stamp too, so its
// appearing is a change. Paths are system paths, read under SystemPaths.
class PathStamps {
public:
    explicit PathStamps(const QStringList& paths, const QStringList& foldersWithEntries = {});

    // True on the first call, and whenever the stamps differ from the last call's.
    bool changed();

private:
    QByteArray current() const;

    QStringList paths;
    QStringList folders;
    QByteArray last;
    bool taken = false;
};
