#pragma once

#include "capturedpacket.h"
#include "mainwindow.h"
#include "standinmachine.h"
#include "tabnetworkingpacketsniffer.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <memory>

// The Packet Sniffer page in a real main window, fed through the capture's
// own queue, for the programs that test it.
namespace SnifferPageSupport {

// A packet as the capture keeps it, before the page has it.
struct Fed {
    QString application;
    QByteArray frame;
    PacketDirection direction;
    qint64 time = QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, 123), Qt::UTC).toMSecsSinceEpoch() * 1000;
};

// An IPv4 frame from 192.168.1.10 to 10.0.0.1 (port 443 for TCP and UDP)
// with fixed header fields; the payload follows the TCP or UDP header.
Fed makePacket(const QString& application, quint8 protocol, PacketDirection direction,
               quint16 sourcePort = 40000, const QByteArray& payload = QByteArray("\x41\x0a\x7f\xff", 4),
               quint16 transportChecksum = 0x00ff);

QByteArray readAll(const QString& path);

// Qt Test runs its init and cleanup around every test function of a test
// class derived from it.
class SnifferPageFixture : public QObject {
    Q_OBJECT

private slots:
    // The main window with the page shown, and gone.
    void init();
    void cleanup();

protected:
    // For initTestCase: fails unless ownNetwork (TestSupport::isolateNetwork
    // before main) or not root; makes an interface that is down, and stays
    // down, beside loopback.
    void prepareMachine(bool ownNetwork);

    QTreeWidget* tree() const;
    QTreeWidgetItem* group(const QString& application) const;
    // Each frame kept (or counted past the limits) as the capture keeps it.
    QVector<CapturedPacket> keep(const QList<Fed>& packets);
    // Queued for the page's next batch, which this waits for.
    bool feed(const QList<Fed>& packets);

    // Accounts, logs, settings and tools of the test's own for the window.
    std::unique_ptr<StandInMachine> machine;
    std::unique_ptr<MainWindow> window;
    TabNetworkingPacketSniffer* tab = nullptr;
    Ui::MainWindow* ui = nullptr;
};

} // namespace SnifferPageSupport
