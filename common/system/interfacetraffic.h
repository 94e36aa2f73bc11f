#pragma once

#include <QString>
#include <QVector>

// Pure helpers of the Bandwidth Monitor: reading the kernel's interface
// counters, turning counter steps into rates, and the texts of the page.
namespace traffic {

// The sixteen counters of one line of /proc/net/dev, in the kernel's order.
struct InterfaceCounters {
    QString name;
    quint64 rxBytes = 0, rxPackets = 0, rxErrors = 0, rxDropped = 0, rxFifo = 0, rxFrame = 0,
            rxCompressed = 0, rxMulticast = 0;
    quint64 txBytes = 0, txPackets = 0, txErrors = 0, txDropped = 0, txFifo = 0, txCollisions = 0,
            txCarrier = 0, txCompressed = 0;
};

// Every interface line of /proc/net/dev. The name is whatever stands before
// the colon, so "br-1a2b", "wg-home", "veth0@if2" and "eth0.100" all count.
QVector<InterfaceCounters> parseProcNetDev(const QString& text);

// The rate of a counter between two readings, per second. A counter that
// went backwards (reset, wrap, interface re-created) gives no rate: the
// caller skips that sample and counts on from the new value.
bool counterRate(quint64 previous, quint64 current, double elapsedSeconds, double* perSecond);

// The graph scale, in Kbit/s, for the largest rate shown.
double calculateScale(double maxRate);
// "500 Kb/s", "5 Mb/s", "1.00 Gb/s".
QString formatRate(double kbps);
// "1.50 KB", up to "TB".
QString formatBytes(quint64 bytes);
// "1.50 Mbps", up to "Tbps".
QString formatBits(double bitsPerSecond);
// A bit rate with its unit as iw prints it, in Mbit/s; 0 for unknown units.
double normalizeBitrateUnit(double value, const QString& unit);
// The faster of the transmit and receive bit rates in "iw dev X link", Mbit/s; 0 when none.
int linkSpeedFromIw(const QString& iwLinkOutput);
// "Speed: 1000Mb/s" from ethtool; 0 when absent.
int linkSpeedFromEthtool(const QString& ethtoolOutput);

} // namespace traffic
