// The Packet Sniffer page under the real X server.
// BM_BatchInsert: 100,000 packets, kept by the capture's own path, handed to
// the page in batches of 500 (the worker's 500 ms batches), without and with
// a filter text set, on a shown window. Reports the slowest batch once the
// tree holds 99,500 rows and the memory the packets and rows take.
// BM_CaptureClearCapture: a live capture on loopback (in a network namespace
// of the benchmark's own, so run it as root) flooded with 64-byte datagrams
// until the page holds its 200,000 packets, then Clear, the same again, and
// Clear (the flood goes on for 5 s past the cap each time): the resident
// size at each step beside the packet count.
#include "custompushbutton.h"
#include "tabnetworkingpacketsniffer.h"
#include "ui_mainwindow.h"
#include "workernetworkingpacketsniffer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMainWindow>

#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A TCP or UDP frame of 74 to 113 bytes between a few hosts.
QByteArray frame(int i) {
    QByteArray bytes(74 + i % 40, 'x');
    auto put = [&bytes](int at, quint32 value, int count) {
        for (int b = 0; b < count; ++b)
            bytes[at + b] = char(value >> (8 * (count - 1 - b)));
    };
    bytes.replace(0, 12, QByteArray::fromHex("0200000000010a1b2c3d4e5f"));
    put(12, 0x0800, 2);
    put(14, 0x45, 1);
    put(16, quint32(60 + i % 40), 2);
    put(20, 0, 2);
    put(23, i % 3 ? 6 : 17, 1);
    put(26, 0xC0A80100 | quint32(i % 250), 4);
    put(30, 0x0A000000 | quint32(i % 7) << 8 | quint32(i % 200), 4);
    put(34, quint32(1024 + i % 60000), 2);
    put(36, 443, 2);
    put(46, 0x50, 1);
    return bytes;
}

CapturedPacket packet(WorkerNetworkingPacketSniffer& worker, int i) {
    static const char* applications[] = {"firefox", "sshd",   "systemd-resolve",
                                         "Unknown", "chrome", "dnsmasq"};
    const QByteArray bytes = frame(i);
    CapturedPacket kept;
    worker.keepFrame(qint64(1718193600) * 1000000 + qint64(i) * 1000,
                     reinterpret_cast<const uchar*>(bytes.constData()), quint32(bytes.size()), kept);
    kept.application = QString::fromLatin1(applications[i % 6]);
    kept.direction = i % 2 ? PacketDirection::Incoming : PacketDirection::Outgoing;
    return kept;
}

qint64 residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

void BM_BatchInsert(benchmark::State& state) {
    const bool filtered = state.range(0) != 0;
    constexpr int Total = 100000, Batch = 500;
    double slowestLateMs = 0, totalMs = 0;
    qint64 memoryPerPacket = 0;
    for (auto _ : state) {
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        window.resize(1200, 800);
        window.show();
        QApplication::processEvents();
        auto* tab = new TabNetworkingPacketSniffer(&ui, &window);
        ui.tabWidgetMainTabs->setCurrentIndex(5);
        ui.tabWidgetNetworkingTabs->setCurrentWidget(ui.tabWidgetNetworkingPacketSniffer);
        if (filtered)
            ui.lineEditNetworkingPacketSnifferFilter->setText(QStringLiteral("udp"));
        QApplication::processEvents();
        WorkerNetworkingPacketSniffer* worker = tab->captureWorker();
        worker->setKeepLimit(Total);
        const qint64 before = residentKilobytes();
        QElapsedTimer timer;
        for (int start = 0; start < Total; start += Batch) {
            PacketBatch batch;
            for (int i = start; i < start + Batch; ++i)
                batch.packets << packet(*worker, i);
            timer.start();
            tab->onPacketsDataReady(batch);
            tab->updateGroupLabels();
            if (start == 0) // a user looks into every group
                ui.treeWidgetNetworkingPacketSnifferPacketListTree->expandAll();
            QApplication::processEvents(); // the repaint is part of the cost
            const double ms = timer.nsecsElapsed() / 1e6;
            totalMs += ms;
            if (start + Batch >= Total)
                slowestLateMs = qMax(slowestLateMs, ms);
        }
        memoryPerPacket = (residentKilobytes() - before) * 1024 / Total;
        delete tab;
    }
    state.counters["last_batch_ms"] = slowestLateMs;
    state.counters["mean_batch_ms"] = totalMs / (Total / Batch) / state.iterations();
    state.counters["bytes_per_packet"] = double(memoryPerPacket);
    state.counters["cap_MB"] =
        double(memoryPerPacket) * TabNetworkingPacketSniffer::MaxPackets / (1024.0 * 1024.0);
}
BENCHMARK(BM_BatchInsert)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

