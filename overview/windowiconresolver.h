#pragma once

#include "processdesktopindex.h"
#include "windowiconsource.h"

#include <QString>
#include <QStringList>

// Finds where the icon of a window that does not carry its own comes from:
// by the name of the program that owns it, then by its class, through the
// icon theme and the desktop entries. Entry folders are indexed once and
// read again only when they change. Theme names and file names come from
// other users' programs and files, so only plain names are handed on as
// theme names, and only files inside the system icon folders as paths.
// Reads files only: fit for a worker thread (one at a time).
class WindowIconResolver {
public:
    struct Folders {
        // Searched by program name, in order.
        QStringList programEntries;
        // Searched by window class, in order.
        QStringList classEntries;
        // Icon files named by a plain name (tried as is, then .png, .svg).
        QString pixmaps;
        // The only folders an absolute Icon= path may point into.
        QStringList iconFiles;
    };

    // The system folders (under SystemPaths) and the invoking user's own.
    static Folders systemFolders();

    explicit WindowIconResolver(const Folders& folders = systemFolders());

    // Picks up entry folders that appeared, vanished or changed.
    void refresh();

    // Theme icon of the program name, else the icon of the first desktop
    // entry whose program word contains the name and whose icon is found;
    // no icon when none is.
    WindowIconSource getIconFromDesktopFile(const QString& programName) const;

    // Theme icon of the class in lower case, else the icon named by the
    // first desktop entry whose program word contains the class; the
    // generic executable icon when nothing matched or the class is empty.
    WindowIconSource getIconFromWmClass(const QString& windowClass) const;

    // The program name the process was started with, from its command line;
    // empty when it cannot be read.
    static QString getProcessCommand(int pid);

    // The whole fall-back chain for a window: by program, then by class.
    WindowIconSource iconFor(int pid, const QString& windowClass) const;

    static QString genericIconName();

private:
    // Adds the candidates of an Icon= value of an entry found by program
    // name; true when one is a file, which ends the search.
    bool addProgramEntryIcon(const QString& value, QStringList* candidates) const;
    bool isInIconFolder(const QString& path) const;

    Folders folders;
    ProcessDesktopIndex programIndex;
    ProcessDesktopIndex classIndex;
};
