// Loading a big syslog: a generated 100 MB file in the format rsyslog writes
// on Debian 12 (about 700,000 lines), measured in one run as
//   grep -c    the peer: counting the lines that have the syslog shape,
//   awk        a second peer: splitting every line into fields,
//   parse      the worker's read and parse of the file,
//   fill       the Syslog page filled from the parsed list (sorted by time),
//   filter     keystrokes in the page's filter over all rows (the most and
//              the fewest rows changing),
// with the peak memory of the process beside the file size.
#include "logparsers.h"
#include "tablogs.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* folder = nullptr;
QString logPath;
QList<DetailsLogsSysLog> parsed;
QMainWindow* window = nullptr;
Ui::MainWindow* form = nullptr;
TabLogs* tab = nullptr;

void generateLog(const QString& path, qint64 bytes) {
    static const char* const tags[] = {
        "systemd[1]",        "kernel",    "NetworkManager[612]", "cron[77]",
        "gnome-shell[1400]", "sshd[812]", "dbus-daemon[500]",    "pulseaudio[1500]"};
    static const char* const messages[] = {
        "Started Session %1 of user alice.",
        "[ %1.123456] usb 1-1: new high-speed USB device number 2 using xhci_hcd",
        "<info>  [1709544060.%1] device (wlan0): state change: activated -> activated",
        "(root) CMD (command -v debian-sa1 > /dev/null && debian-sa1 1 1) run %1",
        "Warning: g_object_unref: assertion 'G_IS_OBJECT (object)' failed %1",
        "Accepted publickey for alice from 10.0.0.5 port %1 ssh2: ED25519 SHA256:abcdefghijklmnop",
        "[system] Activating via systemd: service name='org.freedesktop.%1' unit='dbus.service'",
        "E: [pulseaudio] module-alsa-card.c: Error opening PCM device %1: No such file or directory"};
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray chunk;
    qint64 written = 0;
    for (qint64 i = 0; written < bytes; ++i) {
        const int second = int(i / 8);
        const QString line = QStringLiteral("2025-%1-%2T%3:%4:%5.%6+01:00 deb12 %7: %8\n")
                                 .arg(1 + (second / 2000000) % 12, 2, 10, QLatin1Char('0'))
                                 .arg(1 + (second / 86400) % 28, 2, 10, QLatin1Char('0'))
                                 .arg((second / 3600) % 24, 2, 10, QLatin1Char('0'))
                                 .arg((second / 60) % 60, 2, 10, QLatin1Char('0'))
                                 .arg(second % 60, 2, 10, QLatin1Char('0'))
                                 .arg(i % 1000000, 6, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(tags[i % 8]))
                                 .arg(QString::fromLatin1(messages[(i * 7) % 8]).arg(i));
        chunk += line.toUtf8();
        if (chunk.size() > (1 << 20)) {
            written += file.write(chunk);
            chunk.clear();
        }
    }
    written += file.write(chunk);
}

double runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed().toDouble();
}

void BM_GrepCount(benchmark::State& state) {
    double lines = 0;
    for (auto _ : state)
        lines = runTool(QStringLiteral("grep"),
                        {QStringLiteral("-c"), QStringLiteral("-E"),
                         QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[^ ]+ +[^ ]+ +[^ ]+: "), logPath});
    state.counters["lines"] = lines;
}
BENCHMARK(BM_GrepCount)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AwkFields(benchmark::State& state) {
    double tags = 0;
    for (auto _ : state)
        tags = runTool(QStringLiteral("awk"),
                       {QStringLiteral("{ seen[$3]++ } END { print length(seen) }"), logPath});
    state.counters["tags"] = tags;
}
BENCHMARK(BM_AwkFields)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadAndParse(benchmark::State& state) {
    LogParsers::TextLogContext context;
    context.preferred = LogParsers::LineFormat::Iso;
    for (auto _ : state) {
        QFile file(logPath);
        file.open(QIODevice::ReadOnly);
        parsed = LogParsers::parseSysLog(file.readAll(), context);
    }
    state.counters["records"] = parsed.size();
}
BENCHMARK(BM_ReadAndParse)->Unit(benchmark::kMillisecond)->Iterations(3);

qint64 peakMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

void BM_FillSyslogPage(benchmark::State& state) {
    for (auto _ : state)
        tab->onSysLogDataReady(parsed);
    state.counters["rows"] = form->tableLogsSysLog->rowCount();
    state.counters["peak_MB"] = double(peakMemoryKb()) / 1024;
    state.counters["file_MB"] = double(QFileInfo(logPath).size()) / 1e6 * 1e6 / 1048576;
}
BENCHMARK(BM_FillSyslogPage)->Unit(benchmark::kMillisecond)->Iterations(2);

// One keystroke in the page's filter, with the work the table defers to the
// event loop. Typing "alice" into the empty filter hides three rows in four,
// deleting it shows them again: the most a keystroke changes.
void typeInFilter(const QString& text) {
    form->lineEditLogsSysLogFilter->setText(text);
    QCoreApplication::processEvents();
}

void BM_FilterKeystrokeChangingMost(benchmark::State& state) {
    bool typed = false;
    for (auto _ : state) {
        typed = !typed;
        typeInFilter(typed ? QStringLiteral("alice") : QString());
    }
    state.counters["rows_shown"] = form->labelLogsSysLogEntries->text().toInt();
}
BENCHMARK(BM_FilterKeystrokeChangingMost)->Unit(benchmark::kMillisecond)->Iterations(4);

// "alic" to "alice" and back: the search runs over every row, few change.
void BM_FilterKeystrokeChangingFew(benchmark::State& state) {
    typeInFilter(QStringLiteral("alic"));
    bool longer = false;
    for (auto _ : state) {
        longer = !longer;
        typeInFilter(longer ? QStringLiteral("alice") : QStringLiteral("alic"));
    }
    state.counters["rows_shown"] = form->labelLogsSysLogEntries->text().toInt();
    typeInFilter(QString());
}
BENCHMARK(BM_FilterKeystrokeChangingFew)->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    folder = new QTemporaryDir;
    logPath = folder->filePath(QStringLiteral("syslog"));
    const qint64 megabytes =
        qEnvironmentVariableIntValue("BENCH_LOG_MB") > 0 ? qEnvironmentVariableIntValue("BENCH_LOG_MB") : 100;
    generateLog(logPath, megabytes * 1000 * 1000);
    window = new QMainWindow;
    form = new Ui::MainWindow;
    form->setupUi(window);
    tab = new TabLogs(form, window);
    window->resize(1000, 700);
    window->show();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete window;
    delete form;
    delete folder;
    return 0;
}
