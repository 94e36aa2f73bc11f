// The Services listing (every unit file, with descriptions) beside its peer,
// systemctl list-unit-files alone; and the Cron Jobs collection over the
// fixture tree beside one cat of the same crontab files.
#include "commandrunner.h"
#include "systempaths.h"
#include "workercronjobs.h"
#include "workerservices.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

void BM_ServiceListing(benchmark::State& state) {
    WorkerServices worker;
    int listed = 0;
    QObject::connect(&worker, &WorkerServices::serviceListUpdated,
                     [&](const ServiceListing& listing) { listed = listing.services.size(); });
    for (auto _ : state)
        worker.requestSetShowFailedServices(true);
    state.counters["units"] = listed;
}
BENCHMARK(BM_ServiceListing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);

void BM_SystemctlAlone(benchmark::State& state) {
    for (auto _ : state) {
        const CommandResult result = CommandRunner::run(
            QStringLiteral("systemctl"), {QStringLiteral("list-unit-files"), QStringLiteral("--type=service"),
                                          QStringLiteral("--no-legend")});
        benchmark::DoNotOptimize(result.standardOutput.size());
    }
}
BENCHMARK(BM_SystemctlAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(4.0);

const QString cronRoot = QStringLiteral(TESSMAR_SOURCE_DIR "/tests/data/cron/root");

void BM_CronCollection(benchmark::State& state) {
    SystemPaths::setRootPrefix(cronRoot);
    int jobs = 0;
    for (auto _ : state)
        jobs = WorkerCronJobs::collectCronJobs().size();
    SystemPaths::setRootPrefix(QString());
    state.counters["jobs"] = jobs;
}
BENCHMARK(BM_CronCollection)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: one cat of every crontab file the collection reads.
void BM_CatCrontabs(benchmark::State& state) {
    const QStringList files = {cronRoot + "/etc/crontab",
                               cronRoot + "/etc/cron.d/e2scrub_all",
                               cronRoot + "/etc/cron.d/php",
                               cronRoot + "/etc/cron.d/sysstat",
                               cronRoot + "/etc/passwd",
                               cronRoot + "/var/spool/cron/crontabs/root",
                               cronRoot + "/var/spool/cron/crontabs/alice"};
    for (auto _ : state) {
        const CommandResult result = CommandRunner::run(QStringLiteral("cat"), files);
        benchmark::DoNotOptimize(result.standardOutput.size());
    }
}
BENCHMARK(BM_CatCrontabs)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
