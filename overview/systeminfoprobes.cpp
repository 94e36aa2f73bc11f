#include "systeminfoprobes.h"

#include "commandrunner.h"
#include "systempaths.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcSysInfoProbes, "tessmar.sysinfo.probes", QtWarningMsg)

namespace {

const QString notAvailable = QStringLiteral("N/A");

std::optional<QString> readWholeFile(const QString& absolutePath) {
    QFile file(SystemPaths::path(absolutePath));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

QString readFirstLine(const QString& absolutePath) {
    QFile file(SystemPaths::path(absolutePath));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return notAvailable;
    QTextStream stream(&file);
    return stream.readLine().trimmed();
}

QString orNotAvailable(const QString& text) {
    return text.isEmpty() ? notAvailable : text;
}

} // namespace

SystemInfoProbes::SystemInfoProbes(int probeTimeoutMs, int totalBudgetMs, QObject* parent)
    : QObject(parent), probeTimeoutMs(probeTimeoutMs), totalBudgetMs(totalBudgetMs) {}

void SystemInfoProbes::abort() {
    aborted.store(true);
}

CommandResult SystemInfoProbes::runTool(const QString& program, const QStringList& arguments) {
    const qint64 remaining = totalBudgetMs - budget.elapsed();
    if (aborted.load() || CommandRunner::isAborted() || remaining <= 0) {
        qCDebug(lcSysInfoProbes) << "Skipped" << program << "- out of time";
        CommandResult skipped;
        skipped.errorString = QStringLiteral("skipped");
        return skipped;
    }
    CommandOptions options;
    options.timeoutMs = static_cast<int>(qMin<qint64>(probeTimeoutMs, remaining));
    options.exitStatusIsAnswer = true;
    // glxinfo lists every visual and frame-buffer configuration: 120 KB for
    // 1,230 of them; the other probes print a few kilobytes.
    options.maxOutputBytes = 16 * 1024 * 1024;
    return CommandRunner::run(program, arguments, options);
}

// A tool's standard output, whatever its exit status: several of them
// report a negative answer ("none", no match) through the status alone.
// What a tool printed before it crashed or was cut off is no answer.
QString SystemInfoProbes::toolOutput(const QString& program, const QStringList& arguments) {
    const CommandResult result = runTool(program, arguments);
    return result.timedOut || result.crashed || result.aborted ? QString() : result.outputText();
}

QString SystemInfoProbes::virtualization() {
    if (!virtualizationName)
        virtualizationName = toolOutput(QStringLiteral("systemd-detect-virt"), {}).trimmed();
    return *virtualizationName;
}

SysInfoParser::GpuIdentity SystemInfoProbes::getGpuName() {
    return SysInfoParser::identifyGpu(
        SysInfoParser::displayControllerLines(toolOutput(QStringLiteral("lspci"), {})));
}

QString SystemInfoProbes::getGpuDriverVersion(const QString& vendor) {
    QString text = SysInfoParser::glxOpenGlVersion(toolOutput(QStringLiteral("glxinfo"), {}));
    if (text.isEmpty()) {
        const auto moduleVersion = [this](const QString& module) {
            return SysInfoParser::modinfoVersion(toolOutput(QStringLiteral("modinfo"), {module}));
        };
        const auto moduleLoaded = [this](const QString& module) {
            return SysInfoParser::lsmodMentions(toolOutput(QStringLiteral("lsmod"), {}), module);
        };
        if (vendor == QLatin1String("Nvidia")) {
            if (moduleLoaded(QStringLiteral("nouveau"))) {
                const QString version = moduleVersion(QStringLiteral("nouveau"));
                text = version.isEmpty() ? QStringLiteral("Nouveau (open-source)")
                                         : QStringLiteral("Nouveau %1 (open-source)").arg(version);
            } else {
                text = toolOutput(QStringLiteral("nvidia-smi"), {QStringLiteral("--query-gpu=driver_version"),
                                                                 QStringLiteral("--format=csv,noheader")})
                           .trimmed();
                if (text.isEmpty())
                    text = QStringLiteral("NVIDIA driver not installed");
            }
        } else if (vendor == QLatin1String("AMD")) {
            if (moduleLoaded(QStringLiteral("amdgpu"))) {
                const QString version = moduleVersion(QStringLiteral("amdgpu"));
                text = version.isEmpty() ? QStringLiteral("AMDGPU (open-source)")
                                         : QStringLiteral("AMDGPU %1 (open-source)").arg(version);
            } else {
                text = SysInfoParser::clinfoDriverVersion(
                    toolOutput(QStringLiteral("clinfo"), {QStringLiteral("--raw")}));
                if (text.isEmpty())
                    text = QStringLiteral("AMD driver not installed");
            }
        } else if (vendor == QLatin1String("Intel")) {
            text = SysInfoParser::xorgIntelDriverVersion(
                readWholeFile(QStringLiteral("/var/log/Xorg.0.log")).value_or(QString()));
            if (text.isEmpty())
                text = QStringLiteral("Intel driver not installed or in use");
        } else if (vendor == QLatin1String("VMware")) {
            text = moduleVersion(QStringLiteral("vmwgfx"));
            if (text.isEmpty())
                text = QStringLiteral("VMware graphics driver not found");
        } else if (vendor == QLatin1String("VirtualBox")) {
            text = toolOutput(QStringLiteral("VBoxControl"), {QStringLiteral("--version")}).trimmed();
            if (text.isEmpty())
                text = QStringLiteral("VirtualBox Guest Additions not installed");
        } else if (vendor == QLatin1String("QEMU")) {
            text = QStringLiteral("QEMU virtual GPU, driver provided by host system");
        } else {
            text = QStringLiteral("Unknown GPU or driver");
        }
    }
    return SysInfoParser::shortenDriverText(text, vendor);
}

QString SystemInfoProbes::getDesktopEnvironment() {
    QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    if (desktop.isEmpty())
        desktop = qEnvironmentVariable("DESKTOP_SESSION");
    return desktop.isEmpty() ? QStringLiteral("Desktop Environment could not be determined") : desktop;
}

QString SystemInfoProbes::getDesktopEnvironmentVersion(const QString& desktop) {
    QString program;
    if (desktop.contains(QLatin1String("XFCE"), Qt::CaseInsensitive))
        program = QStringLiteral("xfce4-session");
    else if (desktop.contains(QLatin1String("GNOME"), Qt::CaseInsensitive))
        program = QStringLiteral("gnome-shell");
    else if (desktop.contains(QLatin1String("KDE"), Qt::CaseInsensitive))
        program = QStringLiteral("plasmashell");
    else
        return notAvailable;
    return SysInfoParser::desktopVersion(toolOutput(program, {QStringLiteral("--version")}));
}

QString SystemInfoProbes::getWindowManager() {
    const QString output = toolOutput(QStringLiteral("wmctrl"), {QStringLiteral("-m")});
    if (output.isEmpty())
        return QStringLiteral("Window manager could not be determined");
    return orNotAvailable(SysInfoParser::windowManagerName(output));
}

QString SystemInfoProbes::getSoundServer() {
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QDir(runtimeDir + QStringLiteral("/pulse")).exists()) {
        qCDebug(lcSysInfoProbes) << "PulseAudio detected via XDG_RUNTIME_DIR.";
        return QStringLiteral("PulseAudio");
    }
    if (!toolOutput(QStringLiteral("pgrep"), {QStringLiteral("-x"), QStringLiteral("jackd")}).isEmpty()) {
        qCDebug(lcSysInfoProbes) << "JACK detected via process check.";
        return QStringLiteral("JACK");
    }
    if (!readWholeFile(QStringLiteral("/proc/asound/version")).value_or(QString()).isEmpty()) {
        qCDebug(lcSysInfoProbes) << "ALSA detected via /proc/asound/version.";
        return QStringLiteral("ALSA");
    }
    return QStringLiteral("Sound server could not be determined");
}

