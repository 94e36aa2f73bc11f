#include "customplaintextedit.h"
#include "displaytext.h"
#include "packetflow.h"
#include "snifferpagefixture.h"
#include "testsupport.h"
#include "themecolors.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"

#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

using namespace SnifferPageSupport;

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

} // namespace

// The Packet Sniffer page in a real main window under the X server, fed
// through the capture's own queue: the packet tree, its groups and filter,
// and the panes of the selected packet.
class TestPacketSnifferTab : public SnifferPageFixture {
    Q_OBJECT

private slots:
    void initTestCase() { prepareMachine(ownNetwork); }

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
};

QTEST_MAIN(TestPacketSnifferTab)
#include "tst_packetsniffertab.moc"
