#include "captureformats.h"
#include "customplaintextedit.h"
#include "custompushbutton.h"
#include "displaytext.h"
#include "mainwindow.h"
#include "packetflow.h"
#include "startup.h"
#include "tabnetworkingpacketsniffer.h"
#include "testsupport.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QUdpSocket>
#include <QtTest>

#include <ctime>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

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
               quint16 transportChecksum = 0x00ff) {
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

// Runs action on the next modal window of the class that opens.
void onNextModal(const char* className, std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, action, className] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && QLatin1String(modal->metaObject()->className()) == QLatin1String(className)) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start(20);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fixed packets for the golden files: TCP, UDP from a hostile process name, ICMP.
QList<Fed> goldenPackets() {
    const Fed tcp = makePacket("sshd", 6, PacketDirection::Incoming, 22, QByteArray("\x00\xff\x41", 3));
    Fed udp = makePacket("evil\",name\nx", 17, PacketDirection::Outgoing, 5353, "hi", 0xABCD);
    udp.time += 877000;
    Fed icmp = makePacket("Unknown", 1, PacketDirection::Broadcast, 0, QByteArray());
    icmp.time = QDateTime(QDate(2024, 3, 31), QTime(2, 30, 0, 999), Qt::UTC).toMSecsSinceEpoch() * 1000;
    return {tcp, udp, icmp};
}

} // namespace

// The Packet Sniffer page in a real main window under the X server, fed
// through the capture's own queue, and one live loopback capture started as
// a user would.
class TestPacketSnifferTab : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    TabNetworkingPacketSniffer* tab = nullptr;
    Ui::MainWindow* ui = nullptr;

    QTreeWidget* tree() const { return ui->treeWidgetNetworkingPacketSnifferPacketListTree; }
    QTreeWidgetItem* group(const QString& application) const {
        for (int i = 0; i < tree()->topLevelItemCount(); ++i)
            if (tree()->topLevelItem(i)->data(0, Qt::UserRole).toString() == application)
                return tree()->topLevelItem(i);
        return nullptr;
    }
    // Each frame kept (or counted past the limits) as the capture keeps it.
    QVector<CapturedPacket> keep(const QList<Fed>& packets) {
        QVector<CapturedPacket> kept;
        for (const Fed& fed : packets) {
            CapturedPacket packet;
            if (!tab->captureWorker()->keepFrame(fed.time,
                                                 reinterpret_cast<const uchar*>(fed.frame.constData()),
                                                 quint32(fed.frame.size()), packet))
                continue;
            packet.application = fed.application;
            packet.direction = fed.direction;
            kept << packet;
        }
        return kept;
    }
    // Queued for the page's next batch, which this waits for.
    bool feed(const QList<Fed>& packets) {
        const auto seen = [this] { return tab->packetCount() + int(tab->captureCounts().notKept); };
        const int expected = seen() + packets.size();
        tab->captureWorker()->queuePackets(keep(packets));
        return TestSupport::waitFor([&] { return seen() >= expected; });
    }

