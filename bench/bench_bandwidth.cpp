// The Bandwidth Monitor samples /proc/net/dev every 500 ms: one tick (the
// worker's parse, then the histories, graph and panel of the checked
// interface on the GUI thread) with 20 interfaces, against the peer
// "ip -s link" printing the same counters.
// Needs an X display (or QT_QPA_PLATFORM=offscreen).
#include "commandrunner.h"
#include "systempaths.h"
#include "tabnetworkingbandwidthmonitor.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QNetworkInterface>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {
QString twentyInterfaces(quint64 step) {
    QString text = QStringLiteral("Inter-| Receive | Transmit\n face |bytes packets|bytes packets\n");
    QStringList names;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        names << i.name();
    for (int i = names.size(); i < 20; ++i)
        names << QStringLiteral("veth%1").arg(i);
    for (const QString& name : names)
        text += QStringLiteral("%1: %2 %3 0 0 0 0 0 0 %4 %5 0 0 0 0 0 0\n")
                    .arg(name)
                    .arg(1000000 + step * 125000)
                    .arg(1000 + step * 90)
                    .arg(500000 + step * 60000)
                    .arg(800 + step * 50);
    return text;
}

// state.range(0): 1 with the page shown (both graphs redrawn), 0 hidden
// (reading, parsing and bookkeeping only).
void BM_BandwidthTick(benchmark::State& state) {
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    window.resize(1200, 800);
    if (state.range(0))
        window.show();
    ui.tabWidgetMainTabs->setCurrentIndex(5);
    QTemporaryDir emptyRoot;
    SystemPaths::setRootPrefix(emptyRoot.path());
    TabNetworkingBandwidthMonitor tab(&ui, &window);
    QApplication::processEvents();
    QVector<QString> samples;
    for (quint64 i = 0; i < 64; ++i)
        samples << twentyInterfaces(i);
    double now = 1.9e9;
    size_t n = 0;
    for (auto _ : state) {
        tab.onInterfaceCountersDataReady(
            {traffic::parseProcNetDev(samples.at(n++ % samples.size())), now, {}});
        now += 0.5;
    }
    SystemPaths::setRootPrefix(QString());
}
BENCHMARK(BM_BandwidthTick)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_PeerIpStatsLink(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            CommandRunner::run(QStringLiteral("ip"), {QStringLiteral("-s"), QStringLiteral("link")}));
}
BENCHMARK(BM_PeerIpStatsLink)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
