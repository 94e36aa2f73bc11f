// The capture side of scripts/measure-capture-loss: the Packet Sniffer page,
// shown, records on the interface named on the command line from a fresh
// (cleared) start until its standard input closes, then stops and prints
// what it kept, counted and lost, with its memory, as key=value pairs.
// Needs root (a live capture) and an X display (or QT_QPA_PLATFORM=offscreen).
#include "custompushbutton.h"
#include "tabnetworkingpacketsniffer.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

qint64 statusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    return 0;
}

void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INTERFACE\n", argv[0]);
        return 2;
    }
    const QString interfaceName = QString::fromLocal8Bit(argv[1]);
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    window.resize(1200, 800);
    window.show();
    auto* tab = new TabNetworkingPacketSniffer(&ui, &window);
    ui.tabWidgetMainTabs->setCurrentIndex(5);
    ui.tabWidgetNetworkingTabs->setCurrentWidget(ui.tabWidgetNetworkingPacketSniffer);
    CustomPushButton* chosen = nullptr;
    for (auto* button :
         ui.groupBoxNetworkingPacketSnifferNetworkInterfaces->findChildren<CustomPushButton*>())
        if (button->interfaceName() == interfaceName)
            chosen = button;
    if (!chosen) {
        std::fprintf(stderr, "no interface %s\n", argv[1]);
        return 1;
    }
    chosen->click();
    settle(300);
    WorkerNetworkingPacketSniffer* worker = tab->captureWorker();
    ui.pushButtonNetworkingPacketSnifferRecordStop->click();
    QElapsedTimer waited;
    waited.start();
    while (!worker->isCapturing() && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!worker->isCapturing())
        return 1;
    const qint64 idleKilobytes = statusKilobytes("VmRSS:");
    std::printf("ready\n");
    std::fflush(stdout);

    bool inputOpen = true;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            inputOpen = false;
        }
    });
    while (inputOpen)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);

    ui.pushButtonNetworkingPacketSnifferRecordStop->click();
    waited.start();
    while (worker->isCapturing() && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    settle(700); // the last batch reaches the tree
    std::printf("kept=%d not_kept=%lld kernel_drops=%llu queue_drops=%llu idle_rss_kb=%lld rss_kb=%lld "
                "peak_rss_kb=%lld\n",
                tab->packetCount(), static_cast<long long>(tab->captureCounts().notKept),
                static_cast<unsigned long long>(tab->captureCounts().kernelDrops),
                static_cast<unsigned long long>(tab->captureCounts().queueDrops), idleKilobytes,
                statusKilobytes("VmRSS:"), statusKilobytes("VmHWM:"));
    std::fflush(stdout);
    delete tab;
    return 0;
}
