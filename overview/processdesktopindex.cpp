#include "processdesktopindex.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

// Modification time in nanoseconds, -1 for a missing folder.
qint64 folderStamp(const QString& folder) {
    struct stat info;
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

} // namespace

ProcessDesktopIndex::ProcessDesktopIndex(const QStringList& folders) : folders(folders) {}

ProcessDesktopIndex::Entry ProcessDesktopIndex::parseEntry(const QByteArray& text) {
    Entry entry;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray& rawLine : lines) {
        if (rawLine.startsWith("Exec=")) {
            const QString command = QString::fromUtf8(rawLine.mid(5));
            const QString program = command.section(QLatin1Char(' '), 0, 0);
            entry.append({true, program.toLower()});
        } else if (rawLine.startsWith("Icon=")) {
            const QString value = QString::fromUtf8(rawLine).section(QLatin1Char('='), 1, 1).trimmed();
            entry.append({false, value});
        }
    }
    return entry;
}

bool ProcessDesktopIndex::refreshIfChanged() {
    QVector<qint64> stamps;
    stamps.reserve(folders.size());
    for (const QString& folder : folders)
        stamps.append(folderStamp(folder));
    if (built && stamps == folderStamps)
        return false;

    folderStamps = stamps;
    built = true;
    entries.clear();
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names =
            dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString& name : names) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            // Desktop entries are small; a huge file is not one.
            Entry entry = parseEntry(file.read(1 << 20));
            if (!entry.isEmpty())
                entries.append(entry);
        }
    }
    return true;
}

QStringList ProcessDesktopIndex::iconValuesFor(const QString& processName) const {
    QStringList values;
    if (processName.isEmpty())
        return values;
    const QString needle = processName.toLower();
    for (const Entry& entry : entries) {
        bool marked = false;
        for (const Line& line : entry) {
            if (line.isExec && !marked) {
                marked = line.value.contains(needle);
            } else if (!line.isExec && marked) {
                if (!line.value.isEmpty())
                    values.append(line.value);
                break;
            }
        }
    }
    return values;
}