QString SystemInfoProbes::getMachineName() {
    const auto field = [](const char* path) {
        const std::optional<QString> text = readWholeFile(QLatin1String(path));
        return text ? orNotAvailable(text->trimmed()) : notAvailable;
    };
    const QString vendor = field("/sys/class/dmi/id/sys_vendor");
    const QString product = field("/sys/class/dmi/id/product_name");
    return QStringLiteral("%1 (%2)").arg(product, vendor);
}

QString SystemInfoProbes::getBoardName() {
    const QString vendor = readFirstLine(QStringLiteral("/sys/devices/virtual/dmi/id/board_vendor"));
    const QString name = readFirstLine(QStringLiteral("/sys/devices/virtual/dmi/id/board_name"));
    return QStringLiteral("%1 (%2)").arg(name, vendor);
}

QString SystemInfoProbes::getCpuCores() {
    const long configured = ::sysconf(_SC_NPROCESSORS_CONF);
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    if (configured >= 1 && online > 0)
        return QStringLiteral("%1 (%2 Threads)").arg(configured).arg(online);
    return QStringLiteral("Unknown Core Configuration");
}

QString SystemInfoProbes::getRamInfo() {
    // No answer from the detector counts as virtual: then no DMI table is read.
    const bool virtualMachine = virtualization() != QLatin1String("none");
    const qint64 total =
        SysInfoParser::memTotalGigabytes(readWholeFile(QStringLiteral("/proc/meminfo")).value_or(QString()));
    SysInfoParser::MemoryModules modules;
    if (!virtualMachine)
        modules = SysInfoParser::parseDmidecodeMemory(
            toolOutput(QStringLiteral("sudo"),
                       {QStringLiteral("dmidecode"), QStringLiteral("-t"), QStringLiteral("memory")}));
    return SysInfoParser::ramInfo(virtualMachine, total, modules);
}

