// The Applications tab refreshes every 2 s while it is shown. What it costs
// the GUI thread per refresh (making the icons and refilling the table from
// the worker's list of 50 windows), and what one whole listing costs the
// worker (the window manager's list and the windows' properties read from
// the X server, where their icons come from found; the icons themselves
// are fetched at a window's first listing and when they change), are set
// against the run of `wmctrl -l` itself on the same 50 windows, and against
// a listing through `wmctrl -l`, as the worker lists where the X server
// holds no window list. Needs an X display with a window manager (Xvfb
// with openbox).
#include "commandrunner.h"
#include "tabapplications.h"
#include "ui_mainwindow.h"
#include "workerapplications.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPainter>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

constexpr int windowCount = 50;

QByteArray runWmctrl() {
    QProcess wmctrl;
    wmctrl.start(QStringLiteral("wmctrl"), {QStringLiteral("-l")});
    wmctrl.waitForFinished(5000);
    return wmctrl.readAllStandardOutput();
}

// Windows with icons of three sizes, as toolkits set them.
std::vector<std::unique_ptr<QWidget>> openWindows(const QString& prefix) {
    QIcon icon;
    for (int side : {16, 32, 48}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::darkCyan);
        icon.addPixmap(pixmap);
    }
    std::vector<std::unique_ptr<QWidget>> windows;
    for (int i = 0; i < windowCount; ++i) {
        windows.push_back(std::make_unique<QWidget>());
        windows.back()->setWindowTitle(QStringLiteral("%1 window %2").arg(prefix).arg(i));
        windows.back()->setWindowIcon(icon);
        windows.back()->resize(160, 80);
        windows.back()->show();
    }
    QElapsedTimer waited;
    waited.start();
    while (runWmctrl().count(prefix.toUtf8()) < windowCount && waited.elapsed() < 20000) {
        QCoreApplication::processEvents();
        QThread::msleep(50);
    }
    return windows;
}

struct Fixture {
    QMainWindow window;
    Ui::MainWindow ui;
    std::unique_ptr<TabApplications> tab;
    std::vector<std::unique_ptr<QWidget>> windows;
    QByteArray listing;
    // As the tab's worker does it, here on the benchmark's thread.
    std::unique_ptr<WorkerApplications> worker;
    QList<DetailsApplicationWindow> listed;

    Fixture() {
        ui.setupUi(&window);
        worker = std::make_unique<WorkerApplications>(ui.tableApplications->iconSize().width());
        tab = std::make_unique<TabApplications>(&ui, &window);
        tab->setupApplicationTable();
        windows = openWindows(QStringLiteral("bench"));
        listing = runWmctrl();
        listed = worker->listWindows(listing);
    }
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void BM_RefreshOnGuiThread(benchmark::State& state) {
    Fixture& f = fixture();
    QElapsedTimer elapsed;
    elapsed.start();
    for (auto _ : state)
        f.tab->onWindowListDataReady(f.listed);
    const double millisecondsPerRefresh = double(elapsed.nsecsElapsed()) / 1e6 / double(state.iterations());
    state.counters["windows"] = f.ui.tableApplications->rowCount();
    // Share of the 2 s period the GUI thread spends refreshing, in percent.
    state.counters["busy_percent"] = millisecondsPerRefresh / 2000.0 * 100.0;
}
BENCHMARK(BM_RefreshOnGuiThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// One whole listing on the worker, as the tab asks for it.
void BM_WholeListingOnWorker(benchmark::State& state) {
    Fixture& f = fixture();
    int windows = 0;
    QObject context;
    QObject::connect(f.worker.get(), &WorkerApplications::windowListUpdated, &context,
                     [&windows](const QList<DetailsApplicationWindow>& listed) { windows = listed.size(); });
    for (auto _ : state)
        f.worker->fetchWindowList();
    state.counters["windows"] = windows;
}
BENCHMARK(BM_WholeListingOnWorker)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole listing through wmctrl: its run, then the windows' properties.
void BM_ListingThroughWmctrl(benchmark::State& state) {
    Fixture& f = fixture();
    CommandOptions options;
    options.timeoutMs = WorkerApplications::timeoutMs;
    for (auto _ : state) {
        const CommandResult result =
            CommandRunner::run(QStringLiteral("wmctrl"), {QStringLiteral("-l")}, options);
        benchmark::DoNotOptimize(f.worker->listWindows(result.standardOutput));
    }
}
BENCHMARK(BM_ListingThroughWmctrl)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worker's part beyond running wmctrl, off the GUI thread.
void BM_ListingOnWorker(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.worker->listWindows(f.listing));
    state.counters["windows"] = f.listed.size();
}
BENCHMARK(BM_ListingOnWorker)->Unit(benchmark::kMillisecond)->UseRealTime();

// A first listing, as after the program starts: a new connection, and
// every window's icon fetched.
void BM_FirstListingOnWorker(benchmark::State& state) {
    Fixture& f = fixture();
    const int side = f.ui.tableApplications->iconSize().width();
    for (auto _ : state) {
        state.PauseTiming();
        auto worker = std::make_unique<WorkerApplications>(side);
        state.ResumeTiming();
        benchmark::DoNotOptimize(worker->listWindows(f.listing));
        state.PauseTiming();
        worker.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstListingOnWorker)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeerWmctrlList(benchmark::State& state) {
    fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(runWmctrl());
}
BENCHMARK(BM_PeerWmctrlList)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
