#pragma once

#include "workernetworkingpacketsniffer.h"

#include <QString>
#include <QStringList>

// Helpers of the live capture tests, which run as root in a network
// namespace of their own (TestSupport::isolateNetwork).
namespace CaptureSupport {

// For initTestCase: skips the test when it does not run as root, and fails
// it when ownNetwork (TestSupport::isolateNetwork before main) is false.
void prepareLiveCaptures(bool ownNetwork);

bool runIp(const QStringList& arguments);

// The kernel keeps the first 15 bytes of a program's name.
QString ownProcessName();

// What the page's next fetch gets.
PacketBatch fetch(WorkerNetworkingPacketSniffer& worker);

// A veth pair: this end in the test's namespace, the other in a namespace
// made for it (unique name, removed with the pair).
class VethPair {
public:
    VethPair();
    ~VethPair();
    const QString ns;
    const QString host = QStringLiteral("tsmveth0");
    bool ok = false;
};

} // namespace CaptureSupport