private slots:
    void initTestCase() {
        QVERIFY(ownNetwork || ::geteuid() != 0);
        qunsetenv("SUDO_USER");
        registerSharedMetaTypes();
        // An interface that is down, and stays down, beside loopback.
        if (::geteuid() == 0)
            QCOMPARE(QProcess::execute(
                         "ip", {"link", "add", "tsmdown0", "type", "veth", "peer", "name", "tsmdown1"}),
                     0);
    }
    void init() {
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
    void cleanup() { window.reset(); }

    void groupsCountFilterAndClear() {
        QVERIFY(feed({makePacket("sshd", 17, PacketDirection::Incoming),
                      makePacket("sshd", 6, PacketDirection::Outgoing),
                      makePacket("sshd", 17, PacketDirection::Outgoing),
                      makePacket("sshd", 6, PacketDirection::Incoming),
                      makePacket("sshd", 6, PacketDirection::Outgoing),
                      makePacket("Unknown", 1, PacketDirection::Broadcast)}));
        tab->updateGroupLabels();
        QCOMPARE(group("sshd")->text(0), QString("Sshd (5)"));
        // Rows are coloured by direction in every column.
        QCOMPARE(group("sshd")->child(0)->background(0).color(), statusColorGreen());
        QCOMPARE(group("sshd")->child(1)->background(4).color(), statusColorRed());
        QCOMPARE(group("Unknown")->child(0)->background(8).color(), statusColorBlue());

        ui->lineEditNetworkingPacketSnifferFilter->setText("udp");
        QCOMPARE(group("sshd")->text(0), QString("Sshd (2/5)"));
        QCOMPARE(group("Unknown")->text(0), QString("Unknown (0/1)"));
        QVERIFY(group("sshd")->child(1)->isHidden());
        // Rows added while filtering are filtered as they come.
        QVERIFY(feed({makePacket("sshd", 17, PacketDirection::Incoming),
                      makePacket("sshd", 6, PacketDirection::Incoming)}));
        tab->updateGroupLabels();
        QCOMPARE(group("sshd")->text(0), QString("Sshd (3/7)"));
        QVERIFY(!group("sshd")->child(5)->isHidden());
        QVERIFY(group("sshd")->child(6)->isHidden());
        // Any column, ignoring case.
        ui->lineEditNetworkingPacketSnifferFilter->setText("INCOMING");
        QCOMPARE(group("sshd")->text(0), QString("Sshd (4/7)"));
        ui->lineEditNetworkingPacketSnifferFilter->clear();
        QCOMPARE(group("sshd")->text(0), QString("Sshd (7)"));
        QVERIFY(!group("sshd")->child(1)->isHidden());

        // A batch taken just before Clear is not shown after it.
        tab->captureWorker()->queuePackets(keep({makePacket("late", 6, PacketDirection::Incoming)}));
        tab->captureWorker()->fetchPackets();
        ui->pushButtonNetworkingPacketSnifferClear->click();
        QCoreApplication::processEvents();
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QVERIFY(!ui->pushButtonNetworkingPacketSnifferClear->isEnabled());
        QVERIFY(!ui->pushButtonNetworkingPacketSnifferSave->isEnabled());
        QVERIFY(feed({makePacket("sshd", 6, PacketDirection::Incoming)}));
        tab->updateGroupLabels();
        QCOMPARE(group("sshd")->text(0), QString("Sshd (1)"));
    }

    void newRowsFollowTheChosenColumn() {
        QVERIFY(feed({makePacket("a", 6, PacketDirection::Incoming, 3000),
                      makePacket("a", 6, PacketDirection::Incoming, 1000)}));
        QCOMPARE(group("a")->child(0)->text(3), QString("3000")); // arrival (time) order
        tree()->header()->sectionClicked(3);
        QCOMPARE(group("a")->child(0)->text(3), QString("1000"));
        QVERIFY(feed({makePacket("a", 6, PacketDirection::Incoming, 2000),
                      makePacket("a", 6, PacketDirection::Incoming, 4000)}));
        QStringList ports;
        for (int i = 0; i < group("a")->childCount(); ++i)
            ports << group("a")->child(i)->text(3);
        QCOMPARE(ports, QStringList({"1000", "2000", "3000", "4000"}));
    }

    // Rows a flow's first packets got as "Unknown" move to the group of the
    // name it got later: in time order among that group's rows, with the
    // direction and the filter worked out again, the selection kept, and an
    // emptied group gone.
    void unknownRowsMoveToTheirName() {
        Fed first = makePacket("Unknown", 6, PacketDirection::Outgoing, 40000);
        Fed other = makePacket("Unknown", 6, PacketDirection::Outgoing, 40001);
        Fed named = makePacket("curl", 6, PacketDirection::Outgoing, 50000);
        Fed second = makePacket("Unknown", 6, PacketDirection::Outgoing, 40000);
        named.time += 5000;
        second.time += 10000;
        QVERIFY(feed({first, other, named, second}));
        QCOMPARE(group("Unknown")->childCount(), 3);
        tree()->setCurrentItem(group("Unknown")->child(2)); // the second packet of port 40000
        ui->lineEditNetworkingPacketSnifferFilter->setText("outgoing");

        auto flowOf = [](const Fed& fed) {
            PacketDecoder::FrameSummary summary;
            PacketDecoder::summarizeFrame(reinterpret_cast<const uchar*>(fed.frame.constData()),
                                          size_t(fed.frame.size()), summary);
            return PacketFlow::of(summary);
        };
        // Named after the socket of 10.0.0.1:443: what it sent is Outgoing,
        // so what these rows carry from 192.168.1.10 is Incoming.
        const quint64 server = PacketFlow::endpoint(0x0A000001, 443);
        tab->captureWorker()->queueRenames({{flowOf(first), "curl", first.time, true, server}});
        QVERIFY(TestSupport::waitFor([&] { return group("curl")->childCount() == 3; }));
        tab->updateGroupLabels();
        QStringList ports, directions;
        for (int i = 0; i < 3; ++i) {
            ports << group("curl")->child(i)->text(3);
            directions << group("curl")->child(i)->text(8);
        }
        QCOMPARE(ports, QStringList({"40000", "50000", "40000"}));
        QCOMPARE(directions, QStringList({"Incoming", "Outgoing", "Incoming"}));
        QCOMPARE(group("curl")->child(0)->background(0).color(), statusColorGreen());
        QCOMPARE(group("curl")->text(0), QString("Curl (1/3)"));
        QVERIFY(group("curl")->child(0)->isHidden() && !group("curl")->child(1)->isHidden());
        QCOMPARE(group("Unknown")->text(0), QString("Unknown (1/1)"));
        QCOMPARE(tree()->currentItem(), group("curl")->child(2));
        QCOMPARE(tab->packetCount(), 4);

        // A row the filter hid shows once its new direction matches.
        ui->lineEditNetworkingPacketSnifferFilter->setText("incoming");
        QVERIFY(group("Unknown")->child(0)->isHidden());
        tab->captureWorker()->queueRenames({{flowOf(other), "wget", other.time, true, server}});
        QVERIFY(TestSupport::waitFor([&] { return group("wget"); }));
        QVERIFY(!group("Unknown"));
        QCOMPARE(group("wget")->child(0)->text(8), QString("Incoming"));
        QVERIFY(!group("wget")->child(0)->isHidden());
        QCOMPARE(tree()->topLevelItemCount(), 2);
    }

    void packetLimitKeepsCountVisible() {
        tab->setPacketLimit(10);
        QList<Fed> packets;
        for (int i = 0; i < 15; ++i)
            packets << makePacket("a", 6, PacketDirection::Incoming);
        QVERIFY(feed(packets));
        QCOMPARE(group("a")->childCount(), 10);
        QVERIFY2(ui->groupBox_1323->title().contains("limit of 10 packets reached, 5 not kept"),
                 qPrintable(ui->groupBox_1323->title()));
        ui->pushButtonNetworkingPacketSnifferClear->click();
        QCOMPARE(ui->groupBox_1323->title(), QString("Packet List"));
    }

    void detailsPaneShowsTheSelectedPacket() {
        QVERIFY(feed(
            {makePacket("a", 6, PacketDirection::Incoming), makePacket("a", 17, PacketDirection::Incoming)}));
        QSplitter* splitter = ui->splitterPacketListAndDetails;
        splitter->setSizes({splitter->height(), 0});
        tree()->setCurrentItem(group("a")->child(0));
        QVERIFY(splitter->sizes().value(1) > 0); // a collapsed pane opens
        QCOMPARE(ui->labelNetworkingPacketSnifferEtherType->text(), QString("0X0800"));
        QCOMPARE(ui->labelNetworkingPacketSnifferIPLayerChecksum->text(), QString("0XB1E6"));
        QCOMPARE(ui->labelNetworkingPacketSnifferSequenceNumber->text(), QString("3735928559"));
        // The IP payload: the TCP header, then the data, 16 bytes a row.
        QCOMPARE(ui->plainTextEditNetworkingPacketSnifferHEX->toPlainText(),
                 QString("9C 40 01 BB DE AD BE EF 01 02 03 04 50 00 72 10\n00 FF 00 00 41 0A 7F FF"));
        QCOMPARE(ui->plainTextEditNetworkingPacketSnifferASCII->toPlainText(),
                 QString(".@..........P.r.\n....A..."));
        // A UDP packet shows none of the TCP packet's figures.
        tree()->setCurrentItem(group("a")->child(1));
        QCOMPARE(ui->labelNetworkingPacketSnifferSequenceNumber->text(), QString("0"));

        // Clear leaves nothing of the packet on screen.
        ui->pushButtonNetworkingPacketSnifferClear->click();
        QCOMPARE(ui->labelNetworkingPacketSnifferEtherType->text(), QString("N/A"));
        QCOMPARE(ui->labelNetworkingPacketSnifferTCPUDPLayerChecksum->text(), QString("N/A"));
        QVERIFY(ui->plainTextEditNetworkingPacketSnifferHEX->toPlainText().isEmpty());
        QVERIFY(ui->plainTextEditNetworkingPacketSnifferASCII->toPlainText().isEmpty());
    }

    // A process name is chosen by whoever runs the process: bidirectional
    // controls in it cannot reorder the group label.
    void applicationNamesAreShownDisplaySafe() {
        const QString spoof = QString::fromUtf8("gnp\u202E.exe");
        tab->findChild<QTimer*>("labelTimer")->stop(); // the group's first label is seen
        QVERIFY(feed({makePacket(spoof, 6, PacketDirection::Incoming)}));
        QCOMPARE(group(spoof)->text(0), QString("gnp<U+202E>.exe (1)"));
        tab->updateGroupLabels();
        QCOMPARE(group(spoof)->text(0), QString("Gnp<U+202E>.exe (1)"));

        // Nor a saved file's, in an editor or a spreadsheet; a cell that
        // starts a formula still does not.
        QVERIFY(feed({makePacket(QString::fromUtf8("=\u2066x\u200F\u2069"), 6, PacketDirection::Incoming)}));
        QTemporaryDir dir;
        QString error;
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Csv, dir.filePath("x.csv"), false,
                                  &error));
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Text, dir.filePath("x.txt"), false,
                                  &error));
        const QString csv = QString::fromUtf8(readAll(dir.filePath("x.csv")));
        const QString text = QString::fromUtf8(readAll(dir.filePath("x.txt")));
        QVERIFY2(csv.contains("\n\"Gnp<U+202E>.exe\",") && csv.contains("\n\"'=<U+2066>x<U+200F><U+2069>\","),
                 qPrintable(csv));
        QVERIFY(text.contains("Application: Gnp<U+202E>.exe\n"));
        QVERIFY(!hasBidiControl(csv) && !hasBidiControl(text));
    }

    void panesStayInStep() {
        // Not TCP or UDP: the payload is the data alone.
        QVERIFY(feed({makePacket("a", 1, PacketDirection::Incoming, 0, QByteArray("ABCDEFG"))}));
        tree()->setCurrentItem(group("a")->child(0));
        CustomPlainTextEdit* hex = ui->plainTextEditNetworkingPacketSnifferHEX;
        CustomPlainTextEdit* ascii = ui->plainTextEditNetworkingPacketSnifferASCII;

        emit hex->hexClicked(6); // the third byte
        QCOMPARE(ascii->textCursor().selectedText(), QString("C"));

        // An ASCII selection over bytes 2 to 4 takes in the space after byte 4.
        QTextCursor cursor = ascii->textCursor();
        cursor.setPosition(2);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        ascii->setTextCursor(cursor);
        QCOMPARE(hex->textCursor().selectionStart(), 6);
        QCOMPARE(hex->textCursor().selectionEnd(), 15);
        // A plain cursor in the ASCII pane highlights its byte in both panes.
        cursor.setPosition(3);
        ascii->setTextCursor(cursor);
        QCOMPARE(ascii->extraSelections().size(), 1);
        QCOMPARE(ascii->extraSelections().first().cursor.selectedText(), QString("D"));
        QCOMPARE(hex->extraSelections().first().cursor.selectedText(), QString("44"));
    }

    // Each ASCII row shows the bytes of the HEX row beside it, whatever
    // punctuation (where text may wrap) the payload holds, in narrow panes.
    void asciiRowsAreTheHexRows() {
        QByteArray payload;
        for (int i = 0; i < 100; ++i)
            payload += "a-b/c?d!e,f;g:h)i(j]k[ %"[i % 24];
        window->resize(700, 800);
        QVERIFY(feed({makePacket("a", 1, PacketDirection::Incoming, 0, payload)}));
        tree()->setCurrentItem(group("a")->child(0));
        QCoreApplication::processEvents();
        CustomPlainTextEdit* hex = ui->plainTextEditNetworkingPacketSnifferHEX;
        CustomPlainTextEdit* ascii = ui->plainTextEditNetworkingPacketSnifferASCII;
        auto rows = [](QPlainTextEdit* pane) {
            QStringList rows;
            for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
                pane->document()->documentLayout()->blockBoundingRect(block); // laid out now
                for (int i = 0; i < block.layout()->lineCount(); ++i)
                    rows << block.text().mid(block.layout()->lineAt(i).textStart(),
                                             block.layout()->lineAt(i).textLength());
            }
            return rows;
        };
        const QStringList hexRows = rows(hex), asciiRows = rows(ascii);
        QCOMPARE(asciiRows.size(), hexRows.size());
        QVERIFY(hexRows.size() > 2);
        for (int i = 0; i < hexRows.size(); ++i)
            QCOMPARE(asciiRows.at(i), QString::fromLatin1(QByteArray::fromHex(hexRows.at(i).toLatin1())));

        // The panes follow each other past the row breaks.
        emit hex->hexClicked(3 * 40);
        QCOMPARE(ascii->textCursor().selectedText(), QString(QChar(payload.at(40))));
        QTextCursor cursor = ascii->textCursor();
        cursor.setPosition(asciiRows.at(0).size() + 1 + 2); // byte 18
        cursor.setPosition(asciiRows.at(0).size() + 1 + 5, QTextCursor::KeepAnchor);
        ascii->setTextCursor(cursor);
        QCOMPARE(hex->textCursor().selectionStart(), 3 * 18);
        QCOMPARE(hex->textCursor().selectionEnd(), 3 * 21);
    }

    void recordWithoutInterfaceAndErrors() {
        auto* buttons = tab->findChild<QButtonGroup*>();
        QVERIFY(buttons);
        buttons->setExclusive(false);
        for (QAbstractButton* button : buttons->buttons())
            button->setChecked(false);
        QTest::ignoreMessage(QtWarningMsg, "No interface selected.");
        ui->pushButtonNetworkingPacketSnifferRecordStop->click();
        QCOMPARE(ui->pushButtonNetworkingPacketSnifferRecordStop->text(), QString("Record"));
        QVERIFY(!tab->isCapturing());

        // A capture error returns the button to Record and shows the text.
        CustomPushButton* missing =
            new CustomPushButton(QIcon(), "Network", "gone", "N/A", "tsmnosuchdev0",
                                 ui->groupBoxNetworkingPacketSnifferNetworkInterfaces);
        buttons->addButton(missing);
        missing->setChecked(true);
        ui->pushButtonNetworkingPacketSnifferRecordStop->click();
        QMessageBox* box = nullptr;
        QVERIFY(TestSupport::waitFor(
            [&] { return (box = tab->findChild<QMessageBox*>("messageBoxCaptureError")); }));
        QVERIFY(box->text().startsWith("Couldn't open device tsmnosuchdev0: "));
        QCOMPARE(ui->pushButtonNetworkingPacketSnifferRecordStop->text(), QString("Record"));
        QVERIFY(missing->isEnabled());
        box->close();
    }

    void liveLoopbackCaptureFromThePage() {
        if (::geteuid() != 0)
            QSKIP("live captures need root");
        CustomPushButton* loopback = nullptr;
        for (CustomPushButton* button :
             ui->groupBoxNetworkingPacketSnifferNetworkInterfaces->findChildren<CustomPushButton*>())
            if (button->interfaceName() == "lo")
                loopback = button;
        QVERIFY(loopback);
        QTest::mouseClick(loopback, Qt::LeftButton);
        // A connected socket, made before the capture reads the socket tables,
        // is named after this program.
        QUdpSocket receiver, sender;
        QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
        sender.connectToHost(QHostAddress::LocalHost, receiver.localPort());
        QVERIFY(sender.waitForConnected(1000));
        QTest::mouseClick(ui->pushButtonNetworkingPacketSnifferRecordStop, Qt::LeftButton);
        QVERIFY(TestSupport::waitFor([&] { return tab->captureWorker()->isCapturing(); }));
        for (int i = 0; i < 20; ++i)
            sender.write(QByteArray("Tessmar loopback datagram ") + QByteArray::number(i));
        const QString port = QString::number(receiver.localPort());
        auto seen = [&] {
            int count = 0;
            for (int g = 0; g < tree()->topLevelItemCount(); ++g)
                for (int r = 0; r < tree()->topLevelItem(g)->childCount(); ++r)
                    count += tree()->topLevelItem(g)->child(r)->text(5) == port;
            return count;
        };
        QVERIFY(TestSupport::waitFor([&] { return seen() >= 20; }));
        tree()->expandAll();
        tree()->setCurrentItem(tree()->topLevelItem(0)->child(0));
        const QString screenshots = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
        if (!screenshots.isEmpty())
            QVERIFY(window->grab().save(screenshots + "/packet-sniffer-live.png"));

        QTest::mouseClick(ui->pushButtonNetworkingPacketSnifferRecordStop, Qt::LeftButton);
        QCOMPARE(ui->pushButtonNetworkingPacketSnifferRecordStop->text(), QString("Record"));
        QVERIFY(TestSupport::waitFor([&] { return !tab->captureWorker()->isCapturing(); }));

        // What was captured is saved as pcap and read back by tcpdump.
        QTemporaryDir dir;
        QString error;
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Pcap, dir.filePath("live.pcap"),
                                  false, &error));
        QProcess tcpdump;
        tcpdump.start("tcpdump", {"-nn", "-r", dir.filePath("live.pcap"), "udp", "port", port});
        QVERIFY(tcpdump.waitForFinished(10000));
        QCOMPARE(tcpdump.exitCode(), 0);
        QCOMPARE(tcpdump.readAllStandardOutput().count('\n'), 20);

        // Quitting while capturing ends and joins the capture thread.
        ui->pushButtonNetworkingPacketSnifferRecordStop->click();
        QVERIFY(TestSupport::waitFor([&] { return tab->captureWorker()->isCapturing(); }));
        window.reset();
    }

    // Record and Stop hand every interface button back as it was: one that
    // is down stays disabled.
    void stopLeavesDownInterfacesDisabled() {
        if (::geteuid() != 0)
            QSKIP("making an interface needs root");
        CustomPushButton *loopback = nullptr, *down = nullptr;
        for (CustomPushButton* button :
             ui->groupBoxNetworkingPacketSnifferNetworkInterfaces->findChildren<CustomPushButton*>()) {
            if (button->interfaceName() == "lo")
                loopback = button;
            if (button->interfaceName() == "tsmdown0")
                down = button;
        }
        QVERIFY(loopback && down);
        QVERIFY(!down->isEnabled());
        loopback->click();
        QSignalSpy ended(tab->captureWorker(), &WorkerNetworkingPacketSniffer::captureEnded);
        QPushButton* recordStop = ui->pushButtonNetworkingPacketSnifferRecordStop;
        recordStop->click();
        QVERIFY(!loopback->isEnabled());
        recordStop->click();
        QVERIFY(loopback->isEnabled());
        QVERIFY(!down->isEnabled());
        QVERIFY(ended.count() == 1 || ended.wait(5000)); // the capture's own end changes nothing
        QCoreApplication::processEvents();
        QVERIFY(!down->isEnabled());
    }

    // Stop and Record again at once: the first capture's late stop is not
    // taken for the end of the second.
    void staleStopAfterNewRecordIsIgnored() {
        if (::geteuid() != 0)
            QSKIP("live captures need root");
        for (CustomPushButton* button :
             ui->groupBoxNetworkingPacketSnifferNetworkInterfaces->findChildren<CustomPushButton*>())
            if (button->interfaceName() == "lo")
                button->click();
        WorkerNetworkingPacketSniffer* worker = tab->captureWorker();
        QPushButton* recordStop = ui->pushButtonNetworkingPacketSnifferRecordStop;
        recordStop->click();
        QVERIFY(TestSupport::waitFor([&] { return worker->isCapturing(); }));
        QSignalSpy stopped(worker, &WorkerNetworkingPacketSniffer::captureEnded);
        recordStop->click(); // Stop
        recordStop->click(); // Record
        QVERIFY(TestSupport::waitFor([&] { return stopped.count() == 1 && worker->isCapturing(); }));
        QCoreApplication::processEvents(); // the stop reaches the page
        QCOMPARE(recordStop->text(), QString("Stop"));
        QVERIFY(tab->isCapturing());
        recordStop->click();
        QVERIFY(TestSupport::waitFor([&] { return stopped.count() == 2; }));
        QCOMPARE(recordStop->text(), QString("Record"));
    }

    // Each step records what it saw and always closes its window, so a
    // wrong answer fails the test instead of leaving a modal loop open.
    void saveThroughTheDialogs() {
        QList<Fed> packets;
        for (int i = 0; i < 40; ++i)
            packets << makePacket("a", 17, PacketDirection::Incoming, 1, QByteArray(4000, 'x'));
        QVERIFY(feed(packets));
        // Cancel resumes the paused capture; without a filter there is nothing to narrow.
        WorkerNetworkingPacketSniffer* worker = tab->captureWorker();
        bool pausedMeanwhile = false;
        bool filteredOffered = true;
        onNextModal("QDialog", [&](QWidget* dialog) {
            pausedMeanwhile = worker->isPaused();
            filteredOffered = dialog->findChild<QCheckBox*>()->isEnabled();
            static_cast<QDialog*>(dialog)->reject();
        });
        ui->pushButtonNetworkingPacketSnifferSave->click();
        QVERIFY(pausedMeanwhile && !filteredOffered && !worker->isPaused());

        // Onto a full disk: "Save Error" with the reason, and nothing left behind.
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        QTemporaryDir dir;
        QCOMPARE(::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=64k"), 0);
        auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(dir.path()).constData()); });
        ui->lineEditNetworkingPacketSnifferFilter->setText("udp");
        QString messageTitle, messageText;
        onNextModal("QDialog", [&](QWidget* dialog) {
            auto* onlyFiltered = dialog->findChild<QCheckBox*>();
            filteredOffered = onlyFiltered->isEnabled() && onlyFiltered->isChecked();
            dialog->findChildren<QRadioButton*>().at(1)->setChecked(true); // CSV
            onNextModal("QFileDialog", [&](QWidget* fileDialog) {
                auto* files = static_cast<QFileDialog*>(fileDialog);
                files->setDirectory(dir.path());
                files->findChild<QLineEdit*>("fileNameEdit")->setText("capture");
                onNextModal("QMessageBox", [&](QWidget* box) {
                    messageTitle = box->windowTitle();
                    messageText = static_cast<QMessageBox*>(box)->text();
                    static_cast<QMessageBox*>(box)->accept();
                });
                static_cast<QDialog*>(files)->accept();
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        ui->pushButtonNetworkingPacketSnifferSave->click();
        QVERIFY(filteredOffered);
        QCOMPARE(messageTitle, QString("Save Error"));
        QVERIFY2(messageText.contains("capture.csv: ") && messageText.contains("No space left"),
                 qPrintable(messageText));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }

    void savedFilesMatchTheGoldenFiles_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("golden");
        QTest::newRow("text") << int(TabNetworkingPacketSniffer::SaveFormat::Text) << "sniffer/capture.txt";
        QTest::newRow("CSV") << int(TabNetworkingPacketSniffer::SaveFormat::Csv) << "sniffer/capture.csv";
    }
    void savedFilesMatchTheGoldenFiles() {
        QFETCH(int, format);
        QFETCH(QString, golden);
        QVERIFY(feed(goldenPackets()));
        tab->updateGroupLabels();
        QTemporaryDir dir;
        QString error;
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat(format), dir.filePath("out"), false,
                                  &error));
        QCOMPARE(QString::fromUtf8(readAll(dir.filePath("out"))),
                 QString::fromUtf8(readAll(TestSupport::testDataPath(golden))));
        // Only the rows the filter shows; the group line stays.
        ui->lineEditNetworkingPacketSnifferFilter->setText("udp");
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat(format), dir.filePath("filtered"),
                                  true, &error));
        const QString filtered = QString::fromUtf8(readAll(dir.filePath("filtered")));
        QVERIFY(filtered.contains("Evil"));
        QVERIFY(!filtered.contains("DEADBEEF") && !filtered.contains("3735928559"));
    }

    void pcapIsWhatLibpcapWritesInAnyTimeZone() {
        QVERIFY(feed(goldenPackets()));
        QTemporaryDir dir;
        QString error;
        const QByteArray zone = qgetenv("TZ");
        auto restoreZone = qScopeGuard([&] {
            zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
            tzset();
        });
        qputenv("TZ", "UTC");
        tzset();
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Pcap, dir.filePath("utc.pcap"),
                                  false, &error));
        qputenv("TZ", "Europe/Berlin"); // the last packet's wall time falls in its spring gap
        tzset();
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Pcap, dir.filePath("berlin.pcap"),
                                  false, &error));
        const QByteArray ours = readAll(dir.filePath("utc.pcap"));
        QCOMPARE(readAll(dir.filePath("berlin.pcap")), ours);

        // tcpdump reads it and, through libpcap's dumper, writes back the very same bytes.
        QProcess tcpdump;
        tcpdump.start("tcpdump", {"-r", dir.filePath("utc.pcap"), "-w", dir.filePath("copy.pcap")});
        QVERIFY(tcpdump.waitForFinished(10000));
        QCOMPARE(tcpdump.exitCode(), 0);
        QCOMPARE(readAll(dir.filePath("copy.pcap")), ours);
    }

    void savedFileBelongsToTheInvokingUser() {
        if (::geteuid() != 0)
            QSKIP("handing files to another user needs root");
        QVERIFY(feed(goldenPackets()));
        const QString user = TestSupport::uniqueName("tsmsave").left(30);
        // Primary group "users": no group is named like the account.
        QCOMPARE(QProcess::execute("useradd", {"-M", "-N", "-g", "users", user}), 0);
        auto removeUser = qScopeGuard([&] {
            qunsetenv("SUDO_USER");
            QProcess::execute("userdel", {user});
        });
        qputenv("SUDO_USER", user.toUtf8());

        QTemporaryDir dir;
        QString error;
        QVERIFY2(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Text, dir.filePath("capture.txt"),
                                   false, &error),
                 qPrintable(error));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(dir.filePath("capture.txt")).constData(), &info), 0);
        const passwd* account = ::getpwnam(user.toUtf8().constData());
        QVERIFY(account);
        QCOMPARE(info.st_uid, account->pw_uid);
        QCOMPARE(info.st_gid, account->pw_gid);
        QCOMPARE(int(info.st_mode & 0777), 0644);
    }

    // Cells a spreadsheet would run as formulas are saved as text.
    void csvCellsNeverStartAFormula_data() {
        QTest::addColumn<QString>("application");
        QTest::newRow("command") << "=cmd|' /C calc'!A0";
        QTest::newRow("plus") << "+1+cmd|' /C calc'!A0";
        QTest::newRow("minus") << "-2+3";
        QTest::newRow("at") << "@SUM(1+1)*cmd|' /C calc'!A0";
        QTest::newRow("tab") << "\t=1+1";
        QTest::newRow("carriage return") << "\r=1+1";
    }
    void csvCellsNeverStartAFormula() {
        QFETCH(QString, application);
        QVERIFY(feed({makePacket(application, 17, PacketDirection::Outgoing)}));
        QTemporaryDir dir;
        QString error;
        QVERIFY(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Csv, dir.filePath("x.csv"), false,
                                  &error));
        const QString saved = QString::fromUtf8(readAll(dir.filePath("x.csv")));
        const QString row = saved.section('\n', 1);
        QVERIFY2(row.startsWith("\"'" + application + "\","), qPrintable(row));
    }

    void suffixRules() {
        auto csv = [](const char* typed) { return TabNetworkingPacketSniffer::withSuffix(typed, ".csv"); };
        QCOMPARE(csv("/tmp/capture"), QString("/tmp/capture.csv"));
        QCOMPARE(csv("/tmp/capture.CSV"), QString("/tmp/capture.CSV"));
        QCOMPARE(csv("/tmp/capture.txt"), QString("/tmp/capture.txt.csv"));
    }
};

QTEST_MAIN(TestPacketSnifferTab)
#include "tst_packetsniffertab.moc"
