#include "packetdecoder.h"

namespace {

quint16 read16(const uchar* p) {
    return quint16((p[0] << 8) | p[1]);
}

quint32 read32(const uchar* p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

char* writeDecimal(char* out, unsigned value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    while (count)
        *out++ = digits[--count];
    return out;
}

char* writePadded(char* out, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's
// civil_from_days), so formatting never consults the time-zone database.
void civilFromDays(qint64 days, qint64& year, unsigned& month, unsigned& day) {
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = qint64(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

constexpr int IPv4MinimumHeader = 20;
constexpr int TcpMinimumHeader = 20;
constexpr int UdpHeader = 8;
constexpr quint8 ProtocolTcp = 6;
constexpr quint8 ProtocolUdp = 17;

} // namespace

namespace PacketDecoder {

QString ipv4Text(quint32 address) {
    char text[16];
    char* out = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        out = writeDecimal(out, (address >> shift) & 0xFF);
        if (shift)
            *out++ = '.';
    }
    return QString::fromLatin1(text, int(out - text));
}

QString macText(const uchar* bytes) {
    static const char hex[] = "0123456789abcdef";
    char text[17];
    for (int i = 0; i < 6; ++i) {
        text[i * 3] = hex[bytes[i] >> 4];
        text[i * 3 + 1] = hex[bytes[i] & 0xF];
        if (i < 5)
            text[i * 3 + 2] = ':';
    }
    return QString::fromLatin1(text, 17);
}

QString formatTimestamp(qint64 seconds, qint64 microseconds) {
    const qint64 milliseconds = seconds * 1000 + microseconds / 1000;
    qint64 days = milliseconds / 86400000;
    qint64 inDay = milliseconds % 86400000;
    if (inDay < 0) {
        inDay += 86400000;
        --days;
    }
    qint64 year;
    unsigned month, day;
    civilFromDays(days, year, month, day);
    if (year < 0 || year > 9999)
        return QString();
    char text[23];
    char* out = writePadded(text, unsigned(year), 4);
    *out++ = '-';
    out = writePadded(out, month, 2);
    *out++ = '-';
    out = writePadded(out, day, 2);
    *out++ = ' ';
    out = writePadded(out, unsigned(inDay / 3600000), 2);
    *out++ = ':';
    out = writePadded(out, unsigned(inDay / 60000 % 60), 2);
    *out++ = ':';
    out = writePadded(out, unsigned(inDay / 1000 % 60), 2);
    *out++ = '.';
    writePadded(out, unsigned(inDay % 1000), 3);
    return QString::fromLatin1(text, 23);
}

int ipProtocolOf(const uchar* frame, size_t capturedLength) {
    if (capturedLength < size_t(EthernetHeaderLength + IPv4MinimumHeader))
        return -1;
    return frame[EthernetHeaderLength + 9];
}

bool summarizeFrame(const uchar* frame, size_t capturedLength, FrameSummary& summary) {
    if (!frame || capturedLength < size_t(EthernetHeaderLength + IPv4MinimumHeader))
        return false;
    if (read16(frame + 12) != EtherTypeIPv4)
        return false;

    const uchar* ip = frame + EthernetHeaderLength;
    const size_t ipCaptured = capturedLength - EthernetHeaderLength;
    if ((ip[0] >> 4) != 4)
        return false;
    const size_t headerLength = size_t(ip[0] & 0x0F) * 4;
    if (headerLength < size_t(IPv4MinimumHeader) || headerLength > ipCaptured)
        return false;
    const quint16 totalLength = read16(ip + 2);
    if (totalLength < headerLength)
        return false;

    const bool firstFragment = (read16(ip + 6) & 0x1FFF) == 0;
    const quint8 protocol = ip[9];
    const uchar* transport = ip + headerLength;
    // The transport bytes that belong to this datagram and were captured.
    const size_t transportAvailable = qMin(size_t(totalLength), ipCaptured) - headerLength;

    summary.sourcePort = 0;
    summary.destinationPort = 0;
    if ((protocol == ProtocolTcp || protocol == ProtocolUdp) && firstFragment) {
        if (transportAvailable < size_t(protocol == ProtocolTcp ? TcpMinimumHeader : UdpHeader))
            return false;
        summary.sourcePort = read16(transport);
        summary.destinationPort = read16(transport + 2);
    }
    summary.protocol = protocol;
    summary.totalLength = totalLength;
    summary.sourceAddress = read32(ip + 12);
    summary.destinationAddress = read32(ip + 16);
    summary.groupDestination = frame[0] & 1;
    summary.transportOffset = int(EthernetHeaderLength + headerLength);
    summary.transportLength = int(transportAvailable);
    return true;
}

bool decodeEthernetFrame(const uchar* frame, size_t capturedLength, PacketInfo& packet) {
    FrameSummary summary;
    if (!summarizeFrame(frame, capturedLength, summary))
        return false;
    const uchar* ip = frame + EthernetHeaderLength;
    const uchar* transport = frame + summary.transportOffset;
    const bool firstFragment = (read16(ip + 6) & 0x1FFF) == 0;

    packet.sourcePort = summary.sourcePort;
    packet.destinationPort = summary.destinationPort;
    packet.sequenceNumber = 0;
    packet.acknowledgmentNumber = 0;
    packet.windowSize = 0;
    packet.transportChecksum = 0;
    if (summary.protocol == ProtocolTcp) {
        packet.protocol = QStringLiteral("TCP");
        if (firstFragment) {
            packet.sequenceNumber = read32(transport + 4);
            packet.acknowledgmentNumber = read32(transport + 8);
            packet.windowSize = read16(transport + 14);
            packet.transportChecksum = read16(transport + 16);
        }
    } else if (summary.protocol == ProtocolUdp) {
        packet.protocol = QStringLiteral("UDP");
        if (firstFragment)
            packet.transportChecksum = read16(transport + 6);
    } else {
        packet.protocol = protocolText(summary.protocol);
    }

    packet.destinationMAC = macText(frame);
    packet.sourceMAC = macText(frame + 6);
    packet.etherType = EtherTypeIPv4;
    packet.length = summary.totalLength;
    packet.identification = read16(ip + 4);
    packet.flags = read16(ip + 6) & 0xE000;
    packet.ttl = ip[8];
    packet.ipChecksum = read16(ip + 10);
    packet.sourceIP = ipv4Text(summary.sourceAddress);
    packet.destinationIP = ipv4Text(summary.destinationAddress);
    packet.rawData = QByteArray(reinterpret_cast<const char*>(frame), int(capturedLength));
    packet.payload = QByteArray(reinterpret_cast<const char*>(transport), summary.transportLength);
    return true;
}

QString protocolText(quint8 protocol) {
    if (protocol == ProtocolTcp)
        return QStringLiteral("TCP");
    if (protocol == ProtocolUdp)
        return QStringLiteral("UDP");
    return QString::number(protocol);
}

} // namespace PacketDecoder
