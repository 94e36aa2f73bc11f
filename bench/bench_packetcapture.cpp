// Packet decoding of a generated capture file of 1,000,000 small frames
// through what the capture's decoding thread does with each (checks,
// direction, application, the copy that is kept),
// timed beside `tcpdump -nn -r` on the same file in the same run; and name
// lookups while the connection table refreshes over 10,000 sockets.
#include "connectionmapper.h"
#include "systempaths.h"
#include "workernetworkingpacketsniffer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <benchmark/benchmark.h>
#include <pcap/pcap.h>
#include <sys/resource.h>
#include <thread>

namespace {

constexpr int FrameCount = 1000000;

// TCP and UDP frames between a few hosts, 60 to 120 bytes each.
QString writeCapture(const QString& path) {
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65535);
    pcap_dumper_t* dumper = pcap_dump_open(dead, QFile::encodeName(path).constData());
    unsigned char frame[128] = {};
    for (int i = 0; i < FrameCount; ++i) {
        const bool tcp = i % 3 != 0;
        const int payload = 6 + i % 60;
        const int ipLength = 20 + (tcp ? 20 : 8) + payload;
        memset(frame, 0, sizeof frame);
        frame[5] = 1;
        frame[11] = 2;
        frame[12] = 0x08;
        frame[14] = 0x45;
        frame[16] = quint8(ipLength >> 8);
        frame[17] = quint8(ipLength);
        frame[22] = 64;
        frame[23] = tcp ? 6 : 17;
        frame[26] = 192, frame[27] = 168, frame[28] = 1, frame[29] = quint8(10 + i % 4);
        frame[30] = 10, frame[31] = 0, frame[32] = 0, frame[33] = quint8(1 + i % 7);
        frame[34] = quint8(0x9C + i % 3);
        frame[35] = 0x40;
        frame[36] = 0x01;
        frame[37] = 0xBB;
        pcap_pkthdr header{};
        header.ts.tv_sec = 1718193600 + i / 1000;
        header.ts.tv_usec = (i % 1000) * 1000;
        header.caplen = header.len = quint32(qMax(60, 14 + ipLength));
        pcap_dump(reinterpret_cast<u_char*>(dumper), &header, frame);
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
    return path;
}

QTemporaryDir& workDir() {
    static QTemporaryDir dir;
    return dir;
}

QString captureFile() {
    static const QString path = writeCapture(workDir().filePath("bench.pcap"));
    return path;
}

struct DecodeState {
    WorkerNetworkingPacketSniffer* worker;
    qint64 decoded = 0;
};

void decodeOne(u_char* user, const pcap_pkthdr* header, const u_char* bytes) {
    auto* state = reinterpret_cast<DecodeState*>(user);
    CapturedPacket packet;
    const qint64 time = qint64(header->ts.tv_sec) * 1000000 + header->ts.tv_usec;
    if (state->worker->keepFrame(time, bytes, header->caplen, packet))
        ++state->decoded;
    benchmark::DoNotOptimize(packet);
}

void BM_DecodeCaptureFile(benchmark::State& state) {
    const QString file = captureFile();
    WorkerNetworkingPacketSniffer worker;
    worker.setKeepLimit(FrameCount);
    for (auto _ : state) {
        worker.resetKept();
        char error[PCAP_ERRBUF_SIZE];
        pcap_t* offline = pcap_open_offline(QFile::encodeName(file).constData(), error);
        DecodeState decode{&worker};
        pcap_loop(offline, 0, decodeOne, reinterpret_cast<u_char*>(&decode));
        pcap_close(offline);
        if (decode.decoded != FrameCount)
            state.SkipWithError("not every frame decoded");
    }
    state.counters["packets_per_s"] =
        benchmark::Counter(double(FrameCount) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeCaptureFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The peer: tcpdump reading and printing the same file, output discarded.
void BM_TcpdumpReadsCaptureFile(benchmark::State& state) {
    const QString file = captureFile();
    for (auto _ : state) {
        QProcess tcpdump;
        tcpdump.setStandardOutputFile(QProcess::nullDevice());
        tcpdump.setStandardErrorFile(QProcess::nullDevice());
        tcpdump.start("tcpdump", {"-nn", "-r", file});
        if (!tcpdump.waitForFinished(120000) || tcpdump.exitCode() != 0)
            state.SkipWithError("tcpdump failed");
    }
    state.counters["packets_per_s"] =
        benchmark::Counter(double(FrameCount) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TcpdumpReadsCaptureFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A fixture /proc with 10,000 TCP sockets held by 1,000 processes.
void writeSocketTables(const QString& root) {
    QDir().mkpath(root + "/proc/net");
    QFile tcp(root + "/proc/net/tcp");
    tcp.open(QIODevice::WriteOnly);
    tcp.write(
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n");
    for (int i = 0; i < 10000; ++i)
        tcp.write(QStringLiteral("%1: 0A01A8C0:%2 %3A8C0:01BB 01 00000000:00000000 00:00000000 00000000 "
                                 "1000 0 %4 1 0000000000000000 20 4 30 10 -1\n")
                      .arg(i)
                      .arg(1024 + i, 4, 16, QLatin1Char('0'))
                      .arg(i % 250, 4, 16, QLatin1Char('0'))
                      .arg(100000 + i)
                      .toUpper()
                      .toLatin1());
    for (const char* name : {"udp", "tcp6", "udp6"}) {
        QFile empty(root + "/proc/net/" + name);
        empty.open(QIODevice::WriteOnly);
        empty.write("header\n");
    }
    for (int pid = 1; pid <= 1000; ++pid) {
        const QString dir = root + QStringLiteral("/proc/%1").arg(pid);
        QDir().mkpath(dir + "/fd");
        QFile comm(dir + "/comm");
        comm.open(QIODevice::WriteOnly);
        comm.write("proc" + QByteArray::number(pid) + "\n");
        for (int k = 0; k < 10; ++k)
            QFile::link(QStringLiteral("socket:[%1]").arg(100000 + (pid - 1) * 10 + k),
                        dir + QStringLiteral("/fd/%1").arg(k + 3));
    }
}

void BM_LookupDuringRefresh(benchmark::State& state) {
    QTemporaryDir root;
    writeSocketTables(root.path());
    SystemPaths::setRootPrefix(root.path());
    ConnectionMapper mapper;
    mapper.refreshConnections();
    std::atomic<bool> running{true};
    std::atomic<int> refreshes{0};
    // Argument 0 runs the same lookups without refreshes, as the reference for
    // the scheduling noise of a loaded machine.
    const bool refreshing = state.range(0) != 0;
    std::thread refresher([&] {
        while (running && refreshing) {
            mapper.refreshConnections();
            ++refreshes;
        }
    });
    ConnectionInfo query;
    query.protocol = "TCP";
    query.localAddress = "192.168.1.10";
    query.remoteAddress = "192.168.168.7";
    query.localPort = 2000;
    query.remotePort = 443;
    qint64 worstNs = 0;
    qint64 overMillisecond = 0;
    QElapsedTimer timer;
    // A lookup that waits for the lock sleeps: a voluntary context switch.
    // Preemption on a loaded machine is involuntary and counted apart.
    rusage before{}, after{};
    getrusage(RUSAGE_THREAD, &before);
    for (auto _ : state) {
        timer.start();
        benchmark::DoNotOptimize(mapper.getApplicationName(query));
        const qint64 elapsed = timer.nsecsElapsed();
        worstNs = qMax(worstNs, elapsed);
        overMillisecond += elapsed > 1000000;
    }
    getrusage(RUSAGE_THREAD, &after);
    running = false;
    refresher.join();
    state.counters["waits_for_lock"] = double(after.ru_nvcsw - before.ru_nvcsw);
    state.counters["preempted"] = double(after.ru_nivcsw - before.ru_nivcsw);
    SystemPaths::setRootPrefix(QString());
    state.counters["worst_lookup_us"] = double(worstNs) / 1000.0;
    state.counters["refreshes"] = double(refreshes.load());
    state.counters["lookups_over_1ms"] = double(overMillisecond);
}
BENCHMARK(BM_LookupDuringRefresh)->Arg(0)->Arg(1)->Iterations(3000000);

void BM_RefreshTenThousandSockets(benchmark::State& state) {
    QTemporaryDir root;
    writeSocketTables(root.path());
    SystemPaths::setRootPrefix(root.path());
    ConnectionMapper mapper;
    for (auto _ : state)
        mapper.refreshConnections();
    SystemPaths::setRootPrefix(QString());
}
BENCHMARK(BM_RefreshTenThousandSockets)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
