#include "custompushbutton.h"
#include "interfacetraffic.h"
#include "systempaths.h"
#include "tabnetworkingbandwidthmonitor.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workernetworkingbandwidthmonitor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <memory>
#include <qcustomplot.h>
#include <unistd.h>

namespace {

// Before main starts: this test, its threads and the programs it runs work in
// a network namespace of their own.
const bool ownNetwork = TestSupport::isolateNetwork();
// A sample of /proc/net/dev with one interface that has received rxBytes bytes.
InterfaceSample sample(const QString& name, quint64 rxBytes, double at) {
    const QString text = QString("Inter-|   Receive |  Transmit\n face |bytes packets|bytes packets\n"
                                 "%1: %2 0 0 0 0 0 0 0 100 1 0 0 0 0 0 0\n")
                             .arg(name)
                             .arg(rxBytes);
    return {traffic::parseProcNetDev(text), at, QString()};
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

bool run(const QString& program, const QStringList& arguments) {
    return QProcess::execute(program, arguments) == 0;
}
} // namespace

class TestBandwidth : public QObject {
    Q_OBJECT

    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> ui;

private slots:
    void initTestCase() {
        QVERIFY(ownNetwork || geteuid() != 0);
        window = std::make_unique<QMainWindow>();
        ui = std::make_unique<Ui::MainWindow>();
        ui->setupUi(window.get());
    }

    void formatters() {
        QCOMPARE(traffic::formatBytes(0), QString("0.00 B"));
        QCOMPARE(traffic::formatBytes(1536), QString("1.50 KB"));
        QCOMPARE(traffic::formatBytes(2048ull << 40), QString("2048.00 TB"));
        QCOMPARE(traffic::formatBits(999), QString("999.00 bps"));
        QCOMPARE(traffic::formatBits(1500000), QString("1.50 Mbps"));
        QCOMPARE(traffic::calculateScale(0.5), 1.0);
        QCOMPARE(traffic::calculateScale(501), 1000.0);
        QCOMPARE(traffic::calculateScale(7000000), 5000000.0);
        QCOMPARE(traffic::formatRate(1), QString("1 Kb/s"));
        QCOMPARE(traffic::formatRate(5000), QString("5 Mb/s"));
        QCOMPARE(traffic::formatRate(5000000), QString("5.00 Gb/s"));
        QCOMPARE(traffic::linkSpeedFromIw(
                     "\ttx bitrate: 866.7 MBit/s VHT-MCS 9\n\trx bitrate: 1.2 Gbit/s HE-MCS 11\n"),
                 1200);
        QCOMPARE(traffic::linkSpeedFromEthtool("\tSpeed: 1000Mb/s\n\tDuplex: Full\n"), 1000);
    }

