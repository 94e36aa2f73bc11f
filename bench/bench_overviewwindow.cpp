// The whole program window with the Overview sampling at the fast speed
// (250 ms) for 60 s on a real X display: the CPU time of the program and of
// any tools it ran. With TESSMAR_SCREENSHOT_DIR set it also saves pictures
// of the live Overview in both colour themes, at the default size and
// maximised. Compare with "scripts/overview-peer-loop" (the same sources
// read by standard tools at the same rate); "scripts/measure-idle" measures
// the installed program beside GNOME System Monitor.
#include "mainwindow.h"
#include "startup.h"
#include "taboverviewgraphs.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

// Runs the event loop for ms milliseconds, as a user's session would.
void wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void saveShot(MainWindow& window, const QString& name) {
    const QString folder = qEnvironmentVariable("TESSMAR_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        window.grab().save(folder + QLatin1Char('/') + name);
}

void BM_WindowAtFastForAMinute(benchmark::State& state) {
    for (auto _ : state) {
        MainWindow window;
        auto* graphs = window.findChild<TabOverviewGraphs*>();
        window.show();
        graphs->setUpdateSpeed(QStringLiteral("fast"));
        wait(2000);
        const double selfBefore = cpuSeconds(RUSAGE_SELF);
        const double toolsBefore = cpuSeconds(RUSAGE_CHILDREN);
        wait(60000);
        state.counters["program_cpu_s"] = cpuSeconds(RUSAGE_SELF) - selfBefore;
        state.counters["tools_cpu_s"] = cpuSeconds(RUSAGE_CHILDREN) - toolsBefore;

        saveShot(window, QStringLiteral("overview-aperture.png"));
        graphs->setColorTheme(QStringLiteral("green"));
        wait(1000);
        saveShot(window, QStringLiteral("overview-green.png"));
        window.showMaximized();
        wait(3000);
        saveShot(window, QStringLiteral("overview-green-maximised.png"));
        graphs->selectGraph(TabOverviewGraphs::NetworkGraph);
        graphs->setColorTheme(QStringLiteral("aperture"));
        wait(3000);
        saveShot(window, QStringLiteral("overview-aperture-maximised-network.png"));
    }
}
BENCHMARK(BM_WindowAtFastForAMinute)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    registerSharedMetaTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
