#include "flownamer.h"

namespace {

// A named flow's name outlives its socket by this much of quiet (capture
// time); a flow no socket named is looked for this long.
constexpr qint64 NamedFlowMemory = 10 * 1000000;
constexpr qint64 MissedFlowLifetime = 60 * 1000000;
constexpr int MaxMissedFlows = 4096;
constexpr int MaxNamedFlows = 65536;

bool isGroupAddress(quint32 address) {
    return (address >> 28) == 0xE || address == 0xFFFFFFFFu; // multicast, limited broadcast
}

} // namespace

FlowNamer::FlowNamer(ConnectionMapper* connectionMapper) : connectionMapper(connectionMapper) {}

void FlowNamer::start(const QVector<quint32>& localAddresses) {
    localIPv4 = localAddresses;
    tables = connectionMapper->currentSnapshot();
    tablesGeneration = connectionMapper->generation();
    missedFlows.clear();
    namedFlows.clear();
    foundRenames.clear();
    latestFrameTime = 0;
}

void FlowNamer::releaseTables() {
    tables.reset();
}

bool FlowNamer::isLocal(quint32 address) const {
    return (address >> 24) == 127 || localIPv4.contains(address);
}

void FlowNamer::name(const PacketDecoder::FrameSummary& summary, qint64 time, CapturedPacket& packet) {
    latestFrameTime = qMax(latestFrameTime, time);
    const Naming naming = nameAndDirection(summary, time, packet);
    if (!naming.named) {
        // A connection newer than the tables: have them read again at once,
        // once per flow, so one that never resolves costs no more refreshes.
        // The last packets of a connection the tables list as closed are not
        // worth one: they would spend the refreshes a new connection needs.
        if (!naming.closed && !missedFlows.contains(naming.flow)) {
            if (missedFlows.size() >= MaxMissedFlows)
                missedFlows.clear();
            missedFlows.insert(naming.flow, {summary, time});
            connectionMapper->requestRefresh();
        }
    } else if (!missedFlows.isEmpty()) {
        // Its first packets went out unnamed: they move to this name.
        const auto missed = missedFlows.find(naming.flow);
        if (missed != missedFlows.end()) {
            foundRenames.append(
                {naming.flow, packet.application, missed->since, naming.directionByOwner, naming.ownerEnd});
            missedFlows.erase(missed);
        }
    }
}

FlowNamer::Naming FlowNamer::nameAndDirection(const PacketDecoder::FrameSummary& summary, qint64 time,
                                              CapturedPacket& packet) {
    if (!tables) {
        tablesGeneration = connectionMapper->generation();
        tables = connectionMapper->currentSnapshot();
    }
    // Multicast and broadcast frames read "Broadcast" whoever sent them.
    const bool group = summary.groupDestination || isGroupAddress(summary.destinationAddress);
    const bool sourceLocal = isLocal(summary.sourceAddress);
    const bool destinationLocal = isLocal(summary.destinationAddress);
    ConnectionMapper::Query query;
    query.protocol = summary.protocol;
    query.sourceAddress = summary.sourceAddress;
    query.sourcePort = summary.sourcePort;
    query.destinationAddress = summary.destinationAddress;
    query.destinationPort = summary.destinationPort;
    query.sourceIsLocal = sourceLocal;
    query.destinationIsLocal = destinationLocal || group; // our listener receives it too
    ConnectionMapper::Answer answer = connectionMapper->lookup(query, *tables);
    // Only a packet of this machine can be named by its tables.
    const bool own = (sourceLocal || destinationLocal) && summary.sourcePort;
    const quint64 source = PacketFlow::endpoint(summary.sourceAddress, summary.sourcePort);
    const quint64 destination = PacketFlow::endpoint(summary.destinationAddress, summary.destinationPort);
    Naming naming;
    naming.flow = PacketFlow::between(summary.protocol, source, destination);
    if (own)
        recallFlow(naming.flow, source, destination, time, answer);
    packet.application = answer.name;
    naming.directionByOwner = sourceLocal && destinationLocal && !group;
    if (group)
        packet.direction = PacketDirection::Broadcast;
    else if (naming.directionByOwner) // between two programs of this machine
        packet.direction = answer.owner == ConnectionMapper::Owner::Destination ? PacketDirection::Incoming
                                                                                : PacketDirection::Outgoing;
    else if (sourceLocal)
        packet.direction = PacketDirection::Outgoing;
    else if (destinationLocal)
        packet.direction = PacketDirection::Incoming;
    else
        packet.direction = PacketDirection::Broadcast;
    naming.named = answer.found || !own;
    naming.closed = answer.closed;
    naming.ownerEnd = answer.owner == ConnectionMapper::Owner::Source        ? source
                      : answer.owner == ConnectionMapper::Owner::Destination ? destination
                                                                             : 0;
    return naming;
}

// A flow a socket named keeps that name for its packets after the socket is
// gone: the closing exchange of a connection whose program has exited, or
// whose socket has lost its inode by the next refresh.
void FlowNamer::recallFlow(const PacketFlow& flow, quint64 source, quint64 destination, qint64 time,
                           ConnectionMapper::Answer& answer) {
    const auto known = namedFlows.find(flow);
    if (answer.owner != ConnectionMapper::Owner::Unknown) {
        const quint64 ownerEnd = answer.owner == ConnectionMapper::Owner::Source ? source : destination;
        if (known == namedFlows.end()) {
            if (namedFlows.size() < MaxNamedFlows)
                namedFlows.insert(flow, {answer.name, ownerEnd, time});
        } else {
            known->application = answer.name;
            known->ownerEnd = ownerEnd;
            known->lastSeen = time;
        }
    } else if (!answer.found && known != namedFlows.end()) {
        answer.name = known->application;
        answer.owner = known->ownerEnd == source ? ConnectionMapper::Owner::Source
                                                 : ConnectionMapper::Owner::Destination;
        answer.found = true;
        known->lastSeen = time;
    }
}

// New tables: the flows no socket named so far get another chance, and the
// names of flows quiet for long are forgotten.
bool FlowNamer::takeNewTables() {
    if (!tables || connectionMapper->generation() == tablesGeneration)
        return false;
    tablesGeneration = connectionMapper->generation();
    tables = connectionMapper->currentSnapshot();
    for (auto it = namedFlows.begin(); it != namedFlows.end();)
        it = it->lastSeen < latestFrameTime - NamedFlowMemory ? namedFlows.erase(it) : std::next(it);
    for (auto it = missedFlows.begin(); it != missedFlows.end();) {
        if (it->since < latestFrameTime - MissedFlowLifetime) {
            it = missedFlows.erase(it);
            continue;
        }
        CapturedPacket probe;
        const Naming naming = nameAndDirection(it->summary, latestFrameTime, probe);
        if (!naming.named) {
            ++it;
            continue;
        }
        foundRenames.append(
            {naming.flow, probe.application, it->since, naming.directionByOwner, naming.ownerEnd});
        it = missedFlows.erase(it);
    }
    return true;
}

QVector<FlowRename> FlowNamer::takeRenames() {
    QVector<FlowRename> renames;
    renames.swap(foundRenames);
    return renames;
}
