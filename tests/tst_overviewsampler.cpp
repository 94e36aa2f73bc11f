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

    void diskTotal() {
        QCOMPARE(parseDiskTotal(QString::fromUtf8(fixture("iostat-several.txt"))),
                 std::optional<double>(9180 + 11823 + 1 + 9511.5 + 11872.25 + 27 + 3));
        QVERIFY(!parseDiskTotal(QStringLiteral("Device tps MB_read/s\n\n")));
        // Localised decimals do not pass for numbers.
        QVERIFY(!parseDiskTotal(QStringLiteral("Device a b c d e f g\nsda 1,0 0,1 0,1 0,0 9,5 1,5 0\n")));
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

    // The stand-in prints a translated header and decimal commas unless
    // it runs under the C locale.
    void diskToolReadUnderTheCLocale() {
        SystemPaths::setSearchPath({fixturePath("bin")});
        QCOMPARE(OverviewSampler(1).readDiskTotal(), 1791.0 + 5153.0);
        QTemporaryDir noTools;
        SystemPaths::setSearchPath({noTools.path()});
        QCOMPARE(OverviewSampler(1).readDiskTotal(), -1.0);
    }
};

QTEST_GUILESS_MAIN(TestOverviewSampler)
#include "tst_overviewsampler.moc"