    // Names with "-" and "." are interfaces like any other.
    void countersOfEveryInterfaceName() {
        QFile file(TestSupport::testDataPath("bandwidth/proc_net_dev.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QVector<traffic::InterfaceCounters> all =
            traffic::parseProcNetDev(QString::fromLatin1(file.readAll()));
        QStringList names;
        for (const auto& c : all)
            names << c.name;
        QCOMPARE(names, (QStringList{"lo", "eth0", "br-test", "wg-home", "eth0.100"}));
        QCOMPARE(all.at(1).rxBytes, 1298765432ull);
        QCOMPARE(all.at(1).txCollisions, 3ull);
    }

    // The first sample only stores counters; 1,000,000 bytes in 0.5 s is
    // 16 Mbps; a counter that goes backwards gives no spike.
    void ratesFromSamples() {
        QTemporaryDir emptyRoot; // no sample of the real counters gets in between
        SystemPaths::setRootPrefix(emptyRoot.path());
        auto restore = qScopeGuard([] { SystemPaths::setRootPrefix(QString()); });
        TabNetworkingBandwidthMonitor tab(ui.get(), window.get());
        const QString name = tab.checkedInterface();
        QVERIFY2(!name.isEmpty(), "no interface is up with an address");
        const double t0 = 2000000000.0;
        tab.onInterfaceCountersDataReady(sample(name, 5000000, t0));
        QCOMPARE(tab.historyOf(name).timestamps.size(), 0);
        QCOMPARE(ui->labelNetworkingMulticastTX->text(), QString("N/A"));

        tab.onInterfaceCountersDataReady(sample(name, 6000000, t0 + 0.5));
        QCOMPARE(ui->labelNetworkingThroughputRX->text(), QString("16.00 Mbps"));
        QCOMPARE(ui->labelNetworkingPeakSpeedRX->text(), QString("16.00 Mbps"));
        QCOMPARE(ui->labelNetworkingDownloadSpeed->text(), QString("50 Mb/s"));

        tab.onInterfaceCountersDataReady(sample(name, 300, t0 + 1.0)); // interface re-created
        QCOMPARE(tab.historyOf(name).rxRates.size(), 1);
        QCOMPARE(ui->labelNetworkingPeakSpeedRX->text(), QString("16.00 Mbps"));
        tab.onInterfaceCountersDataReady(sample(name, 300 + 125000, t0 + 1.5));
        QCOMPARE(ui->labelNetworkingThroughputRX->text(), QString("2.00 Mbps"));
        QCOMPARE(ui->labelNetworkingBytesRX->text(), QString("122.36 KB"));

        // Every sample past the cap drops the oldest.
        for (int i = 0; i < TabNetworkingBandwidthMonitor::kHistoryLength + 5; ++i)
            tab.onInterfaceCountersDataReady(sample(name, 200000 + i * 1000ull, t0 + 2 + i * 0.5));
        QCOMPARE(tab.historyOf(name).timestamps.size(), TabNetworkingBandwidthMonitor::kHistoryLength);
    }

    // A graph keeps drawing buffers of its size, megabytes a pair: none is
    // built while the page is hidden, the checked interface's pair when it
    // shows, with the samples taken meanwhile.
    void graphsAreBuiltWhenFirstSeen() {
        QTemporaryDir emptyRoot;
        SystemPaths::setRootPrefix(emptyRoot.path());
        auto restore = qScopeGuard([&] {
            SystemPaths::setRootPrefix(QString());
            window->hide();
        });
        TabNetworkingBandwidthMonitor tab(ui.get(), window.get());
        const QString name = tab.checkedInterface();
        QVERIFY2(!name.isEmpty(), "no interface is up with an address");
        const auto graphs = [&] {
            return ui->frameNetworkingRX->findChildren<QCustomPlot*>() +
                   ui->frameNetworkingTX->findChildren<QCustomPlot*>();
        };
        const double t0 = 2000000000.0;
        tab.onInterfaceCountersDataReady(sample(name, 5000000, t0));
        tab.onInterfaceCountersDataReady(sample(name, 6000000, t0 + 0.5));
        QVERIFY(graphs().isEmpty());

        ui->tabWidgetMainTabs->setCurrentWidget(ui->tab_5); // Networking
        ui->tabWidgetNetworkingTabs->setCurrentWidget(ui->tabWidgetNetworkingBandwidthMonitor);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(graphs().size(), 2);
        for (QCustomPlot* graph : graphs()) {
            QVERIFY(graph->isVisible());
            QCOMPARE(graph->graph(0)->dataCount(), 1);
        }
    }

    void linkSpeedSources() {
        QTemporaryDir root, tools;
        QDir(root.path()).mkpath("sys/class/net/vethA");
        QDir(root.path()).mkpath("proc/net");
        writeFile(root.filePath("sys/class/net/vethA/speed"), "10000\n");
        writeFile(root.filePath("proc/net/wireless"), "h\nh\nwlx0: 0000 50. -60. -256 0 0 0 0 0 0\n");
        TestSupport::writeScript(tools.filePath("iw"), "echo '\ttx bitrate: 433.3 MBit/s'\n");
        SystemPaths::setRootPrefix(root.path());
        SystemPaths::prependSearchPath(tools.path());
        auto restore = qScopeGuard([] {
            SystemPaths::setRootPrefix(QString());
            SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        });
        QCOMPARE(WorkerNetworkingBandwidthMonitor::getLinkSpeed("vethA"), 10000);
        QCOMPARE(WorkerNetworkingBandwidthMonitor::getLinkSpeed("lo"), -1);
        QCOMPARE(WorkerNetworkingBandwidthMonitor::getLinkSpeed("wlx0"), 433);
    }

    // Real traffic across a veth pair into a network namespace of the test's
    // own. The veth is also listed as wireless with an iw that hangs: the
    // page goes on sampling while the link speed waits on it.
    void followsRealTraffic() {
        if (geteuid() != 0)
            QSKIP("needs root to make a network namespace");
        const QString ns = TestSupport::uniqueName("tsmns");
        const QString host = "tsmv" + QString::number(getpid() % 100000);
        const QString peer = host + "p";
        QVERIFY(run("ip", {"netns", "add", ns}));
        auto cleanup = qScopeGuard([&] {
            run("ip", {"link", "del", host});
            run("ip", {"netns", "del", ns});
        });
        QVERIFY(run("ip", {"link", "add", host, "type", "veth", "peer", "name", peer, "netns", ns}));
        const int third = 100 + getpid() % 100;
        const QString hostAddress = QString("10.%1.7.1").arg(third),
                      peerAddress = QString("10.%1.7.2").arg(third);
        QVERIFY(run("ip", {"addr", "add", hostAddress + "/24", "dev", host}));
        QVERIFY(run("ip", {"link", "set", host, "up"}));
        QVERIFY(run("ip", {"-n", ns, "addr", "add", peerAddress + "/24", "dev", peer}));
        QVERIFY(run("ip", {"-n", ns, "link", "set", peer, "up"}));
        QTRY_VERIFY(QNetworkInterface::interfaceFromName(host).flags() & QNetworkInterface::IsRunning);

        QTemporaryDir root, tools;
        QDir(root.path()).mkpath("proc/net");
        QVERIFY(QFile::link("/proc/net/dev", root.filePath("proc/net/dev")));
        writeFile(root.filePath("proc/net/wireless"),
                  QString("h\nh\n%1: 0000 50. -60. -256 0\n").arg(host).toUtf8());
        TestSupport::writeScript(tools.filePath("iw"),
                                 "echo started >> \"$(dirname \"$0\")/log\"\nsleep 5\n");
        SystemPaths::setRootPrefix(root.path());
        SystemPaths::prependSearchPath(tools.path());
        auto restore = qScopeGuard([] {
            SystemPaths::setRootPrefix(QString());
            SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
        });

        TabNetworkingBandwidthMonitor tab(ui.get(), window.get());
        CustomPushButton* button = nullptr;
        for (auto* b :
             ui->groupBoxNetworkingBandwidthMonitorNetworkInterfaces->findChildren<CustomPushButton*>())
            if (b->interfaceName() == host)
                button = b;
        QVERIFY(button && button->isEnabled());
        button->click();
        QCOMPARE(tab.checkedInterface(), host);
        QUdpSocket socket;
        for (int i = 0; i < 40; ++i)
            QCOMPARE(socket.writeDatagram(QByteArray(1000, 'x'), QHostAddress(peerAddress), 9), qint64(1000));
        QTRY_VERIFY(QFile::exists(tools.filePath("log")));
        emit tab.requestUpdateBandwidth();
        QTRY_VERIFY(ui->labelNetworkingPacketsTX->text().toULongLong() >= 40);

        QProcess ip;
        ip.start("ip", {"-j", "-s", "link", "show", host});
        QVERIFY(ip.waitForFinished());
        const QJsonValue stats = QJsonDocument::fromJson(ip.readAllStandardOutput()).array().at(0)["stats64"];
        const qulonglong txPackets = stats["tx"]["packets"].toVariant().toULongLong();
        const qulonglong shown = ui->labelNetworkingPacketsTX->text().toULongLong();
        QVERIFY2(shown >= 40 && shown <= txPackets && txPackets - shown < 10,
                 qPrintable(QString("shown %1, ip says %2").arg(shown).arg(txPackets)));
        QCOMPARE(ui->labelNetworkingBandwidthRX->text(), QString("N/A")); // iw is still asleep
    }
};

QTEST_MAIN(TestBandwidth)
#include "tst_bandwidth.moc"