bool loopbackOfOurOwn() {
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    const int control = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    ::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(control, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(control, SIOCSIFFLAGS, &request) == 0;
    ::close(control);
    return up;
}

// 64-byte datagrams to a socket that never reads, as fast as they go.
class Flood {
public:
    Flood() {
        sink = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(sink, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(sink, reinterpret_cast<sockaddr*>(&address), &length);
        sender = std::thread([this, address] {
            const int out = ::socket(AF_INET, SOCK_DGRAM, 0);
            ::connect(out, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            char payload[64] = {};
            iovec data{payload, sizeof payload};
            mmsghdr messages[64] = {};
            for (mmsghdr& message : messages) {
                message.msg_hdr.msg_iov = &data;
                message.msg_hdr.msg_iovlen = 1;
            }
            while (running)
                ::sendmmsg(out, messages, 64, 0);
            ::close(out);
        });
    }
    ~Flood() {
        running = false;
        sender.join();
        ::close(sink);
    }

private:
    int sink = -1;
    std::atomic<bool> running{true};
    std::thread sender;
};

void BM_CaptureClearCapture(benchmark::State& state) {
    static const bool ownNetwork = loopbackOfOurOwn();
    if (!ownNetwork) {
        state.SkipWithError("needs root for a network namespace of its own");
        return;
    }
    for (auto _ : state) {
        QMainWindow window;
        Ui::MainWindow ui;
        ui.setupUi(&window);
        window.resize(1200, 800);
        window.show();
        auto* tab = new TabNetworkingPacketSniffer(&ui, &window);
        ui.tabWidgetMainTabs->setCurrentIndex(5);
        ui.tabWidgetNetworkingTabs->setCurrentWidget(ui.tabWidgetNetworkingPacketSniffer);
        for (auto* button :
             ui.groupBoxNetworkingPacketSnifferNetworkInterfaces->findChildren<CustomPushButton*>())
            if (button->interfaceName() == QLatin1String("lo"))
                button->click();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        std::printf("%-34s %10s %10s\n", "step", "packets", "RSS (MB)");
        auto report = [&](const char* step, const char* counter) {
            const double megabytes = residentKilobytes() / 1024.0;
            std::printf("%-34s %10d %10.1f\n", step, tab->packetCount(), megabytes);
            std::fflush(stdout);
            state.counters[counter] = megabytes;
        };
        report("idle", "idle_MB");
        for (int round = 1; round <= 2; ++round) {
            ui.pushButtonNetworkingPacketSnifferRecordStop->click();
            {
                Flood flood;
                QElapsedTimer timer;
                timer.start();
                while (tab->packetCount() < TabNetworkingPacketSniffer::MaxPackets &&
                       timer.elapsed() < 120000)
                    QApplication::processEvents(QEventLoop::AllEvents, 50);
                // The flood goes on past the cap for a while, as floods do.
                timer.start();
                while (timer.elapsed() < 5000)
                    QApplication::processEvents(QEventLoop::AllEvents, 50);
            }
            ui.pushButtonNetworkingPacketSnifferRecordStop->click();
            QElapsedTimer drain;
            drain.start();
            while (drain.elapsed() < 1500) // the last batch and the stop
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            report(round == 1 ? "captured" : "captured again", round == 1 ? "full_MB" : "full2_MB");
            if (round == 1) { // a user sorts the full page by a column
                QElapsedTimer sorting;
                sorting.start();
                ui.treeWidgetNetworkingPacketSnifferPacketListTree->header()->sectionClicked(2);
                QApplication::processEvents();
                state.counters["sort_by_address_ms"] = double(sorting.elapsed());
                std::printf("%-34s %10s %10lld ms\n", "sort by source address", "", sorting.elapsed());
            }
            ui.pushButtonNetworkingPacketSnifferClear->click();
            QApplication::processEvents();
            report(round == 1 ? "cleared" : "cleared again", round == 1 ? "cleared_MB" : "cleared2_MB");
        }
        delete tab;
    }
}
BENCHMARK(BM_CaptureClearCapture)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
