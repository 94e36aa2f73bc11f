// The Syslog page as a user meets it, on a big classic syslog, beside awk
// reading the same file in the same run.
//
//   bench_logs [--mb 100] [--pairs 5] [--file PATH]
//
// Generates a realistic month-name syslog (about 1.1 million lines in 100 MB:
// systemd, kernel, cron, sshd, NetworkManager, dbus, desktop and audio
// daemons, mark lines) unless a file is given, then runs pairs of
//   awk   awk '{print $5}' FILE > /dev/null, wall time;
//   page  a fresh process with the whole main window over a temporary root
//         whose /var/log/syslog is the file: the time from the click on the
//         Logs tab until the Entries count is final, the peak memory (VmHWM)
//         after it and its rise above the memory in use at the click, a
//         click on the Service header until the rows are sorted (with the
//         longest stall of the event loop meanwhile), one filter keystroke
//         that hides every row and the Backspace that shows them again, and,
//         sorted by time again as at first, a Reload with its own peak.
// The two alternate (awk first in even pairs, the page first in odd ones);
// medians are printed with the load average. --generate PATH only writes
// the log.
//
//   bench_logs --hostile [--pairs 5]
//   bench_logs --parse FILE syslog|kern [classic]
//
// Lines any local account can write: 200 lines of 8 KB, and one line of
// 1 MB, whose head fits no line pattern (a logger tag with a blank in it),
// followed by month-name heads whose tags open a bracket that never closes;
// and for the Kern.log page kernel texts of "a[" over and over. Each is set beside a plain file of the same
// size whose lines have the usual head, and alternated with awk on the same
// file: the Syslog page's load in a fresh process (until the Entries count
// is final), and the parse alone of each page's reader. A run still going
// after two minutes is stopped and shown as ">120000".
#include "loadingoverlay.h"
#include "logparsers.h"
#include "logtable.h"
#include "logtablemodel.h"
#include "mainwindow.h"
#include "startup.h"
#include "sysloggenerator.h"
#include "systempaths.h"
#include "tablogs.h"
#include "ui_mainwindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

namespace {

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

qint64 statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    return 0;
}

qint64 peakMemoryKb() {
    return statusKb("VmHWM:");
}

// The peak so far becomes the memory in use now.
void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The longest time the event loop went without running a 5 ms timer.
class StallMeter {
public:
    StallMeter() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { longest = qMax(longest, sinceTick.restart()); });
    }
    void start() {
        longest = 0;
        sinceTick.start();
        timer.start();
    }
    qint64 stop() {
        timer.stop();
        return qMax(longest, sinceTick.elapsed());
    }

