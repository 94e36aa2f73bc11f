#include "packetflow.h"

void FlowRename::apply(CapturedPacket& packet, const PacketDecoder::FrameSummary& summary) const {
    packet.application = application;
    if (directionByOwner)
        packet.direction = PacketFlow::endpoint(summary.sourceAddress, summary.sourcePort) == ownerEnd
                               ? PacketDirection::Outgoing
                               : PacketDirection::Incoming;
}
