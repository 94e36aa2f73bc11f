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
#include "loadingoverlay.h"
#include "logtablemodel.h"
#include "mainwindow.h"
#include "startup.h"
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

// xorshift: the same file on every run.
struct Random {
    quint64 state = 0x9E3779B97F4A7C15ull;
    quint32 next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return quint32(state >> 11);
    }
    int below(int n) { return int(next() % quint32(n)); }
};

void generateLog(const QString& path, qint64 bytes) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    Random random;
    QByteArray chunk;
    chunk.reserve(1 << 21);
    qint64 written = 0;
    // From 20 October: the file crosses the turn of the year.
    int month = 9, day = 20, seconds = 6 * 3600;
    double uptime = 0.5;
    int session = 1200;
    char line[1024];
    while (written + chunk.size() < bytes) {
        seconds += random.below(19);
        if (seconds >= 86400) {
            seconds -= 86400;
            if (++day > 28) {
                day = 1;
                month = (month + 1) % 12;
            }
        }
        uptime += random.below(4000) / 1000.0;
        // A reboot now and then: the kernel's uptime starts again, padded.
        if (random.below(150000) == 0)
            uptime = 0.5;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%s %2d %02d:%02d:%02d deb11", months[month], day, seconds / 3600,
                      (seconds / 60) % 60, seconds % 60);
        const int pick = random.below(100);
        const int pid = 300 + random.below(60000);
        int n = 0;
        if (pick < 26) {
            static const char* const units[] = {"apt-daily.service",     "logrotate.service",
                                                "man-db.service",        "anacron.service",
                                                "fwupd-refresh.service", "systemd-tmpfiles-clean.service",
                                                "packagekit.service"};
            const char* unit = units[random.below(7)];
            switch (random.below(4)) {
            case 0:
                n = std::snprintf(line, sizeof line, "%s systemd[1]: Starting %s...\n", stamp, unit);
                break;
            case 1:
                n = std::snprintf(line, sizeof line, "%s systemd[1]: %s: Deactivated successfully.\n", stamp,
                                  unit);
                break;
            case 2:
                n = std::snprintf(line, sizeof line,
                                  "%s systemd[1]: Started session-%d.scope - Session %d of User alice.\n",
                                  stamp, session, session);
                ++session;
                break;
            default:
                n = std::snprintf(line, sizeof line, "%s systemd[1]: Finished %s - Daily jobs.\n", stamp,
                                  unit);
            }
        } else if (pick < 37) {
            static const char* const kernel[] = {
                "audit: type=1400 audit(%d.%03d:%d): apparmor=\"DENIED\" operation=\"open\" pid=%d",
                "usb 1-%d: new high-speed USB device number %d using xhci_hcd",
                "IPv6: ADDRCONF(NETDEV_CHANGE): wlp2s0: link becomes ready",
                "wlp2s0: authenticated with 3c:84:6a:%02x:%02x:%02x (local address=a0:%02x:11:22:33:44)",
                "EXT4-fs (nvme0n1p2): warning: mounting fs with errors, running e2fsck is recommended",
            };
            char text[512];
            std::snprintf(text, sizeof text, kernel[random.below(5)], random.below(99), random.below(999),
                          random.below(99999), pid);
            n = std::snprintf(line, sizeof line, "%s kernel: [%12.6f] %s\n", stamp, uptime, text);
        } else if (pick < 47) {
            n = std::snprintf(line, sizeof line,
                              random.below(2)
                                  ? "%s CRON[%d]: (root) CMD (command -v debian-sa1 > /dev/null && "
                                    "debian-sa1 1 1)\n"
                                  : "%s CRON[%d]: pam_unix(cron:session): session closed for user root\n",
                              stamp, pid);
        } else if (pick < 53) {
            static const char* const messages[] = {
                "Accepted publickey for alice from 10.0.%d.%d port %d ssh2: ED25519 SHA256:Xq3mYvWb",
                "Connection closed by authenticating user root 203.0.%d.%d port %d [preauth]",
                "error: kex_exchange_identification: Connection reset by peer %d.%d.%d",
                "pam_unix(sshd:session): session closed for user alice"};
            char text[256];
            std::snprintf(text, sizeof text, messages[random.below(4)], random.below(255), random.below(255),
                          1024 + random.below(60000));
            n = std::snprintf(line, sizeof line, "%s sshd[%d]: %s\n", stamp, pid, text);
        } else if (pick < 59) {
            static const char* const messages[] = {
                "<info>  [%d.%04d] dhcp4 (wlp2s0): state changed new lease, address=192.168.1.%d",
                "<info>  [%d.%04d] device (wlp2s0): supplicant interface state: completed -> 4way_handshake "
                "%d",
                "<warn>  [%d.%04d] device (wlp2s0): link timed out. %d",
                "<info>  [%d.%04d] manager: NetworkManager state is now CONNECTED_GLOBAL"};
            char text[256];
            std::snprintf(text, sizeof text, messages[random.below(4)], 1700000000 + random.below(9999999),
                          random.below(9999), random.below(255));
            n = std::snprintf(line, sizeof line, "%s NetworkManager[612]: %s\n", stamp, text);
        } else if (pick < 64) {
            static const char* const services[] = {"hostname1", "timedate1", "locale1", "PackageKit",
                                                   "fwupd"};
            n = std::snprintf(line, sizeof line,
                              random.below(3)
                                  ? "%s dbus-daemon[512]: [system] Successfully activated service "
                                    "'org.freedesktop.%s'\n"
                                  : "%s dbus-daemon[512]: [system] Activating via systemd: service "
                                    "name='org.freedesktop.%s' unit='dbus-org.freedesktop.%s.service'\n",
                              stamp, services[random.below(5)], services[random.below(5)]);
        } else if (pick < 69) {
            static const char* const messages[] = {
                "Window manager warning: Overwriting existing binding of keysym %d with keysym %d",
                "JS ERROR: TypeError: this._settings is null @ ui/panel.js:%d",
                "libinput error: event%d - SynPS/2 Synaptics TouchPad: Touch jump detected"};
            char text[256];
            std::snprintf(text, sizeof text, messages[random.below(3)], random.below(99), random.below(99));
            n = std::snprintf(line, sizeof line, "%s gnome-shell[1403]: %s\n", stamp, text);
        } else if (pick < 73) {
            n = std::snprintf(
                line, sizeof line,
                "%s pulseaudio[1512]: E: [alsa-sink-ALC257] Error opening PCM device front:%d\n", stamp,
                random.below(3));
        } else if (pick < 77) {
            static const char* const daemons[] = {"avahi-daemon[470]", "colord[1020]", "thermald[498]",
                                                  "cupsd[780]",        "snapd[505]",   "rsyslogd[402]"};
            n = std::snprintf(line, sizeof line, "%s %s: %s %d\n", stamp, daemons[random.below(6)],
                              random.below(2) ? "Joining mDNS multicast group on interface wlp2s0.IPv4"
                                              : "Sensor reading out of range, limiting to quiet profile",
                              random.below(999));
        } else if (pick < 99) {
            static const char* const shortLines[] = {
                "%s systemd-logind[455]: New session %d of user alice.\n",
                "%s systemd-logind[455]: Removed session %d.\n",
                "%s kernel: [%d.%06d] wlp2s0: associated\n",
                "%s anacron[433]: Normal exit (%d job run)\n",
                "%s systemd[1]: Reloading requested from client PID %d.\n",
                "%s sudo: pam_unix(sudo:session): session closed for user root %d\n",
                "%s rtkit-daemon[888]: Supervising %d threads of 4 processes of 1 users.\n",
                "%s systemd[1640]: Started app-gnome-%d.scope.\n"};
            n = std::snprintf(line, sizeof line, shortLines[random.below(8)], stamp,
                              session + random.below(9), random.below(999999));
        } else {
            // rsyslog's mark lines fit no line pattern.
            n = std::snprintf(line, sizeof line, "%s -- MARK --\n", stamp);
        }
        chunk.append(line, qMin(n, int(sizeof line) - 1));
        if (chunk.size() > (1 << 20)) {
            written += file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
}

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

