// The theme poll runs once a second on the GUI thread for the whole run: it
// must be cheap and must not grow the process.
//
// The memory check polls 600 times as fast as it can by default; for the
// program's real pace run
//   TESSMAR_THEMEPOLL_INTERVAL_MS=1000 ./bench_themepoll --benchmark_filter=Memory
// (ten minutes). Needs an X display.
#include "apppalette.h"
#include "systempaths.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

namespace {

QApplication* application = nullptr;

int environmentNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

long residentKilobytes() {
    QFile status(SystemPaths::path(QStringLiteral("/proc/self/status")));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Polls as the program does: a QTimer in a running event loop.
void runPolls(int count, int intervalMs, bool& lastAppliedDark, QWidget& window) {
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(intervalMs);
    int done = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        followDesktopTheme(lastAppliedDark, *application, window, [] {});
        if (++done == count)
            loop.quit();
    });
    poll.start();
    loop.exec();
}

void BM_DesktopThemeProbe(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(isSystemThemeDark());
}
BENCHMARK(BM_DesktopThemeProbe);

void BM_ThemePollWithoutChange(benchmark::State& state) {
    QWidget window;
    bool lastAppliedDark = isSystemThemeDark();
    for (auto _ : state)
        benchmark::DoNotOptimize(followDesktopTheme(lastAppliedDark, *application, window, [] {}));
}
BENCHMARK(BM_ThemePollWithoutChange);

void BM_ThemePollMemory(benchmark::State& state) {
    const int polls = environmentNumber("TESSMAR_THEMEPOLL_COUNT", 600);
    const int intervalMs = environmentNumber("TESSMAR_THEMEPOLL_INTERVAL_MS", 0);
    QWidget window;
    bool lastAppliedDark = isSystemThemeDark();
    for (auto _ : state) {
        runPolls(50, 0, lastAppliedDark, window); // GTK's and Qt's one-off allocations
        const long before = residentKilobytes();
        runPolls(polls, intervalMs, lastAppliedDark, window);
        const long after = residentKilobytes();
        state.counters["polls"] = polls;
        state.counters["interval_ms"] = intervalMs;
        state.counters["rss_before_kb"] = before;
        state.counters["rss_growth_kb"] = after - before;
    }
}
BENCHMARK(BM_ThemePollMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    application = &app;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
