#include "workernetworkingbandwidthmonitor.h"

#include "commandrunner.h"
#include "interfacetraffic.h"
#include "systempaths.h"

#include <QFile>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <time.h>

Q_LOGGING_CATEGORY(lcBandwidth, "tessmar.bandwidth", QtWarningMsg)

namespace {
constexpr int kToolTimeoutMs = 2000;

QString toolOutput(const QString& program, const QStringList& arguments) {
    CommandOptions options;
    options.timeoutMs = kToolTimeoutMs;
    const CommandResult result = CommandRunner::run(program, arguments, options);
    return result.succeeded() ? result.outputText() : QString();
}

bool isWirelessInterface(const QString& name) {
    QFile wireless(SystemPaths::path(QStringLiteral("/proc/net/wireless")));
    if (!wireless.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QStringList lines = QString::fromUtf8(wireless.readAll()).split(QLatin1Char('\n'));
    for (int i = 2; i < lines.size(); ++i) {
        if (lines.at(i).section(QLatin1Char(':'), 0, 0).trimmed() == name)
            return true;
    }
    return false;
}
} // namespace

WorkerNetworkingBandwidthMonitor::WorkerNetworkingBandwidthMonitor(QObject* parent) : QObject(parent) {
    qCDebug(lcBandwidth) << "We are here in Worker Networking Bandwidth Monitor";
}

WorkerNetworkingBandwidthMonitor::~WorkerNetworkingBandwidthMonitor() = default;

double WorkerNetworkingBandwidthMonitor::monotonicSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void WorkerNetworkingBandwidthMonitor::fetchInterfaceCounters() {
    InterfaceSample sample;
    QFile file(SystemPaths::path(QStringLiteral("/proc/net/dev")));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QString text = QString::fromLatin1(file.readAll());
        sample.sampledAt = monotonicSeconds();
        sample.interfaces = traffic::parseProcNetDev(text);
    } else {
        qWarning("Unable to open /proc/net/dev");
        sample.failure = file.errorString();
    }
    emit interfaceCountersUpdated(sample);
}

int WorkerNetworkingBandwidthMonitor::getLinkSpeed(const QString& interfaceName) {
    // The name becomes part of a sysfs path.
    if (interfaceName.isEmpty() || interfaceName.contains(QLatin1Char('/')) ||
        interfaceName.startsWith(QLatin1Char('.')))
        return -1;
    if (QNetworkInterface::interfaceFromName(interfaceName).flags() & QNetworkInterface::IsLoopBack)
        return -1;
    int speed = 0;
    if (isWirelessInterface(interfaceName))
        speed = traffic::linkSpeedFromIw(
            toolOutput(QStringLiteral("iw"), {QStringLiteral("dev"), interfaceName, QStringLiteral("link")}));
    if (speed == 0) {
        QFile sysfs(SystemPaths::path(QStringLiteral("/sys/class/net/%1/speed").arg(interfaceName)));
        if (sysfs.open(QIODevice::ReadOnly | QIODevice::Text))
            speed = QString::fromUtf8(sysfs.readAll()).trimmed().toInt();
        else
            speed = traffic::linkSpeedFromEthtool(toolOutput(QStringLiteral("ethtool"), {interfaceName}));
    }
    // The kernel reports -1 (and some drivers 0) for a link that is down.
    return speed > 0 ? speed : -1;
}

void WorkerNetworkingBandwidthMonitor::probeLinkSpeed(const QString& interfaceName) {
    emit linkSpeedUpdated({interfaceName, getLinkSpeed(interfaceName)});
}