QString SystemInfoProbes::getDiskInfo() {
    const QString output =
        toolOutput(QStringLiteral("lsblk"), {QStringLiteral("-b"), QStringLiteral("-d"), QStringLiteral("-o"),
                                             QStringLiteral("NAME,SIZE,ROTA,TYPE")});
    return orNotAvailable(SysInfoParser::diskInfo(output));
}

QString SystemInfoProbes::getAudioDevice() {
    const QString device = SysInfoParser::audioDevice(
        toolOutput(QStringLiteral("lspci"), {QStringLiteral("-vmm"), QStringLiteral("-D")}));
    if (!device.isEmpty())
        return device;
    const QString machine = virtualization();
    if (!machine.isEmpty() && machine != QLatin1String("none"))
        return QStringLiteral("Virtual Audio Device (%1)").arg(machine);
    return QStringLiteral("Unknown Audio Device");
}

StaticSystemInfo SystemInfoProbes::gather() {
    budget.start();
    StaticSystemInfo info;

    const std::optional<QString> osRelease = readWholeFile(QStringLiteral("/etc/os-release"));
    if (osRelease) {
        const SysInfoParser::OsRelease release = SysInfoParser::parseOsRelease(*osRelease);
        info.osName = QString(release.name).remove(QLatin1String("GNU/Linux "));
        info.osVersion = release.version;
        info.basedOn = release.basedOn;
    } else {
        info.osName = notAvailable;
        info.osVersion = notAvailable;
    }
    info.kernel = orNotAvailable(
        readWholeFile(QStringLiteral("/proc/sys/kernel/osrelease")).value_or(QString()).trimmed());

    const SysInfoParser::GpuIdentity gpu = getGpuName();
    info.gpu = QStringLiteral("%1 (%2)").arg(orNotAvailable(gpu.model), gpu.vendor);
    info.gpuDriver = SysInfoParser::openGlLabel(getGpuDriverVersion(gpu.vendor));

    const QString desktop = getDesktopEnvironment();
    info.desktopEnvironment = desktop + QLatin1Char(' ') + getDesktopEnvironmentVersion(desktop);
    info.windowManager = getWindowManager();
    info.soundServer = getSoundServer();
    info.machine = getMachineName();
    info.motherboard = getBoardName();

    const QString cpuinfo = readWholeFile(QStringLiteral("/proc/cpuinfo")).value_or(QString());
    info.cpuModel = SysInfoParser::cpuModel(cpuinfo);
    info.cpuCoresAndThreads = getCpuCores() + QStringLiteral(" @ ") + SysInfoParser::cpuSpeed(cpuinfo);
    info.ramInfo = getRamInfo();
    info.storage = getDiskInfo();
    info.audioDevice = getAudioDevice();
    return info;
}

void SystemInfoProbes::fetchStaticSystemInfo() {
    emit staticSystemInfoUpdated(gather());
}
