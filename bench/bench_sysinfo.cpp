// The Overview panel's once-a-second sample on the live machine, beside the
// standard tools that give the same figures: free (memory and swap), uptime,
// ps -eL (processes and threads), who (logged-in users) and wmctrl (windows).
// The peers are timed as a user would run them, process start included. Also
// the one-off static probes, which run off the GUI thread.
#include "commandrunner.h"
#include "cronjobcounting.h"
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

// The whole sample as the panel takes it every second: the service and cron
// counts kept while their folders are unchanged, windows counted on the X
// display (DISPLAY) when there is one.
void BM_SampleComplete(benchmark::State& state) {
    WorkerOverviewSysInfo worker(cronPageCounting());
    for (auto _ : state)
        benchmark::DoNotOptimize(worker.sample());
}
BENCHMARK(BM_SampleComplete)->Unit(benchmark::kMicrosecond);

// The counts the sample keeps until their folders change, made afresh.
void BM_ServiceAndCronCounts(benchmark::State& state) {
    const WorkerOverviewSysInfo worker(cronPageCounting());
    for (auto _ : state) {
        benchmark::DoNotOptimize(WorkerOverviewSysInfo::countEnabledServices());
        benchmark::DoNotOptimize(worker.countCronJobs());
    }
}
BENCHMARK(BM_ServiceAndCronCounts)->Unit(benchmark::kMicrosecond);

void BM_OpenWindows(benchmark::State& state) {
    WorkerOverviewSysInfo worker;
    for (auto _ : state)
        benchmark::DoNotOptimize(worker.countOpenWindows());
}
BENCHMARK(BM_OpenWindows)->Unit(benchmark::kMicrosecond);
void BM_Peer_wmctrl(benchmark::State& state) {
    runPeer(state, QStringLiteral("wmctrl"), {QStringLiteral("-lx")});
}
BENCHMARK(BM_Peer_wmctrl)->Unit(benchmark::kMicrosecond);

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
