// The Packet Sniffer page's batch insert under the real X server: 100,000
// packets fed in batches of 500 (the worker's 500 ms batches), without and
// with a filter text set, on a shown window. Reports the slowest batch once
// the tree holds 99,500 rows and the memory the rows take.
#include "tabnetworkingpacketsniffer.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>

#include <benchmark/benchmark.h>

namespace {

PacketInfo packet(int i) {
    PacketInfo p;
    static const char* applications[] = {"firefox", "sshd",   "systemd-resolve",
                                         "Unknown", "chrome", "dnsmasq"};
    p.application = QString::fromLatin1(applications[i % 6]);
    p.timestamp = QStringLiteral("2024-06-12 12:%1:%2.%3")
                      .arg(i / 60000 % 60, 2, 10, QLatin1Char('0'))
                      .arg(i / 1000 % 60, 2, 10, QLatin1Char('0'))
                      .arg(i % 1000, 3, 10, QLatin1Char('0'));
    p.sourceIP = QStringLiteral("192.168.1.%1").arg(i % 250);
    p.destinationIP = QStringLiteral("10.0.%1.%2").arg(i % 7).arg(i % 200);
    p.sourcePort = quint16(1024 + i % 60000);
    p.destinationPort = 443;
    p.protocol = i % 3 ? QStringLiteral("TCP") : QStringLiteral("UDP");
    p.direction = i % 2 ? QStringLiteral("Incoming") : QStringLiteral("Outgoing");
    p.length = 60 + i % 40;
    p.rawData = QByteArray(74 + i % 40, 'x');
    p.payload = p.rawData.mid(34);
    p.sourceMAC = QStringLiteral("0a:1b:2c:3d:4e:5f");
    p.destinationMAC = QStringLiteral("02:00:00:00:00:01");
    return p;
}

qint64 residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

void BM_BatchInsert(benchmark::State& state) {
    const bool filtered = state.range(0) != 0;
    constexpr int Total = 100000, Batch = 500;
    double slowestLateMs = 0, totalMs = 0;
    qint64 memoryPerPacket = 0;
    for (auto _ : state) {
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        window.resize(1200, 800);
        window.show();
        QApplication::processEvents();
        auto* tab = new TabNetworkingPacketSniffer(&ui, &window);
        ui.tabWidgetMainTabs->setCurrentIndex(5);
        ui.tabWidgetNetworkingTabs->setCurrentWidget(ui.tabWidgetNetworkingPacketSniffer);
        if (filtered)
            ui.lineEditNetworkingPacketSnifferFilter->setText(QStringLiteral("udp"));
        QApplication::processEvents();
        const qint64 before = residentKilobytes();
        QElapsedTimer timer;
        for (int start = 0; start < Total; start += Batch) {
            for (int i = start; i < start + Batch; ++i)
                tab->handlePacketCaptured(packet(i), true);
            timer.start();
            tab->processBatchUpdates();
            tab->updateParentItemDisplays();
            if (start == 0) // a user looks into every group
                ui.treeWidgetNetworkingPacketSnifferPacketListTree->expandAll();
            QApplication::processEvents(); // the repaint is part of the cost
            const double ms = timer.nsecsElapsed() / 1e6;
            totalMs += ms;
            if (start + Batch >= Total)
                slowestLateMs = qMax(slowestLateMs, ms);
        }
        memoryPerPacket = (residentKilobytes() - before) * 1024 / Total;
        delete tab;
    }
    state.counters["last_batch_ms"] = slowestLateMs;
    state.counters["mean_batch_ms"] = totalMs / (Total / Batch) / state.iterations();
    state.counters["bytes_per_packet"] = double(memoryPerPacket);
    state.counters["cap_MB"] =
        double(memoryPerPacket) * TabNetworkingPacketSniffer::MaxPackets / (1024.0 * 1024.0);
}
BENCHMARK(BM_BatchInsert)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