// One load of the page in this process; prints "name=value" pairs.
int runPage(const QString& logFile) {
    QTemporaryDir root, tools;
    QDir().mkpath(root.filePath(QStringLiteral("etc")));
    QDir().mkpath(root.filePath(QStringLiteral("var/log")));
    QFile version(root.filePath(QStringLiteral("etc/debian_version")));
    version.open(QIODevice::WriteOnly);
    version.write("11.9\n");
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

std::map<std::string, double> runPageProcess(const QString& self, const QString& logFile) {
    QProcess page;
    page.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    page.start(self, {QStringLiteral("--page"), logFile});
    page.waitForFinished(-1);
    std::map<std::string, double> figures;
    for (const QByteArray& line : page.readAllStandardOutput().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            figures[line.left(equals).toStdString()] = line.mid(equals + 1).toDouble();
    }
    if (page.exitCode() != 0)
        std::fprintf(stderr, "page run failed with %d\n", page.exitCode());
    return figures;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
        generateLog(arguments.value(1), option("--mb", QStringLiteral("100")).toLongLong() * 1000 * 1000);
        return 0;
    }
    if (arguments.value(0) == QLatin1String("--page")) {
        qunsetenv("SUDO_USER");
        QApplication app(argc, argv);
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
        registerSharedMetaTypes();
        installQuitHandling(app);
        return runPage(arguments.value(1));
    }

    QCoreApplication app(argc, argv);
    const int pairs = option("--pairs", QStringLiteral("5")).toInt();
    QTemporaryDir folder;
    QString logFile = option("--file", QString());
    if (logFile.isEmpty()) {
        logFile = folder.filePath(QStringLiteral("syslog"));
        generateLog(logFile, option("--mb", QStringLiteral("100")).toLongLong() * 1000 * 1000);
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
