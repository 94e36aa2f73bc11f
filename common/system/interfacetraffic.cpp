#include "interfacetraffic.h"

#include <QRegularExpression>
#include <QStringList>

namespace traffic {

QVector<InterfaceCounters> parseProcNetDev(const QString& text) {
    QVector<InterfaceCounters> interfaces;
    const QVector<QStringRef> lines = text.splitRef(QLatin1Char('\n'));
    for (int i = 2; i < lines.size(); ++i) {
        const QStringRef line = lines.at(i);
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString name = line.left(colon).trimmed().toString();
        const QVector<QStringRef> fields = line.mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (name.isEmpty() || fields.size() < 16)
            continue;
        quint64 values[16];
        bool valid = true;
        for (int f = 0; f < 16 && valid; ++f)
            values[f] = fields.at(f).toULongLong(&valid);
        if (!valid)
            continue;
        InterfaceCounters c;
        c.name = name;
        c.rxBytes = values[0];
        c.rxPackets = values[1];
        c.rxErrors = values[2];
        c.rxDropped = values[3];
        c.rxFifo = values[4];
        c.rxFrame = values[5];
        c.rxCompressed = values[6];
        c.rxMulticast = values[7];
        c.txBytes = values[8];
        c.txPackets = values[9];
        c.txErrors = values[10];
        c.txDropped = values[11];
        c.txFifo = values[12];
        c.txCollisions = values[13];
        c.txCarrier = values[14];
        c.txCompressed = values[15];
        interfaces.append(c);
    }
    return interfaces;
}

bool counterRate(quint64 previous, quint64 current, double elapsedSeconds, double* perSecond) {
    if (current < previous || elapsedSeconds <= 0)
        return false;
    *perSecond = double(current - previous) / elapsedSeconds;
    return true;
}

double calculateScale(double maxRate) {
    static const double ladder[] = {1, 10, 100, 500, 1000, 5000, 10000, 50000, 100000, 500000, 1000000};
    for (double step : ladder) {
        if (step >= maxRate)
            return step;
    }
    return 5000000;
}

QString formatRate(double kbps) {
    if (kbps >= 1000000)
        return QStringLiteral("%1 Gb/s").arg(kbps / 1000000, 0, 'f', 2);
    if (kbps >= 1000)
        return QStringLiteral("%1 Mb/s").arg(kbps / 1000, 0, 'f', 0);
    return QStringLiteral("%1 Kb/s").arg(kbps, 0, 'f', 0);
}

namespace {
QString scaled(double value, double step, const char* const* units, int unitCount) {
    int unit = 0;
    while (value >= step && unit < unitCount - 1) {
        value /= step;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 2).arg(QLatin1String(units[unit]));
}
} // namespace

QString formatBytes(quint64 bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    return scaled(double(bytes), 1024, units, 5);
}

QString formatBits(double bitsPerSecond) {
    static const char* const units[] = {"bps", "Kbps", "Mbps", "Gbps", "Tbps"};
    return scaled(bitsPerSecond, 1000, units, 5);
}

double normalizeBitrateUnit(double value, const QString& unit) {
    const QString u = unit.toLower().remove(QLatin1Char(' '));
    if (u.startsWith(QLatin1String("gbit/s")) || u.startsWith(QLatin1String("gb/s")))
        return value * 1000;
    if (u.startsWith(QLatin1String("mbit/s")) || u.startsWith(QLatin1String("mibit/s")))
        return value;
    if (u.startsWith(QLatin1String("kbit/s")) || u.startsWith(QLatin1String("kib/s")))
        return value / 1000;
    return 0;
}

int linkSpeedFromIw(const QString& iwLinkOutput) {
    static const QRegularExpression tx(QStringLiteral("tx bitrate:\\s*([\\d\\.]+)\\s*(\\S+)"));
    static const QRegularExpression rx(QStringLiteral("rx bitrate:\\s*([\\d\\.]+)\\s*(\\S+)"));
    double fastest = 0;
    for (const QRegularExpression* pattern : {&tx, &rx}) {
        const QRegularExpressionMatch match = pattern->match(iwLinkOutput);
        if (match.hasMatch())
            fastest = qMax(fastest, normalizeBitrateUnit(match.captured(1).toDouble(), match.captured(2)));
    }
    return int(fastest);
}

int linkSpeedFromEthtool(const QString& ethtoolOutput) {
    static const QRegularExpression speed(QStringLiteral("Speed:\\s*(\\d+)Mb/s"));
    const QRegularExpressionMatch match = speed.match(ethtoolOutput);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace traffic
