// The Wireless page parses what the tools print every 500 ms, and reads the
// vendor table once per run. Peer for the table: awk loading the same file
// into a hash and looking one address up,
//   time awk -F'\t' '!/^#/{a[$1]=$3} END{print a["70:B3:D5:F2:F0:00/36"]}' build/router_manufacturers
#include "wirelessparsing.h"

#include <QFile>

#include <benchmark/benchmark.h>

namespace {
QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QString dataDir = QStringLiteral(TESSMAR_SOURCE_DIR "/tests/data/wireless/");

// One poll's parsing: /proc/net/wireless, "iw dev X link" and "nmcli device show".
void BM_ParsePoll(benchmark::State& state) {
    const QString proc = readFile(dataDir + "proc_net_wireless.txt");
    const QString link = readFile(dataDir + "iw_link.txt");
    const QString device = readFile(dataDir + "nmcli_device.txt");
    for (auto _ : state) {
        benchmark::DoNotOptimize(wireless::parseProcNetWireless(proc, QStringLiteral("wlp2s0")));
        benchmark::DoNotOptimize(wireless::linkFrequencyText(link));
        benchmark::DoNotOptimize(wireless::bssidFromLink(link));
        benchmark::DoNotOptimize(wireless::extractValue(device, QStringLiteral("GENERAL.CONNECTION")));
        benchmark::DoNotOptimize(wireless::extractValue(device, QStringLiteral("GENERAL.STATE")));
    }
}
BENCHMARK(BM_ParsePoll);

void BM_ParseScan(benchmark::State& state) {
    const QString scan = readFile(dataDir + "scan.txt");
    for (auto _ : state)
        benchmark::DoNotOptimize(wireless::parseScan(scan));
}
BENCHMARK(BM_ParseScan);

void BM_VendorTableLoadAndLookup(benchmark::State& state) {
    const QString text = readFile(QStringLiteral(TESSMAR_BUILD_DIR "/router_manufacturers"));
    for (auto _ : state) {
        wireless::VendorTable table;
        table.load(text);
        benchmark::DoNotOptimize(table.lookup(QStringLiteral("70:B3:D5:F2:F0:11"), true));
    }
}
BENCHMARK(BM_VendorTableLoadAndLookup)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
