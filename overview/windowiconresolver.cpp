#include "windowiconresolver.h"

#include "processparser.h"
#include "systempaths.h"
#include "windowproperties.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

bool isRegularFile(const QString& path) {
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

WindowIconResolver::Folders WindowIconResolver::systemFolders() {
    const QString home = QDir::homePath();
    const QString systemEntries = SystemPaths::path(QStringLiteral("/usr/share/applications"));
    const QString userEntries = home + QStringLiteral("/.local/share/applications");
    Folders result;
    result.programEntries =
        QStringList{systemEntries, userEntries,
                    SystemPaths::path(QStringLiteral("/var/lib/flatpak/exports/share/applications")),
                    home + QStringLiteral("/.local/share/flatpak/exports/share/applications")};
    result.classEntries = QStringList{
        systemEntries, SystemPaths::path(QStringLiteral("/usr/local/share/applications")), userEntries};
    result.pixmaps = SystemPaths::path(QStringLiteral("/usr/share/pixmaps"));
    result.iconFiles = QStringList{SystemPaths::path(QStringLiteral("/usr/share/icons")), result.pixmaps};
    return result;
}

WindowIconResolver::WindowIconResolver(const Folders& folders)
    : folders(folders), programIndex(folders.programEntries), classIndex(folders.classEntries) {}

void WindowIconResolver::refresh() {
    programIndex.refreshIfChanged();
    classIndex.refreshIfChanged();
}

QString WindowIconResolver::genericIconName() {
    return QStringLiteral("application-x-executable");
}

bool WindowIconResolver::isInIconFolder(const QString& path) const {
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty() || !isRegularFile(target))
        return false;
    for (const QString& folder : folders.iconFiles) {
        const QString root = QFileInfo(folder).canonicalFilePath();
        if (!root.isEmpty() && target.startsWith(root + QLatin1Char('/')))
            return true;
    }
    return false;
}

bool WindowIconResolver::addProgramEntryIcon(const QString& value, QStringList* candidates) const {
    if (value.startsWith(QLatin1Char('/'))) {
        if (!isInIconFolder(value))
            return false;
        candidates->append(QFileInfo(value).canonicalFilePath());
        return true;
    }
    if (!ProcessParser::isSafeIconName(value))
        return false;
    // The theme's icon of that name first, then a file of the pixmap folder.
    candidates->append(value);
    const QString base = folders.pixmaps + QLatin1Char('/') + value;
    for (const QString& file : {base, base + QStringLiteral(".png"), base + QStringLiteral(".svg")}) {
        if (isRegularFile(file)) {
            candidates->append(file);
            return true;
        }
    }
    return false;
}

WindowIconSource WindowIconResolver::getIconFromDesktopFile(const QString& programName) const {
    WindowIconSource source;
    if (!ProcessParser::isSafeIconName(programName))
        return source;
    source.candidates.append(programName);
    const QStringList values = programIndex.iconValuesFor(programName);
    for (const QString& value : values) {
        if (addProgramEntryIcon(value, &source.candidates))
            break;
    }
    return source;
}

WindowIconSource WindowIconResolver::getIconFromWmClass(const QString& windowClass) const {
    WindowIconSource source;
    // An empty class would be part of every entry's program word.
    if (!ProcessParser::isSafeIconName(windowClass)) {
        source.fallback = genericIconName();
        return source;
    }
    const QString lowerClass = windowClass.toLower();
    if (ProcessParser::isSafeIconName(lowerClass))
        source.candidates.append(lowerClass);
    const QStringList values = classIndex.iconValuesFor(windowClass);
    if (values.isEmpty()) {
        source.fallback = genericIconName();
        return source;
    }
    // The first matching entry decides, even when the theme lacks its icon.
    const QString& value = values.first();
    if (value.startsWith(QLatin1Char('/'))) {
        if (isInIconFolder(value))
            source.fallback = QFileInfo(value).canonicalFilePath();
    } else if (ProcessParser::isSafeIconName(value)) {
        source.fallback = value;
    }
    return source;
}

QString WindowIconResolver::getProcessCommand(int pid) {
    if (pid <= 0)
        return QString();
    QFile file(SystemPaths::path(QStringLiteral("/proc/%1/cmdline").arg(pid)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    // Only the first field is needed; a program path is never this long.
    return WindowProperties::programName(file.read(8192));
}

WindowIconSource WindowIconResolver::iconFor(int pid, const QString& windowClass) const {
    WindowIconSource source;
    const QString program = getProcessCommand(pid);
    if (!program.isEmpty())
        source = getIconFromDesktopFile(program);
    // Tried only when nothing of the program's gives an icon.
    const WindowIconSource byClass = getIconFromWmClass(windowClass);
    source.candidates += byClass.candidates;
    source.fallback = byClass.fallback;
    return source;
}
