#include "overviewparser.h"
#include "overviewsampler.h"
#include "systempaths.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace OverviewParser;

namespace {
QString fixturePath(const QString& name) {
    return TestSupport::testDataPath(QStringLiteral("overview/") + name);
}
QByteArray fixture(const QString& name) {
    QFile file(fixturePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// The Overview sampler: its parsers on captured text, and its readers on
// fixture roots and stand-in tools.
class TestOverviewSampler : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SystemPaths::setRootPrefix(QString());
        SystemPaths::setSearchPath(SystemPaths::defaultSearchPath());
    }

    void cpuPercent_data() {
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<double>("ownTicks");
        QTest::addColumn<int>("percent");
        // From "cpu 100 0 100 700 100": 1000 ticks in all, 700 idle.
        QTest::newRow("quarter busy") << QByteArray("cpu  125 0 100 775 100") << 0.0 << 25;
        QTest::newRow("own ticks left out") << QByteArray("cpu  150 0 100 775 100") << 25.0 << 25;
        QTest::newRow("counters went backwards") << QByteArray("cpu  10 0 10 70 10") << 0.0 << 0;
        // Own ticks are counted by the process, the machine's by the CPU:
        // they can disagree, which must not give a negative share.
        QTest::newRow("held at 0") << QByteArray("cpu  125 0 100 775 100") << 50.0 << 0;
        QTest::newRow("idle stepped back") << QByteArray("cpu  200 0 100 699 100") << 0.0 << 100;
    }
    void cpuPercent() {
        QFETCH(QByteArray, after);
        QFETCH(double, ownTicks);
        const auto before = parseCpuTimes("cpu  100 0 100 700 100 0 0 0 0 0\ncpu0 1 2 3 4\n");
        QTEST(OverviewParser::cpuPercent(*before, *parseCpuTimes(after), ownTicks), "percent");
    }

    // Megabytes since boot, then what each reading adds: partitions and the
    // volume stacked on the NVMe disk are not counted again, and a counter
    // that went back (the SATA disk plugged in again) adds nothing.
    void diskTrafficSequence() {
        SystemPaths::setRootPrefix(fixturePath("desk"));
        DiskTraffic traffic;
        const auto next = [&traffic](const char* name) {
            const QVector<DiskCounters> devices = parseDiskStats(fixture(name));
            return traffic.totalMegabytes(devices, OverviewSampler::countedDiskDevices(devices)) * 2048;
        };
        QCOMPARE(next("diskstats-1.txt"), 9876544.0 + 19876544 + 2097152 + 1048576 + 8704);
        QCOMPARE(next("diskstats-2.txt"), 32907520.0 + 3180);
        QCOMPARE(next("diskstats-3-sda-counter-back.txt"), 32910700.0 + 512);
        QCOMPARE(next("diskstats-4-sda-removed.txt"), 32911212.0 + 2);
        QCOMPARE(next("diskstats-5-sda-back.txt"), 32911214.0 + 16);

        OverviewSampler sampler(1);
        QCOMPARE(sampler.readDiskTotal(), 32907520.0 / 2048);
        QCOMPARE(sampler.readDiskTotal(), 32907520.0 / 2048);
        QVERIFY(parseDiskStats("8 0 sda 1 2\n\n").isEmpty());
    }

    // Failed reads and counters that go down give 0, never a negative
    // figure or a spike afterwards.
    void trafficSequence() {
        TrafficCounter counter;
        const auto next = [&counter](const char* name) {
            return counter.kilobitsSince(parseNetDevTotal(name ? fixture(name) : QByteArray()));
        };
        QCOMPARE(next("netdev-1.txt"), 0.0);
        QCOMPARE(next(nullptr), 0.0);
        QCOMPARE(next("netdev-2.txt"), 1000.0);
        QCOMPARE(next("netdev-3-interface-removed.txt"), 0.0);
        QCOMPARE(next("netdev-3-interface-removed.txt"), 0.0);
        QCOMPARE(next("netdev-2.txt"), double(111070348 + 142798 + 2 * 3567 - 2 * 3967) * 8 / 1000);
    }

    // "cold": thermal zones all below zero, a short cpu line, no MemAvailable.
    void readersOnFixtureRoots_data() {
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("temperature");
        QTest::addColumn<QString>("error");
        QTest::newRow("hot") << "hot" << 61 << QString();
        QTest::newRow("cold") << "cold" << 0 << QStringLiteral("Failed to retrieve memory stats.");
        QTest::newRow("nothing readable")
            << "missing" << -1 << QStringLiteral("Failed to open /proc/meminfo, error: ");
    }
    void readersOnFixtureRoots() {
        QFETCH(QString, root);
        QFETCH(QString, error);
        SystemPaths::setRootPrefix(fixturePath(root));
        OverviewSampler sampler(1);
        QTEST(sampler.readMaxTemperature(), "temperature");
        QCOMPARE(sampler.readDiskTotal(), -1.0); // none of these roots has /proc/diskstats
        QCOMPARE(sampler.readCpuUsage() >= 0, root == QLatin1String("hot"));
        if (root == QLatin1String("hot")) // gpu_busy_percent
            QCOMPARE(sampler.readGpuUsage(), 37);
        QString memoryError;
        sampler.readMemoryUsage(&memoryError);
        QVERIFY2(memoryError.startsWith(error) && memoryError.isEmpty() == error.isEmpty(),
                 qPrintable(memoryError));
    }

    void vendorToolStandIns() {
        const auto usage = [](const QString& standIn) {
            return OverviewSampler::readVendorGpuUsage(fixturePath("bin/nvidia-smi-" + standIn));
        };
        QCOMPARE(usage("one-line"), std::optional<int>(37));
        QCOMPARE(usage("two-lines"), std::optional<int>());
        QCOMPARE(usage("hang"), std::optional<int>()); // past its time limit
    }
};

QTEST_GUILESS_MAIN(TestOverviewSampler)
#include "tst_overviewsampler.moc"
