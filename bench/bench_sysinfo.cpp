// The Overview panel's once-a-second sample on the live machine, beside the
// standard tools that give the same figures: free (memory and swap), uptime,
// ps -eL (processes and threads) and who (logged-in users). The peers are
// timed as a user would run them, process start included. Also the one-off
// static probes, which run off the GUI thread.
#include "commandrunner.h"
#include "systeminfoprobes.h"
#include "workeroverviewsysinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace {

void runPeer(benchmark::State& state, const QString& program, const QStringList& arguments) {
    for (auto _ : state) {
        const CommandResult result = CommandRunner::run(program, arguments);
        benchmark::DoNotOptimize(result.standardOutput.size());
    }
}

// Everything the sample reads from files: uptime, memory, swap, process and
// thread counts, enabled services and cron jobs.
void BM_SampleFileFigures(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getUptime());
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getRamUsage());
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getProcessThreadCount());
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::countEnabledServices());
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::countCronJobs());
    }
}
BENCHMARK(BM_SampleFileFigures)->Unit(benchmark::kMicrosecond);

// The whole sample, with the wmctrl and who runs.
void BM_SampleComplete(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::sample());
}
BENCHMARK(BM_SampleComplete)->Unit(benchmark::kMillisecond);

void BM_MemoryFigures(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getRamUsage());
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getSwapUsage());
    }
}
BENCHMARK(BM_MemoryFigures)->Unit(benchmark::kMicrosecond);
void BM_Peer_free(benchmark::State& state) {
    runPeer(state, QStringLiteral("free"), {QStringLiteral("-k")});
}
BENCHMARK(BM_Peer_free)->Unit(benchmark::kMicrosecond);

void BM_Uptime(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getUptime());
}
BENCHMARK(BM_Uptime)->Unit(benchmark::kMicrosecond);
void BM_Peer_uptime(benchmark::State& state) {
    runPeer(state, QStringLiteral("uptime"), {});
}
BENCHMARK(BM_Peer_uptime)->Unit(benchmark::kMicrosecond);

void BM_ProcessThreadCount(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::getProcessThreadCount());
}
BENCHMARK(BM_ProcessThreadCount)->Unit(benchmark::kMicrosecond);
// The same count by listing every process's task folder, as a reference.
void BM_ThreadCountByTaskFolders(benchmark::State& state) {
    for (auto _ : state) {
        int threads = 0;
        const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& pid : pids) {
            bool number = false;
            pid.toInt(&number);
            if (number)
                threads += QDir(QStringLiteral("/proc/%1/task").arg(pid))
                               .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted)
                               .size();
        }
        benchmark::DoNotOptimize(threads);
    }
}
BENCHMARK(BM_ThreadCountByTaskFolders)->Unit(benchmark::kMicrosecond);
void BM_Peer_psThreads(benchmark::State& state) {
    runPeer(state, QStringLiteral("ps"), {QStringLiteral("-eL"), QStringLiteral("--no-headers")});
}
BENCHMARK(BM_Peer_psThreads)->Unit(benchmark::kMicrosecond);

void BM_ActiveUsers(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::countActiveUsers());
}
BENCHMARK(BM_ActiveUsers)->Unit(benchmark::kMicrosecond);
void BM_Peer_who(benchmark::State& state) {
    runPeer(state, QStringLiteral("who"), {});
}
BENCHMARK(BM_Peer_who)->Unit(benchmark::kMicrosecond);

void BM_StaticProbes(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SystemInfoProbes().gather());
}
BENCHMARK(BM_StaticProbes)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
