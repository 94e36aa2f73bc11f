// The Overview sampler's whole work per tick on the live machine, its parts,
// and peer tools reading the same sources in the same run: "iostat -dm 1 1"
// (the disk counters of /proc/diskstats, which the sampler reads itself) and
// "vmstat 1 1" (CPU and memory from /proc). At the fast speed a tick is 250 ms.
#include "commandrunner.h"
#include "overviewparser.h"
#include "overviewsampler.h"

#include <QCoreApplication>
#include <QFile>

#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

void BM_OneSample(benchmark::State& state) {
    OverviewSampler sampler(getpid());
    for (auto _ : state) {
        const OverviewSample sample = sampler.take();
        benchmark::DoNotOptimize(sample.cpuUsage);
    }
}
BENCHMARK(BM_OneSample)->Unit(benchmark::kMillisecond);

// The sample without the disk figure: the other files under /proc and /sys.
void BM_FileFigures(benchmark::State& state) {
    OverviewSampler sampler(getpid());
    QString error;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sampler.readCpuUsage());
        benchmark::DoNotOptimize(sampler.readGpuUsage());
        benchmark::DoNotOptimize(sampler.readMemoryUsage(&error));
        benchmark::DoNotOptimize(sampler.readNetworkKilobits());
        benchmark::DoNotOptimize(sampler.readMaxTemperature());
    }
}
BENCHMARK(BM_FileFigures)->Unit(benchmark::kMicrosecond);

// The disk figure: /proc/diskstats read, parsed and added up.
void BM_DiskFigure(benchmark::State& state) {
    OverviewSampler sampler(getpid());
    for (auto _ : state)
        benchmark::DoNotOptimize(sampler.readDiskTotal());
}
BENCHMARK(BM_DiskFigure)->Unit(benchmark::kMicrosecond);

void runPeer(benchmark::State& state, const QString& program, const QStringList& arguments) {
    for (auto _ : state) {
        const CommandResult result = CommandRunner::run(program, arguments);
        if (!result.succeeded())
            state.SkipWithError("peer tool failed");
        benchmark::DoNotOptimize(result.standardOutput.size());
    }
}

void BM_PeerIostat(benchmark::State& state) {
    runPeer(state, QStringLiteral("iostat"), {"-dm", "1", "1"});
}
BENCHMARK(BM_PeerIostat)->Unit(benchmark::kMillisecond);

void BM_PeerVmstat(benchmark::State& state) {
    runPeer(state, QStringLiteral("vmstat"), {"1", "1"});
}
BENCHMARK(BM_PeerVmstat)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
