#include "snifferpagefixture.h"

#include "startup.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"

#include <QDataStream>
#include <QFile>
#include <QtTest>

#include <unistd.h>

namespace SnifferPageSupport {

Fed makePacket(const QString& application, quint8 protocol, PacketDirection direction, quint16 sourcePort,
               const QByteArray& payload, quint16 transportChecksum) {
    // Ethernet; IPv4 with ID 4660, don't fragment, TTL 64.
    QByteArray frame = QByteArray::fromHex("0200000000010a1b2c3d4e5f0800450000001234400040"
                                           "00b1e6c0a8010a0a000001");
    frame[23] = char(protocol);
    QByteArray transport;
    QDataStream out(&transport, QIODevice::WriteOnly); // network byte order
    if (protocol == 6)
        out << sourcePort << quint16(443) << quint32(3735928559u) << quint32(16909060) << quint16(0x5000)
            << quint16(29200) << transportChecksum << quint16(0);
    else if (protocol == 17)
        out << sourcePort << quint16(443) << quint16(8 + payload.size()) << transportChecksum;
    transport += payload;
    frame[16] = char((20 + transport.size()) >> 8);
    frame[17] = char(20 + transport.size());
    return {application, frame + transport, direction};
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SnifferPageFixture::prepareMachine(bool ownNetwork) {
    QVERIFY(ownNetwork || ::geteuid() != 0);
    qunsetenv("SUDO_USER");
    registerSharedMetaTypes();
    machine = std::make_unique<StandInMachine>();
    QVERIFY(machine->isValid());
    // An interface that is down, and stays down, beside loopback.
    if (::geteuid() == 0)
        QCOMPARE(
            QProcess::execute("ip", {"link", "add", "tsmdown0", "type", "veth", "peer", "name", "tsmdown1"}),
            0);
}

void SnifferPageFixture::init() {
    window = std::make_unique<MainWindow>();
    window->resize(1200, 800);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    ui = window->form();
    ui->tabWidgetMainTabs->setCurrentIndex(5);
    ui->tabWidgetNetworkingTabs->setCurrentWidget(ui->tabWidgetNetworkingPacketSniffer);
    tab = window->findChild<TabNetworkingPacketSniffer*>();
    QVERIFY(tab);
}

void SnifferPageFixture::cleanup() {
    window.reset();
}

QTreeWidget* SnifferPageFixture::tree() const {
    return ui->treeWidgetNetworkingPacketSnifferPacketListTree;
}

QTreeWidgetItem* SnifferPageFixture::group(const QString& application) const {
    for (int i = 0; i < tree()->topLevelItemCount(); ++i)
        if (tree()->topLevelItem(i)->data(0, Qt::UserRole).toString() == application)
            return tree()->topLevelItem(i);
    return nullptr;
}

QVector<CapturedPacket> SnifferPageFixture::keep(const QList<Fed>& packets) {
    QVector<CapturedPacket> kept;
    for (const Fed& fed : packets) {
        CapturedPacket packet;
        if (!tab->captureWorker()->keepFrame(fed.time, reinterpret_cast<const uchar*>(fed.frame.constData()),
                                             quint32(fed.frame.size()), packet))
            continue;
        packet.application = fed.application;
        packet.direction = fed.direction;
        kept << packet;
    }
    return kept;
}

bool SnifferPageFixture::feed(const QList<Fed>& packets) {
    const auto seen = [this] { return tab->packetCount() + int(tab->captureCounts().notKept); };
    const int expected = seen() + packets.size();
    tab->captureWorker()->queuePackets(keep(packets));
    return TestSupport::waitFor([&] { return seen() >= expected; });
}

} // namespace SnifferPageSupport
