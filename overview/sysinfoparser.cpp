#include "sysinfoparser.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace SysInfoParser {

namespace {

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'));
}

QString firstWord(const QString& text) {
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).value(0);
}

// "NAME=value": the part after the first '=' and before any further one.
QString osReleaseValue(const QString& line) {
    return line.split(QLatin1Char('=')).value(1).remove(QLatin1Char('"'));
}

// A controller line's own model: the first bracketed name that is not the
// maker's tag (AMD lists "[AMD/ATI]" before the model), else the plain
// description without the maker and the revision.
QString modelFromControllerLine(const QString& line) {
    static const QRegularExpression bracketed(QStringLiteral("\\[([^\\]]*)\\]"));
    static const QRegularExpression makerTag(QStringLiteral("^(AMD|ATI|AMD/ATI)$"));
    const int descriptionStart = line.indexOf(QLatin1String(": "));
    const QString description = descriptionStart < 0 ? line : line.mid(descriptionStart + 2);
    auto matches = bracketed.globalMatch(description);
    while (matches.hasNext()) {
        const QString name = matches.next().captured(1).trimmed();
        if (!name.isEmpty() && !makerTag.match(name).hasMatch())
            return name;
    }
    static const QRegularExpression maker(
        QStringLiteral("^(\\S+ Corporation|Advanced Micro Devices, Inc\\.( \\[AMD/ATI\\])?)\\s*"));
    static const QRegularExpression revision(QStringLiteral("\\s*\\(rev [0-9a-fA-F]+\\)\\s*$"));
    QString plain = description;
    plain.remove(maker).remove(revision);
    return plain.trimmed();
}

} // namespace

OsRelease parseOsRelease(const QString& text) {
    OsRelease release;
    for (const QString& line : lines(text)) {
        if (line.startsWith(QLatin1String("NAME=")))
            release.name = osReleaseValue(line);
        else if (line.startsWith(QLatin1String("VERSION=")))
            release.version = osReleaseValue(line);
        else if (line.startsWith(QLatin1String("ID_LIKE=")))
            release.basedOn = osReleaseValue(line);
    }
    if (!release.basedOn.isEmpty())
        release.basedOn[0] = release.basedOn.at(0).toUpper();
    return release;
}

QString displayControllerLines(const QString& lspciOutput) {
    QStringList controllers;
    for (const QString& line : lines(lspciOutput)) {
        if (line.contains(QLatin1String("VGA")) || line.contains(QLatin1String("3D")) ||
            line.contains(QLatin1String("Display")))
            controllers << line;
    }
    return controllers.join(QLatin1Char('\n'));
}

GpuIdentity identifyGpu(const QString& controllerLines) {
    // Searched in this order: a machine with Intel graphics and an NVIDIA
    // card is named after the card.
    struct Maker {
        const char* token;
        const char* vendor;
        const char* fixedModel;
    };
    static const Maker makers[] = {
        {"NVIDIA", "Nvidia", nullptr},
        {"AMD", "AMD", nullptr},
        {"Intel", "Intel", nullptr},
        {"VMware", "VMware", "SVGA II Adapter"},
        {"VirtualBox", "VirtualBox", "VirtualBox Graphics Adapter"},
        {"QEMU", "QEMU", "QEMU Virtual GPU"},
    };
    for (const Maker& maker : makers) {
        const QString token = QLatin1String(maker.token);
        if (!controllerLines.contains(token))
            continue;
        if (maker.fixedModel)
            return {QLatin1String(maker.vendor), QLatin1String(maker.fixedModel)};
        for (const QString& line : lines(controllerLines)) {
            if (line.contains(token))
                return {QLatin1String(maker.vendor), modelFromControllerLine(line)};
        }
    }
    return {QStringLiteral("Unknown"), QStringLiteral("Unknown GPU")};
}

QString glxOpenGlVersion(const QString& glxinfoOutput) {
    QStringList values;
    for (const QString& line : lines(glxinfoOutput)) {
        if (line.contains(QLatin1String("OpenGL version")))
            values << line.split(QLatin1String(": ")).value(1);
    }
    return values.join(QLatin1Char('\n')).trimmed();
}

