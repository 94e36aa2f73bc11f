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

QIcon themeIcon(const QString& name) {
    if (!ProcessParser::isSafeIconName(name) || !QIcon::hasThemeIcon(name))
        return QIcon();
    return QIcon::fromTheme(name);
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

QIcon WindowIconResolver::iconForValue(const QString& value, bool tryPixmaps) const {
    if (value.startsWith(QLatin1Char('/')))
        return isInIconFolder(value) ? QIcon(QFileInfo(value).canonicalFilePath()) : QIcon();
    if (!ProcessParser::isSafeIconName(value))
        return QIcon();
    if (!tryPixmaps)
        return QIcon::fromTheme(value);
    QIcon icon = themeIcon(value);
    if (!icon.isNull())
        return icon;
    const QString base = folders.pixmaps + QLatin1Char('/') + value;
    for (const QString& candidate : {base, base + QStringLiteral(".png"), base + QStringLiteral(".svg")}) {
        if (isRegularFile(candidate))
            return QIcon(candidate);
    }
    return QIcon();
}

QIcon WindowIconResolver::getIconFromDesktopFile(const QString& programName) const {
    if (!ProcessParser::isSafeIconName(programName))
        return QIcon();
    QIcon icon = themeIcon(programName);
    if (!icon.isNull())
        return icon;
    const QStringList values = programIndex.iconValuesFor(programName);
    for (const QString& value : values) {
        icon = iconForValue(value, true);
        if (!icon.isNull())
            return icon;
    }
    return QIcon();
}

QIcon WindowIconResolver::getIconFromWmClass(const QString& windowClass) const {
    // An empty class would be part of every entry's program word.
    if (!ProcessParser::isSafeIconName(windowClass))
        return QIcon::fromTheme(genericIconName());
    const QIcon icon = themeIcon(windowClass.toLower());
    if (!icon.isNull())
        return icon;
    const QStringList values = classIndex.iconValuesFor(windowClass);
    if (!values.isEmpty())
        return iconForValue(values.first(), false);
    return QIcon::fromTheme(genericIconName());
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

QIcon WindowIconResolver::iconFor(int pid, const QString& windowClass) const {
    const QString program = getProcessCommand(pid);
    if (!program.isEmpty()) {
        const QIcon icon = getIconFromDesktopFile(program);
        if (!icon.isNull())
            return icon;
    }
    return getIconFromWmClass(windowClass);
}
