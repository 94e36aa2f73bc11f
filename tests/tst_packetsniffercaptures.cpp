#include "custompushbutton.h"
#include "snifferpagefixture.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <ctime>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SnifferPageSupport;
using TestSupport::onNextModal;

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();

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

// Captures recorded and saved from the Packet Sniffer page in a real main
// window under the X server: Record and Stop, one live loopback capture
// started as a user would, and the saved files, fed through the capture's
// own queue.
class TestPacketSnifferCaptures : public SnifferPageFixture {
    Q_OBJECT

private slots:
    void initTestCase() { prepareMachine(ownNetwork); }

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
        TestSupport::removeStaleTestAccounts("tsmsave");
        const QString user = TestSupport::accountName("tsmsave");
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

        // Through a link the user made in their home it lands where the link
        // leads; through one another account planted, nowhere.
        const QString home = dir.filePath("home");
        QVERIFY(QDir().mkpath(home + "/captures"));
        QVERIFY(QFile::link(home + "/captures", home + "/mine"));
        QVERIFY(QFile::link(home + "/captures", dir.filePath("theirs")));
        for (const QString& path : {home, home + "/captures", home + "/mine"})
            QCOMPARE(::lchown(QFile::encodeName(path).constData(), account->pw_uid, account->pw_gid), 0);
        QCOMPARE(::lchown(QFile::encodeName(dir.filePath("theirs")).constData(), 65534, 65534), 0);
        QVERIFY2(tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Text, home + "/mine/via.txt",
                                   false, &error),
                 qPrintable(error));
        QVERIFY(QFileInfo::exists(home + "/captures/via.txt"));
        QVERIFY(!tab->writeCapture(TabNetworkingPacketSniffer::SaveFormat::Text,
                                   dir.filePath("theirs/planted.txt"), false, &error));
        QVERIFY2(error.contains("link another account controls"), qPrintable(error));
        QVERIFY(!QFileInfo::exists(home + "/captures/planted.txt"));
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

QTEST_MAIN(TestPacketSnifferCaptures)
#include "tst_packetsniffercaptures.moc"
