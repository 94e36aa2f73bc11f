#include "capturedpacket.h"

#include "framestore.h"
#include "packetdecoder.h"

QString directionText(PacketDirection direction) {
    switch (direction) {
    case PacketDirection::Outgoing:
        return QStringLiteral("Outgoing");
    case PacketDirection::Incoming:
        return QStringLiteral("Incoming");
    case PacketDirection::Broadcast:
        break;
    }
    return QStringLiteral("Broadcast");
}

namespace {
QString timestampText(qint64 time) {
    return PacketDecoder::formatTimestamp(time / 1000000, time % 1000000);
}
} // namespace

PacketInfo CapturedPacket::info() const {
    PacketInfo packet;
    if (frame)
        PacketDecoder::decodeEthernetFrame(frame, length, packet);
    packet.application = application;
    packet.timestamp = timestampText(time);
    packet.direction = directionText(direction);
    return packet;
}

QString CapturedPacket::columnText(int column) const {
    if (column == 1)
        return timestampText(time);
    if (column == 8)
        return directionText(direction);
    PacketDecoder::FrameSummary summary;
    if (!frame || !PacketDecoder::summarizeFrame(frame, length, summary))
        return QString();
    switch (column) {
    case 2:
        return PacketDecoder::ipv4Text(summary.sourceAddress);
    case 3:
        return QString::number(summary.sourcePort);
    case 4:
        return PacketDecoder::ipv4Text(summary.destinationAddress);
    case 5:
        return QString::number(summary.destinationPort);
    case 6:
        return PacketDecoder::protocolText(summary.protocol);
    case 7:
        return QString::number(summary.totalLength);
    default:
        return QString();
    }
}

bool CapturedPacket::matches(const QString& filter) const {
    for (int column = 1; column <= 8; ++column)
        if (columnText(column).contains(filter, Qt::CaseInsensitive))
            return true;
    return false;
}
