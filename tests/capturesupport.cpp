#include "capturesupport.h"

#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

namespace CaptureSupport {

void prepareLiveCaptures(bool ownNetwork) {
    if (::geteuid() != 0)
        QSKIP("live captures need root");
    QVERIFY(ownNetwork);
    qRegisterMetaType<CaptureEnd>(), qRegisterMetaType<PacketBatch>();
}

bool runIp(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("ip"), arguments) == 0;
}

QString ownProcessName() {
    return QCoreApplication::applicationName().left(15);
}

PacketBatch fetch(WorkerNetworkingPacketSniffer& worker) {
    QSignalSpy fetched(&worker, &WorkerNetworkingPacketSniffer::packetsUpdated);
    worker.fetchPackets();
    return fetched.first().first().value<PacketBatch>();
}

VethPair::VethPair() : ns(TestSupport::uniqueName(QStringLiteral("tsmns"))) {
    ok = runIp({"netns", "add", ns}) &&
         runIp({"link", "add", host, "type", "veth", "peer", "name", "peer0", "netns", ns}) &&
         runIp({"addr", "add", "10.199.17.1/30", "dev", host}) && runIp({"link", "set", host, "up"}) &&
         runIp({"-n", ns, "addr", "add", "10.199.17.2/30", "dev", "peer0"}) &&
         runIp({"-n", ns, "link", "set", "peer0", "up"}) && runIp({"-n", ns, "link", "set", "lo", "up"});
}

VethPair::~VethPair() {
    QProcess ip; // the link may be gone already
    ip.setStandardErrorFile(QProcess::nullDevice());
    ip.start("ip", {"link", "del", host});
    ip.waitForFinished();
    runIp({"netns", "del", ns});
}

} // namespace CaptureSupport