bool lsmodMentions(const QString& lsmodOutput, const QString& module) {
    return lsmodOutput.contains(module);
}

QString modinfoVersion(const QString& modinfoOutput) {
    for (const QString& line : lines(modinfoOutput)) {
        if (line.startsWith(QLatin1String("version:")))
            return firstWord(line.mid(8));
    }
    return QString();
}

QString clinfoDriverVersion(const QString& clinfoOutput) {
    for (const QString& line : lines(clinfoOutput)) {
        if (line.contains(QLatin1String("Driver version")))
            return line.mid(line.lastIndexOf(QLatin1Char(':')) + 1).trimmed();
    }
    return QString();
}

QString xorgIntelDriverVersion(const QString& xorgLog) {
    for (const QString& line : lines(xorgLog)) {
        if (line.contains(QLatin1String("version")) && line.contains(QLatin1String("Intel"))) {
            const QStringList words =
                line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            return words.isEmpty() ? QString() : words.last();
        }
    }
    return QString();
}

QString shortenDriverText(const QString& text, const QString& vendor) {
    QString shortened = text;
    if (vendor != QLatin1String("Nvidia")) {
        static const QRegularExpression mesa(QStringLiteral("Mesa\\s*([0-9\\.]+)"));
        const QRegularExpressionMatch match = mesa.match(shortened);
        if (match.hasMatch())
            shortened = QStringLiteral("Mesa ") + match.captured(1);
        else if (shortened.contains(QLatin1Char(' ')))
            shortened = firstWord(shortened);
    }
    if (shortened.isEmpty())
        return QStringLiteral("Driver version not available");
    return shortened;
}

QString openGlLabel(const QString& driverText) {
    static const QRegularExpression profile(QStringLiteral("\\(Compatibility Profile\\)"));
    static const QRegularExpression mesa(QStringLiteral("Mesa (\\d+\\.\\d+\\.\\d+)"));
    const QString text = QString(driverText).remove(profile).trimmed();
    if (text.contains(QLatin1String("Mesa"))) {
        const QRegularExpressionMatch match = mesa.match(text);
        if (match.hasMatch())
            return QStringLiteral("Mesa ") + match.captured(1);
    }
    return text;
}

QString desktopVersion(const QString& versionOutput) {
    static const QRegularExpression version(QStringLiteral("(\\d+\\.\\d+(\\.\\d+)?)([-+][^\\s]+)?"));
    const QRegularExpressionMatch match = version.match(lines(versionOutput).value(0).trimmed());
    return match.hasMatch() ? match.captured(0) : QStringLiteral("Unknown");
}

QString windowManagerName(const QString& wmctrlOutput) {
    for (const QString& line : lines(wmctrlOutput)) {
        if (!line.startsWith(QLatin1String("Name:")))
            continue;
        const QString name = line.mid(line.indexOf(QLatin1Char(':')) + 1).trimmed();
        return name.startsWith(QLatin1String("Xfwm")) ? name.toUpper() : name;
    }
    return QString();
}

QString cpuModel(const QString& cpuinfo) {
    static const QRegularExpression clock(QStringLiteral("\\s*@?\\s*\\d+(\\.\\d+)?\\s*GHz"));
    for (const QString& line : lines(cpuinfo)) {
        if (!line.startsWith(QLatin1String("model name")))
            continue;
        QString model = line.mid(line.lastIndexOf(QLatin1Char(':')) + 1).trimmed();
        model = model.remove(QLatin1String(" CPU")).simplified().remove(clock).trimmed();
        return model.isEmpty() ? QStringLiteral("Unknown CPU Model") : model;
    }
    return QStringLiteral("Unknown CPU Model");
}

QString cpuSpeed(const QString& cpuinfo) {
    static const QRegularExpression clock(QStringLiteral("(\\d+(\\.\\d+)?)\\s*GHz"));
    for (const QString& line : lines(cpuinfo)) {
        if (!line.startsWith(QLatin1String("model name")))
            continue;
        const QRegularExpressionMatch match = clock.match(line);
        if (match.hasMatch())
            return match.captured(1) + QStringLiteral(" GHz");
    }
    return QStringLiteral("Unknown Speed");
}

