#include "captureformats.h"

#include "displaytext.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QtEndian>

namespace CaptureFormats {

QString hexBytes(const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    if (bytes.isEmpty())
        return QString();
    QByteArray text(bytes.size() * 3 - 1, ' ');
    for (int i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        text[i * 3] = digits[b >> 4];
        text[i * 3 + 1] = digits[b & 0xF];
    }
    return QString::fromLatin1(text);
}

QByteArray textHeader() {
    return QByteArrayLiteral("Captured Packet Data\n---------------------\n\n");
}

QByteArray textGroupStart(const QString& application) {
    // A process name may hold line breaks; in a line-based report they would
    // forge lines of their own. Bidirectional controls would reorder it in
    // an editor as on screen: they read as on the page.
    QString name = displaySafeText(application);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return "Application: " + name.toUtf8() + '\n';
}

QByteArray textPacket(const PacketInfo& p) {
    QString text;
    text.reserve(512 + p.payload.size() * 3);
    text += QStringLiteral("Timestamp: ") + p.timestamp + QLatin1Char('\n');
    text += QStringLiteral("Source IP: ") + p.sourceIP + QStringLiteral(" Port: ") +
            QString::number(p.sourcePort) + QLatin1Char('\n');
    text += QStringLiteral("Destination IP: ") + p.destinationIP + QStringLiteral(" Port: ") +
            QString::number(p.destinationPort) + QLatin1Char('\n');
    text += QStringLiteral("Protocol: ") + p.protocol + QLatin1Char('\n');
    text += QStringLiteral("Length: ") + QString::number(p.length) + QLatin1Char('\n');
    text += QStringLiteral("Direction: ") + p.direction + QLatin1Char('\n');
    text += QStringLiteral("Source MAC: ") + p.sourceMAC + QLatin1Char('\n');
    text += QStringLiteral("Destination MAC: ") + p.destinationMAC + QLatin1Char('\n');
    text += QStringLiteral("EtherType: 0x") + QString::number(p.etherType, 16).toUpper() + QLatin1Char('\n');
    text += QStringLiteral("TTL: ") + QString::number(p.ttl) + QLatin1Char('\n');
    text += QStringLiteral("ID Field: ") + QString::number(p.identification) + QLatin1Char('\n');
    text += QStringLiteral("Flags: ") + QString::number(p.flags) + QLatin1Char('\n');
    text += QStringLiteral("IP Layer Checksum: 0x") + QString::number(p.ipChecksum, 16).toUpper() +
            QLatin1Char('\n');
    text += QStringLiteral("Sequence Number: ") + QString::number(p.sequenceNumber) + QLatin1Char('\n');
    text += QStringLiteral("Acknowledgment Number: ") + QString::number(p.acknowledgmentNumber) +
            QLatin1Char('\n');
    text += QStringLiteral("Window Size: ") + QString::number(p.windowSize) + QLatin1Char('\n');
    text += QStringLiteral("TCP/UDP Layer Checksum: 0x") +
            QString::number(p.transportChecksum, 16).toUpper() + QLatin1Char('\n');
    text += QStringLiteral("Payload (HEX): ") + hexBytes(p.payload) + QLatin1Char('\n');
    text += QStringLiteral("---------------------\n");
    return text.toUtf8();
}

QByteArray textGroupEnd() {
    return QByteArrayLiteral("\n");
}

QByteArray csvHeader() {
    return QByteArrayLiteral(
        "Application,Timestamp,Source IP,Source Port,Destination IP,Destination Port,"
        "Protocol,Length,Direction,Source MAC,Destination MAC,TTL,ID Field,Flags,"
        "IP Checksum,Sequence Number,Acknowledgment Number,Window Size,Checksum,Payload (HEX)\n");
}

QString csvField(const QString& value) {
    QString escaped = value;
    // Spreadsheets run a cell that starts with one of these as a formula
    // (a process called "=cmd|' /C calc'!A0" would); a leading quote makes
    // it text.
    if (!escaped.isEmpty() && QStringLiteral("=+-@\t\r").contains(escaped.at(0)))
        escaped.prepend(QLatin1Char('\''));
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QByteArray csvLine(const QString& application, const PacketInfo& p) {
    // Bidirectional controls in a process name would reorder the cell in a
    // spreadsheet as on screen: they read as on the page.
    const QStringList values = {displaySafeText(application),
                                p.timestamp,
                                p.sourceIP,
                                QString::number(p.sourcePort),
                                p.destinationIP,
                                QString::number(p.destinationPort),
                                p.protocol,
                                QString::number(p.length),
                                p.direction,
                                p.sourceMAC,
                                p.destinationMAC,
                                QString::number(p.ttl),
                                QString::number(p.identification),
                                QString::number(p.flags),
                                QString::number(p.ipChecksum),
                                QString::number(p.sequenceNumber),
                                QString::number(p.acknowledgmentNumber),
                                QString::number(p.windowSize),
                                QString::number(p.transportChecksum),
                                hexBytes(p.payload)};
    QString line;
    for (int i = 0; i < values.size(); ++i) {
        if (i)
            line += QLatin1Char(',');
        line += csvField(values[i]);
    }
    line += QLatin1Char('\n');
    return line.toUtf8();
}

bool parseTimestamp(const QString& text, qint64& seconds, qint64& microseconds) {
    // Date and time are read apart: a local-time parse would shift or
    // reject wall times that fall into a daylight-saving gap.
    if (text.size() != 23)
        return false;
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss.zzz"));
    if (!date.isValid() || !time.isValid())
        return false;
    const qint64 milliseconds = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
    seconds = milliseconds / 1000;
    microseconds = (milliseconds % 1000) * 1000;
    return true;
}

namespace {
void appendNative32(QByteArray& out, quint32 value) {
    out.append(reinterpret_cast<const char*>(&value), 4);
}
void appendNative16(QByteArray& out, quint16 value) {
    out.append(reinterpret_cast<const char*>(&value), 2);
}
} // namespace

QByteArray pcapFileHeader() {
    // The layout libpcap's dumper writes, in the machine's byte order.
    QByteArray header;
    appendNative32(header, 0xa1b2c3d4);
    appendNative16(header, 2);
    appendNative16(header, 4);
    appendNative32(header, 0); // time zone offset
    appendNative32(header, 0); // time stamp accuracy
    appendNative32(header, 65535);
    appendNative32(header, 1); // Ethernet
    return header;
}

QByteArray pcapRecord(const PacketInfo& packet) {
    qint64 seconds = 0, microseconds = 0;
    parseTimestamp(packet.timestamp, seconds, microseconds);
    QByteArray record;
    record.reserve(16 + packet.rawData.size());
    appendNative32(record, quint32(seconds));
    appendNative32(record, quint32(microseconds));
    appendNative32(record, quint32(packet.rawData.size()));
    appendNative32(record, quint32(packet.rawData.size()));
    record += packet.rawData;
    return record;
}

} // namespace CaptureFormats
