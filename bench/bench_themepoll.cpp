// The theme poll runs once a second on the GUI thread for the whole run: it
// must be cheap and must not grow the process.
//
// The memory check polls 600 times as fast as it can by default; for the
// program's real pace run
//   TESSMAR_THEMEPOLL_INTERVAL_MS=1000 ./bench_themepoll --benchmark_filter=ThemePollMemory
// (ten minutes); BM_IdleTimerMemory gives the same loop without the poll, to
// tell the poll's share from the event loop's. Needs an X display.
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

// Runs count ticks of a QTimer in a running event loop, as the program
// does, calling tick on each.
template <typename Tick> void runTicks(int count, int intervalMs, Tick tick) {
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(intervalMs);
    int done = 0;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        tick();
        if (++done == count)
            loop.quit();
    });
    timer.start();
    loop.exec();
}

// Resident memory over a run of ticks, in two halves: a leak grows both, a
// one-off allocation only the first.
template <typename Tick> void measureMemory(benchmark::State& state, Tick tick) {
    const int ticks = environmentNumber("TESSMAR_THEMEPOLL_COUNT", 600);
    const int intervalMs = environmentNumber("TESSMAR_THEMEPOLL_INTERVAL_MS", 0);
    for (auto _ : state) {
        runTicks(50, 0, tick); // GTK's and Qt's one-off allocations
        const long before = residentKilobytes();
        runTicks(ticks / 2, intervalMs, tick);
        const long half = residentKilobytes();
        runTicks(ticks - ticks / 2, intervalMs, tick);
        const long after = residentKilobytes();
        state.counters["ticks"] = ticks;
        state.counters["interval_ms"] = intervalMs;
        state.counters["rss_before_kb"] = before;
        state.counters["growth_1st_half_kb"] = half - before;
        state.counters["growth_2nd_half_kb"] = after - half;
    }
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
    QWidget window;
    bool lastAppliedDark = isSystemThemeDark();
    measureMemory(state, [&] { followDesktopTheme(lastAppliedDark, *application, window, [] {}); });
}
BENCHMARK(BM_ThemePollMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same timer doing nothing: what the event loop alone adds.
void BM_IdleTimerMemory(benchmark::State& state) {
    measureMemory(state, [] {});
}
BENCHMARK(BM_IdleTimerMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

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