qint64 memTotalGigabytes(const QString& meminfo) {
    for (const QString& line : lines(meminfo)) {
        if (!line.startsWith(QLatin1String("MemTotal:")))
            continue;
        const QStringList parts = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (parts.size() > 1)
            return static_cast<qint64>(std::floor(parts.at(1).toLongLong() / 1e6 + 0.5));
    }
    return 0;
}

MemoryModules parseDmidecodeMemory(const QString& text) {
    // Matched at the line start: a module block also holds "Volatile Size:",
    // "Cache Size:" and "Logical Size:" lines, which are not modules.
    static const QRegularExpression size(QStringLiteral("^Size:\\s+(\\d+)\\s+(MB|GB|TB)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression type(QStringLiteral("^Type:\\s+((LP)?DDR\\d)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    MemoryModules modules;
    bool inModule = false;
    for (const QString& line : lines(text)) {
        const QString trimmed = line.trimmed();
        if (!trimmed.contains(QLatin1String("No Module Installed")) && size.match(trimmed).hasMatch()) {
            ++modules.count;
            inModule = true;
        }
        if (inModule && modules.type.isEmpty()) {
            const QRegularExpressionMatch match = type.match(trimmed);
            if (match.hasMatch())
                modules.type = match.captured(1);
        }
        if (trimmed.isEmpty() || line.contains(QLatin1String("Handle")))
            inModule = false;
    }
    return modules;
}

QString ramInfo(bool virtualMachine, qint64 totalGigabytes, const MemoryModules& modules) {
    if (totalGigabytes <= 0)
        return QStringLiteral("Could not retrieve RAM information");
    if (virtualMachine)
        return QStringLiteral("%1 GB %2").arg(totalGigabytes).arg(QStringLiteral("Virtual RAM"));
    if (modules.count == 0 || modules.type.isEmpty())
        return QStringLiteral("Could not retrieve RAM information");
    return QStringLiteral("%1 GB %2 (%3 Stick%4)")
        .arg(totalGigabytes)
        .arg(modules.type)
        .arg(modules.count)
        .arg(modules.count >= 2 ? QStringLiteral("s") : QString());
}

QString formatDiskSize(quint64 bytes, const QString& kind) {
    const double terabytes = bytes / 1e12;
    QString size;
    if (terabytes >= 1.0) {
        const double rounded = std::floor(terabytes * 10 + 0.5) / 10;
        size = rounded == std::floor(rounded) ? QString::number(static_cast<qint64>(rounded))
                                              : QString::number(rounded, 'f', 1);
        size += QStringLiteral(" TB");
    } else {
        size = QString::number(bytes / 1000000000ULL) + QStringLiteral(" GB");
    }
    return size + QLatin1Char(' ') + kind;
}

QString diskInfo(const QString& lsblkOutput) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList solidState;
    QStringList rotational;
    const QStringList rows = lines(lsblkOutput);
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList columns = rows.at(i).split(blanks, Qt::SkipEmptyParts);
        if (columns.size() < 4 || columns.at(3) != QLatin1String("disk"))
            continue;
        const QString& name = columns.at(0);
        if (name.startsWith(QLatin1String("zram")) || name.startsWith(QLatin1String("ram")))
            continue;
        const quint64 bytes = columns.at(1).toULongLong();
        if (bytes == 0)
            continue;
        if (columns.at(2).toInt() != 0)
            rotational << formatDiskSize(bytes, QStringLiteral("HDD"));
        else
            solidState << formatDiskSize(bytes, QStringLiteral("SSD"));
    }
    return (solidState + rotational).join(QLatin1String(", "));
}

QString audioDevice(const QString& lspciMachineOutput) {
    bool inAudioBlock = false;
    for (const QString& line : lines(lspciMachineOutput)) {
        if (line.startsWith(QLatin1String("Class:\t")) && line.contains(QLatin1String("Audio device")))
            inAudioBlock = true;
        if (!inAudioBlock)
            continue;
        if (line.startsWith(QLatin1String("Device:\t")))
            return line.mid(line.indexOf(QLatin1Char('\t')) + 1).trimmed();
        if (line.trimmed().isEmpty())
            return QString();
    }
    return QString();
}

} // namespace SysInfoParser
