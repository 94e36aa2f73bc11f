// One short run of an external program (true), as CommandRunner makes it,
// beside the same program started with posix_spawn and with QProcess. The
// figure is wall time per run: start, wait and reap.
#include "commandrunner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <spawn.h>
#include <sys/wait.h>

#include <benchmark/benchmark.h>

extern char** environ;

namespace {

QString truePath() {
    static const QString path = QStandardPaths::findExecutable(QStringLiteral("true"));
    return path;
}

void BM_CommandRunnerTrue(benchmark::State& state) {
    for (auto _ : state) {
        const CommandResult result = CommandRunner::run(QStringLiteral("true"), {});
        if (!result.succeeded())
            state.SkipWithError("true failed");
    }
}
BENCHMARK(BM_CommandRunnerTrue)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PosixSpawnTrue(benchmark::State& state) {
    const QByteArray path = truePath().toLocal8Bit();
    char* const arguments[] = {const_cast<char*>(path.constData()), nullptr};
    for (auto _ : state) {
        pid_t pid = -1;
        int status = 0;
        if (::posix_spawn(&pid, path.constData(), nullptr, nullptr, arguments, environ) != 0 ||
            ::waitpid(pid, &status, 0) != pid || status != 0)
            state.SkipWithError("true failed");
    }
}
BENCHMARK(BM_PosixSpawnTrue)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_QProcessTrue(benchmark::State& state) {
    for (auto _ : state) {
        QProcess process;
        process.start(truePath(), QStringList());
        if (!process.waitForFinished() || process.exitCode() != 0)
            state.SkipWithError("true failed");
    }
}
BENCHMARK(BM_QProcessTrue)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
