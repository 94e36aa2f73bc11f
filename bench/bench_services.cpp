// The Services listing (every unit file, with descriptions) beside its peer,
// systemctl list-unit-files alone; the Cron Jobs collection over the
// fixture tree beside one cat of the same crontab files; and one crontab of
// 1 MB (the most the page reads of one) read as cron reads it, beside awk
// taking each line's command word.
#include "commandrunner.h"
#include "cronparser.h"
#include "systempaths.h"
#include "workercronjobs.h"
#include "workerservices.h"

#include <QGuiApplication>
#include <QTemporaryFile>

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

// A personal crontab of 1 MB: schedules of every kind, a setting now and then.
QByteArray largeCrontab() {
    static const char* const schedules[] = {"*/5 9-17 * * mon-fri", "0 3 * * *", "15,45 * 1-15 * *", "@daily",
                                            "30 2 */2 jan,jul 0"};
    QByteArray text;
    for (int line = 0; text.size() < WorkerCronJobs::maxCrontabBytes - 200; ++line) {
        if (line % 50 == 0)
            text += "MAILTO=\"\"\n";
        text += QByteArray(schedules[line % 5]) + " /usr/local/bin/job-" + QByteArray::number(line) +
                " --quiet >/dev/null 2>&1\n";
    }
    return text;
}

void BM_ParseLargeCrontab(benchmark::State& state) {
    const QByteArray text = largeCrontab();
    CronParser::CrontabSource source;
    source.location = QStringLiteral("/var/spool/cron/crontabs/alice");
    source.owner = QStringLiteral("alice");
    int jobs = 0;
    for (auto _ : state)
        jobs = CronParser::parseCrontab(text, source).size();
    state.counters["jobs"] = jobs;
    state.counters["bytes"] = text.size();
}
BENCHMARK(BM_ParseLargeCrontab)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: awk splitting every line of the same file and printing its sixth word.
void BM_AwkLargeCrontab(benchmark::State& state) {
    QTemporaryFile file;
    if (!file.open() || file.write(largeCrontab()) < 0 || !file.flush()) {
        state.SkipWithError("cannot write the crontab");
        return;
    }
    for (auto _ : state) {
        const CommandResult result =
            CommandRunner::run(QStringLiteral("awk"), {QStringLiteral("{print $6}"), file.fileName()});
        benchmark::DoNotOptimize(result.standardOutput.size());
    }
}
BENCHMARK(BM_AwkLargeCrontab)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
