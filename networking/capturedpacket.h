#pragma once

#include "packetinfo.h"

#include <QString>
#include <memory>

class FrameBlock;

enum class PacketDirection : quint8 { Outgoing, Incoming, Broadcast };

// "Outgoing", "Incoming" or "Broadcast".
QString directionText(PacketDirection direction);

// One packet as the capture keeps it: the frame's bytes (in a shared block),
// its time, direction and application. Everything else is read from the
// frame when it is shown or saved, so a kept packet costs little more than
// its bytes.
struct CapturedPacket {
    std::shared_ptr<const FrameBlock> block; // owns the bytes at frame
    const uchar* frame = nullptr;
    quint32 length = 0; // captured bytes
    qint64 time = 0;    // microseconds since the epoch, UTC
    QString application;
    PacketDirection direction = PacketDirection::Broadcast;

    // The whole record, decoded from the frame.
    PacketInfo info() const;
    // The text of a packet row's column (1 timestamp, 2 source address,
    // 3 source port, 4 destination address, 5 destination port, 6 protocol,
    // 7 length, 8 direction); empty for any other.
    QString columnText(int column) const;
    // Whether a column's text holds filter, ignoring case.
    bool matches(const QString& filter) const;
};