private:
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
};

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 600000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void click(QWidget* widget, const QPoint& at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

void typeKey(QWidget* widget, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

void idle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool sortedByColumn(QAbstractItemModel* model, int column) {
    const int rows = model->rowCount();
    if (rows < 2)
        return true;
    for (int row = 1; row < qMin(rows, 500); ++row)
        if (model->index(row, column).data().toString() < model->index(row - 1, column).data().toString())
            return false;
    return !(model->index(rows - 1, column).data().toString() < model->index(0, column).data().toString());
}

// One load of the page in this process; prints "name=value" pairs. With
// loadOnly the load is all it measures.
int runPage(const QString& logFile, const QByteArray& debianVersion, bool loadOnly) {
    QTemporaryDir root, tools;
    QDir().mkpath(root.filePath(QStringLiteral("etc")));
    QDir().mkpath(root.filePath(QStringLiteral("var/log")));
    QFile version(root.filePath(QStringLiteral("etc/debian_version")));
    version.open(QIODevice::WriteOnly);
    version.write(debianVersion);
    version.close();
    QFile::link(QFileInfo(logFile).absoluteFilePath(), root.filePath(QStringLiteral("var/log/syslog")));
    SystemPaths::setRootPrefix(root.path());
    // No tool of this machine runs: the other pages load empty.
    SystemPaths::setSearchPath({tools.path()});

    MainWindow window;
    window.resize(1200, 800);
    window.show();
    if (!waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10000))
        return 1;
    idle(500);
    Ui::MainWindow* ui = window.form();
    auto* tab = window.findChild<TabLogs*>();
    QTableView* table = ui->tableLogsSysLog;
    StallMeter stalls;
    QElapsedTimer clock;
    std::map<std::string, double> figures;

    const double before = statusKb("VmRSS:") / 1024.0;
    stalls.start();
    clock.start();
    ui->tabWidgetMainTabs->setCurrentIndex(7);
    if (!waitUntil([&] { return tab->isInitialized() && !tab->overlay(TabLogs::SysLog)->isVisible(); }))
        return 2;
    figures["load_ms"] = clock.elapsed();
    figures["load_stall_ms"] = stalls.stop();
    figures["rows"] = ui->labelLogsSysLogEntries->text().toDouble();
    figures["peak_mb"] = peakMemoryKb() / 1024.0;
    figures["load_rise_mb"] = figures["peak_mb"] - before;
    if (loadOnly) {
        for (const auto& [name, value] : figures)
            std::printf("%s=%.1f\n", name.c_str(), value);
        std::fflush(stdout);
        return 0;
    }
    idle(200);

    // A click on the Service header.
    QHeaderView* header = table->horizontalHeader();
    stalls.start();
    clock.start();
    click(header->viewport(), QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
    if (!waitUntil([&] { return header->sortIndicatorSection() == 1 && sortedByColumn(table->model(), 1); }))
        return 3;
    figures["sort_ms"] = clock.elapsed();
    figures["sort_stall_ms"] = stalls.stop();
    idle(200);

    // "~" is in no line: one keystroke hides every row, Backspace shows them.
    QLineEdit* filter = ui->lineEditLogsSysLogFilter;
    clock.start();
    typeKey(filter, Qt::Key_AsciiTilde, QStringLiteral("~"));
    QCoreApplication::processEvents();
    figures["filter_hide_ms"] = clock.elapsed();
    figures["rows_after_keystroke"] = ui->labelLogsSysLogEntries->text().toDouble();
    clock.start();
    typeKey(filter, Qt::Key_Backspace, QString());
    QCoreApplication::processEvents();
    figures["filter_show_ms"] = clock.elapsed();
    idle(200);

    // Reload as the page was first loaded, newest first by time.
    header->setSortIndicator(0, Qt::DescendingOrder);
    waitUntil([&] { return !tab->model(TabLogs::SysLog)->isSorting(); });
    idle(200);

    clock.start();
    // The click lets the rows go; the peak is what reading them again costs.
    ui->pushButtonLogsSysLogReload->click();
    resetPeakMemory();
    const double cleared = statusKb("VmRSS:") / 1024.0;
    if (!waitUntil([&] { return !tab->overlay(TabLogs::SysLog)->isVisible(); }))
        return 4;
    figures["reload_ms"] = clock.elapsed();
    figures["reload_peak_mb"] = peakMemoryKb() / 1024.0;
    figures["reload_rise_mb"] = figures["reload_peak_mb"] - cleared;

    for (const auto& [name, value] : figures)
        std::printf("%s=%.1f\n", name.c_str(), value);
    std::fflush(stdout);
    return 0;
}

double runAwk(const QString& logFile) {
    QProcess awk;
    awk.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    awk.start(QStringLiteral("awk"), {QStringLiteral("{print $5}"), logFile});
    awk.waitForFinished(-1);
    return double(clock.elapsed());
}

// A run that takes longer than this is stopped.
constexpr int childLimitMs = 120000;

std::map<std::string, double> runChild(const QString& self, const QStringList& arguments) {
    QProcess page;
    page.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    page.start(self, arguments);
    std::map<std::string, double> figures;
    if (!page.waitForFinished(childLimitMs)) {
        page.kill();
        page.waitForFinished(-1);
        figures["timed_out"] = 1;
        return figures;
    }
    for (const QByteArray& line : page.readAllStandardOutput().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            figures[line.left(equals).toStdString()] = line.mid(equals + 1).toDouble();
    }
    if (page.exitCode() != 0)
        std::fprintf(stderr, "page run failed with %d\n", page.exitCode());
    return figures;
}

std::map<std::string, double> runPageProcess(const QString& self, const QString& logFile) {
    return runChild(self, {QStringLiteral("--page"), logFile});
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The hostile files and their plain twins: lines as long as the hostile
// ones, with the same text after the usual head.
struct HostileCase {
    const char* name;
    const char* log; // "syslog" or "kern"
    int lines;
    int lineBytes;
    bool hostile;
};

const HostileCase hostileCases[] = {
    {"syslog 200 x 8 KB, plain", "syslog", 200, 8192, false},
    {"syslog 200 x 8 KB, hostile", "syslog", 200, 8192, true},
    {"syslog 1 MB line, plain", "syslog", 1, 1 << 20, false},
    {"syslog 1 MB line, hostile", "syslog", 1, 1 << 20, true},
    {"kern 200 x 8 KB, plain", "kern", 200, 8192, false},
    {"kern 200 x 8 KB, hostile", "kern", 200, 8192, true},
    {"kern 1 MB line, plain", "kern", 1, 1 << 20, false},
    {"kern 1 MB line, hostile", "kern", 1, 1 << 20, true},
};

void writeHostileFile(const QString& path, const HostileCase& c) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    for (int line = 0; line < c.lines; ++line) {
        QByteArray text =
            QByteArray("2026-12-07T10:20:") + QByteArray::number(10 + line % 50) + ".123456+01:00 deb12 ";
        QByteArray filler;
        if (QByteArray(c.log) == "syslog") {
            // logger -t "my tag" "Mar 1 1:1:1 h [x Mar 1 ...": a blank in the
            // tag, then a month-name head over and over, each with a bracket
            // that never closes.
            text += c.hostile ? "my tag: " : "mytag[4242]: ";
            filler = "Mar 1 1:1:1 h [x ";
        } else {
            // A first word of "a[" with no closing bracket.
            text += "kernel: [ 1234.567890] ";
            filler = c.hostile ? "a[" : "ab";
        }
        while (text.size() < c.lineBytes - 2)
            text += filler;
        text.truncate(c.lineBytes - 2);
        text += ":\n";
        file.write(text);
    }
}

// Parses the file as each page of its kind would, several times when that
// is quick; prints the fastest run of each. Lines are tried in the ISO
// format first, in the month-name one when classic is set.
int runParse(const QString& logFile, const QString& log, bool classic) {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray text = file.readAll();
    LogParsers::TextLogContext context;
    context.preferred = classic ? LogParsers::LineFormat::Classic : LogParsers::LineFormat::Iso;
    const std::vector<std::pair<const char*, LogParsers::TextLog>> logs =
        log == QLatin1String("kern")
            ? std::vector<std::pair<const char*, LogParsers::TextLog>>{{"kern_ms",
                                                                        LogParsers::TextLog::KernLog}}
            : std::vector<std::pair<const char*, LogParsers::TextLog>>{
                  {"syslog_ms", LogParsers::TextLog::SysLog}, {"auth_ms", LogParsers::TextLog::AuthLog}};
    for (const auto& [name, which] : logs) {
        double best = 1e18;
        QElapsedTimer total;
        total.start();
        for (int run = 0; run < 5 && (run == 0 || total.elapsed() < 300); ++run) {
            QElapsedTimer clock;
            clock.start();
            const std::shared_ptr<LogTable> table = LogParsers::parseTextLog(which, text, context);
            best = std::min(best, clock.nsecsElapsed() / 1e6);
            if (table->rowCount() == 0)
                return 2;
        }
        std::printf("%s=%.3f\n", name, best);
    }
    std::fflush(stdout);
    return 0;
}

int runHostile(const QString& self, int pairs) {
    QTemporaryDir folder;
    std::printf("load average before: %s\n", qPrintable(loadAverage()));
    std::map<std::string, std::map<std::string, std::vector<double>>> results;
    for (const HostileCase& c : hostileCases) {
        const QString path =
            folder.filePath(QString::fromLatin1(c.name).replace(QLatin1Char(' '), QLatin1Char('_')));
        writeHostileFile(path, c);
        const bool syslog = QByteArray(c.log) == "syslog";
        auto& figures = results[c.name];
        for (int pair = 0; pair < pairs; ++pair) {
            const auto measure = [&] {
                std::map<std::string, double> page;
                if (syslog) {
                    page = runChild(self, {QStringLiteral("--page"), path, QStringLiteral("--version"),
                                           QStringLiteral("12.5"), QStringLiteral("--load-only")});
                    figures["page_load_ms"].push_back(page.count("timed_out") ? childLimitMs + 1
                                                                              : page["load_ms"]);
                }
                const std::map<std::string, double> parse =
                    runChild(self, {QStringLiteral("--parse"), path, QString::fromLatin1(c.log)});
                for (const char* name : {"syslog_ms", "auth_ms", "kern_ms"}) {
                    if (parse.count("timed_out") && (syslog ? name[0] != 'k' : name[0] == 'k'))
                        figures[name].push_back(childLimitMs + 1);
                    else if (parse.count(name))
                        figures[name].push_back(parse.at(name));
                }
            };
            if (pair % 2 == 0) {
                figures["awk_ms"].push_back(runAwk(path));
                measure();
            } else {
                measure();
                figures["awk_ms"].push_back(runAwk(path));
            }
        }
        std::printf("%-28s", c.name);
        for (const auto& [name, values] : figures)
            std::printf("  %s %.3f", name.c_str(), median(values));
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\nmedians over %d pairs (load average after: %s); hostile / plain:\n", pairs,
                qPrintable(loadAverage()));
    for (size_t i = 0; i + 1 < std::size(hostileCases); i += 2) {
        const auto& plain = results[hostileCases[i].name];
        const auto& hostile = results[hostileCases[i + 1].name];
        std::printf("  %-28s", hostileCases[i + 1].name);
        for (const auto& [name, values] : hostile)
            std::printf("  %s %.2fx", name.c_str(), median(values) / std::max(1e-6, median(plain.at(name))));
        std::printf("\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    const auto option = [&](const char* name, const QString& fallback) {
        const int at = arguments.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : fallback;
    };

    if (arguments.value(0) == QLatin1String("--generate")) {
        generateSyslog(arguments.value(1), option("--mb", QStringLiteral("100")).toLongLong() * 1000 * 1000);
        return 0;
    }
    if (arguments.value(0) == QLatin1String("--page")) {
        qunsetenv("SUDO_USER");
        QApplication app(argc, argv);
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
        registerSharedMetaTypes();
        installQuitHandling(app);
        return runPage(arguments.value(1), option("--version", QStringLiteral("11.9")).toLatin1() + '\n',
                       arguments.contains(QLatin1String("--load-only")));
    }

    QCoreApplication app(argc, argv);
    if (arguments.value(0) == QLatin1String("--parse"))
        return runParse(arguments.value(1), arguments.value(2),
                        arguments.value(3) == QLatin1String("classic"));
    const int pairs = option("--pairs", QStringLiteral("5")).toInt();
    if (arguments.value(0) == QLatin1String("--hostile"))
        return runHostile(QCoreApplication::applicationFilePath(), pairs);
    QTemporaryDir folder;
    QString logFile = option("--file", QString());
    if (logFile.isEmpty()) {
        logFile = folder.filePath(QStringLiteral("syslog"));
        generateSyslog(logFile, option("--mb", QStringLiteral("100")).toLongLong() * 1000 * 1000);
    }
    QProcess lines;
    lines.start(QStringLiteral("wc"), {QStringLiteral("-l"), logFile});
    lines.waitForFinished(-1);
    std::printf("file: %s, %.1f MB, %s lines; load average before: %s\n", qPrintable(logFile),
                QFileInfo(logFile).size() / 1e6,
                lines.readAllStandardOutput().trimmed().split(' ').first().constData(),
                qPrintable(loadAverage()));

    std::vector<double> awk;
    std::map<std::string, std::vector<double>> page;
    for (int pair = 0; pair < pairs; ++pair) {
        std::map<std::string, double> figures;
        if (pair % 2 == 0) {
            awk.push_back(runAwk(logFile));
            figures = runPageProcess(QCoreApplication::applicationFilePath(), logFile);
        } else {
            figures = runPageProcess(QCoreApplication::applicationFilePath(), logFile);
            awk.push_back(runAwk(logFile));
        }
        std::printf("pair %d: awk %.0f ms, page", pair + 1, awk.back());
        for (const auto& [name, value] : figures) {
            std::printf(" %s=%.1f", name.c_str(), value);
            page[name].push_back(value);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    const double awkMedian = median(awk);
    std::printf("\nmedians over %d pairs (load average after: %s)\n", pairs, qPrintable(loadAverage()));
    std::printf("  awk '{print $5}'        %8.0f ms\n", awkMedian);
    for (const auto& [name, values] : page)
        std::printf("  %-24s %8.1f\n", name.c_str(), median(values));
    std::printf("  load / awk              %8.2fx\n", median(page["load_ms"]) / awkMedian);
    std::printf("  peak / file             %8.2fx\n",
                median(page["peak_mb"]) * 1048576.0 / double(QFileInfo(logFile).size()));
    return 0;
}
