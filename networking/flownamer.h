#pragma once

#include "capturedpacket.h"
#include "connectionmapper.h"
#include "packetdecoder.h"
#include "packetflow.h"

#include <QHash>
#include <QVector>
#include <memory>

// Names the program and the direction of each captured frame from the
// connection mapper's socket tables; the decoding thread's own. A flow a
// socket named keeps its name after the socket is gone. A flow of this
// machine that no socket named asks once for fresh tables, and when newer
// tables name it, a rename is handed on for its packets that went out as
// "Unknown".
class FlowNamer {
public:
    explicit FlowNamer(ConnectionMapper* connectionMapper);

    // A capture starts: the machine's IPv4 addresses, the tables as they
    // are now, and nothing remembered of earlier captures.
    void start(const QVector<quint32>& localAddresses);
    // The capture has ended: its tables are let go.
    void releaseTables();
    // Names the packet's program and direction.
    void name(const PacketDecoder::FrameSummary& summary, qint64 time, CapturedPacket& packet);
    // Takes the mapper's tables when they are newer than those held; false
    // when they are not.
    bool takeNewTables();
    // The renames found since the last call.
    QVector<FlowRename> takeRenames();

private:
    struct Naming {
        PacketFlow flow;
        bool named = false;            // false: a packet of this machine matched no socket
        bool closed = false;           // the tables list its connection as closed
        bool directionByOwner = false; // between two programs of this machine
        quint64 ownerEnd = 0;          // the named socket's end, 0 when none
    };
    bool isLocal(quint32 address) const;
    Naming nameAndDirection(const PacketDecoder::FrameSummary& summary, qint64 time, CapturedPacket& packet);
    void recallFlow(const PacketFlow& flow, quint64 source, quint64 destination, qint64 time,
                    ConnectionMapper::Answer& answer);

    ConnectionMapper* connectionMapper;
    // The machine's IPv4 addresses, taken when a capture starts.
    QVector<quint32> localIPv4;
    std::shared_ptr<const ConnectionMapper::Snapshot> tables;
    quint64 tablesGeneration = 0;
    // Flows of this machine that no socket named yet (a refresh was asked
    // for each), with their first packet.
    struct MissedFlow {
        PacketDecoder::FrameSummary summary;
        qint64 since = 0;
    };
    QHash<PacketFlow, MissedFlow> missedFlows;
    // Flows a socket named, kept for the packets that come after the socket
    // is gone, until the flow has been quiet for a while.
    struct NamedFlow {
        QString application;
        quint64 ownerEnd = 0;
        qint64 lastSeen = 0;
    };
    QHash<PacketFlow, NamedFlow> namedFlows;
    QVector<FlowRename> foundRenames; // not taken yet
    qint64 latestFrameTime = 0;
};
