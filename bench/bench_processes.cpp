// One full scan of the live /proc (every user's processes) beside a baseline
// that only opens and reads the same files, and a 1,000-row table refill.
// Starts 1,000 sleeping children first and ends them afterwards.
#include "processscanner.h"
#include "tabprocesses.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMainWindow>

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

extern char** environ;

namespace {

std::vector<pid_t> startSleepers(int count) {
    std::vector<pid_t> children;
    char program[] = "sleep";
    char seconds[] = "600";
    char* argv[] = {program, seconds, nullptr};
    for (int i = 0; i < count; ++i) {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) == 0)
            children.push_back(pid);
    }
    return children;
}

void endSleepers(const std::vector<pid_t>& children) {
    for (pid_t pid : children)
        kill(pid, SIGKILL);
    for (pid_t pid : children)
        waitpid(pid, nullptr, 0);
}

size_t readInto(const char* path, std::vector<char>& buffer) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    size_t used = 0;
    for (;;) {
        if (used == buffer.size())
            buffer.resize(buffer.size() * 2);
        const ssize_t n = read(fd, buffer.data() + used, buffer.size() - used);
        if (n <= 0)
            break;
        used += size_t(n);
    }
    close(fd);
    return used;
}

void BM_ScanAllProcesses(benchmark::State& state) {
    ProcessScanner scanner;
    size_t listed = 0;
    for (auto _ : state) {
        const QList<DetailsProcess> processes = scanner.scan(QString());
        listed = size_t(processes.size());
        benchmark::DoNotOptimize(processes.size());
    }
    state.counters["processes"] = double(listed);
}
BENCHMARK(BM_ScanAllProcesses)->Unit(benchmark::kMillisecond);

// What a scan that read everything would cost at least: list /proc and read
// status, stat and smaps_rollup of every process into a buffer, parsing nothing.
void BM_BareReads(benchmark::State& state) {
    std::vector<char> buffer(16384);
    char path[320];
    size_t folders = 0;
    for (auto _ : state) {
        folders = 0;
        size_t bytes = 0;
        DIR* dir = opendir("/proc");
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
                continue;
            ++folders;
            for (const char* file : {"status", "stat", "smaps_rollup"}) {
                snprintf(path, sizeof path, "/proc/%s/%s", entry->d_name, file);
                bytes += readInto(path, buffer);
            }
        }
        closedir(dir);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["processes"] = double(folders);
}
BENCHMARK(BM_BareReads)->Unit(benchmark::kMillisecond);

// What one refresh of the shown tab costs once it runs: a scan by a scanner
// that has scanned before (idle processes keep their memory figure; a
// process's smaps_rollup is read again every tenth scan, every thirtieth
// when it neither ran nor changed its pages) and the table refilled from
// its list. Nothing is painted: scripts/measure-processes measures the
// whole program on a display.
void BM_RefreshSteadyState(benchmark::State& state) {
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    TabProcesses tab(&ui, &window);
    ProcessScanner scanner;
    scanner.scan(QString());
    QCoreApplication::processEvents();
    for (auto _ : state)
        tab.onProcessDataReady(scanner.scan(QString()));
}
BENCHMARK(BM_RefreshSteadyState)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_TableRefill1000Rows(benchmark::State& state) {
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    TabProcesses tab(&ui, &window);
    QList<DetailsProcess> processes;
    for (int i = 0; i < 1000; ++i) {
        DetailsProcess process;
        process.pid = QString::number(1000 + i * 7);
        process.user = QStringLiteral("alice");
        process.name = QStringLiteral("process-%1").arg(i % 97);
        process.state = QStringLiteral("S (sleeping)");
        process.cpuUsage = QString::number((i % 13) * 0.7, 'f', 1);
        process.memory = QStringLiteral("%1.%2 MB").arg(i % 900).arg(i % 10);
        process.nice = QString::number(i % 40 - 20);
        process.iconNames = QStringList{process.name, QStringLiteral("application-x-executable")};
        processes.append(process);
    }
    // Let the tab's own first scan land before measuring.
    QCoreApplication::processEvents();
    for (auto _ : state)
        tab.onProcessDataReady(processes);
}
BENCHMARK(BM_TableRefill1000Rows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    // scripts/measure-processes starts its own, shared with the peer tool.
    const std::vector<pid_t> children =
        startSleepers(qEnvironmentVariableIsSet("TESSMAR_BENCH_SLEEPERS")
                          ? qEnvironmentVariableIntValue("TESSMAR_BENCH_SLEEPERS")
                          : 1000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    endSleepers(children);
    return 0;
}
