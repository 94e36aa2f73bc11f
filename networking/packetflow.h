#pragma once

#include "capturedpacket.h"
#include "packetdecoder.h"

#include <QHashFunctions>
#include <QString>

// The flow a packet belongs to: its protocol and its two ends (address and
// port), the same whichever way the packet goes.
struct PacketFlow {
    quint64 low = 0; // the lesser of the two endpoints
    quint64 high = 0;
    quint8 protocol = 0;

    // One end, an IPv4 address and a port in host order, as one number.
    static quint64 endpoint(quint32 address, quint16 port) { return (quint64(address) << 16) | port; }
    static PacketFlow between(quint8 protocol, quint64 a, quint64 b) {
        return a <= b ? PacketFlow{a, b, protocol} : PacketFlow{b, a, protocol};
    }
    static PacketFlow of(const PacketDecoder::FrameSummary& summary) {
        return between(summary.protocol, endpoint(summary.sourceAddress, summary.sourcePort),
                       endpoint(summary.destinationAddress, summary.destinationPort));
    }

    bool operator==(const PacketFlow& other) const {
        return low == other.low && high == other.high && protocol == other.protocol;
    }
};

inline uint qHash(const PacketFlow& flow, uint seed = 0) {
    return ::qHash(flow.low ^ (flow.high * 0x9E3779B97F4A7C15ull) ^ (quint64(flow.protocol) << 56), seed);
}

// A flow whose first packets were captured before its program was known,
// and went out as "Unknown": they take its name now, wherever they are.
struct FlowRename {
    PacketFlow flow;
    QString application;
    qint64 since = 0; // capture time of the flow's first unnamed packet
    // Between two programs of this machine the direction follows the named
    // socket: a packet sent from ownerEnd is Outgoing, any other Incoming.
    bool directionByOwner = false;
    quint64 ownerEnd = 0;

    // Gives an "Unknown" packet of the flow its name (and direction).
    void apply(CapturedPacket& packet, const PacketDecoder::FrameSummary& summary) const;
};
