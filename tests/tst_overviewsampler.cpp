#include "overviewparser.h"
#include "overviewsampler.h"
#include "systempaths.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace OverviewParser;

namespace {
QByteArray fixture(const QString& name) {
    QFile file(TestSupport::testDataPath(QStringLiteral("overview/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<int>)

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
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<double>("ownTicks");
        QTest::addColumn<int>("percent");
        const QByteArray base = "cpu  100 0 100 700 100 0 0 0 0 0\ncpu0 1 2 3 4\n";
        QTest::newRow("quarter busy")
            << base << QByteArray("cpu  125 0 100 775 100 0 0 0 0 0\n") << 0.0 << 25;
        QTest::newRow("own ticks left out")
            << base << QByteArray("cpu  150 0 100 775 100 0 0 0 0 0\n") << 25.0 << 25;
        QTest::newRow("no time passed") << base << base << 0.0 << 0;
        QTest::newRow("counters went backwards") << base << QByteArray("cpu  10 0 10 70 10\n") << 0.0 << 0;
        // Own ticks are counted by the process, the machine's by the CPU:
        // they can disagree, which must not give a negative share.
        QTest::newRow("held at 0") << base << QByteArray("cpu  125 0 100 775 100 0 0 0 0 0\n") << 50.0 << 0;
        QTest::newRow("own ticks beyond the total")
            << base << QByteArray("cpu  110 0 100 700 100\n") << 50.0 << 0;
        QTest::newRow("idle stepped back")
            << base << QByteArray("cpu  200 0 100 699 100 0 0 0 0 0\n") << 0.0 << 100;
    }
    void cpuPercent() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(double, ownTicks);
        QFETCH(int, percent);
        QCOMPARE(OverviewParser::cpuPercent(*parseCpuTimes(before), *parseCpuTimes(after), ownTicks),
                 percent);
    }

    void diskTotal_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<std::optional<double>>("total");
        QTest::newRow("one disk") << QString::fromUtf8(fixture("iostat-one-disk.txt"))
                                  << std::optional<double>(1791 + 5153);
        QTest::newRow("several devices, fractions")
            << QString::fromUtf8(fixture("iostat-several.txt"))
            << std::optional<double>(9180 + 11823 + 1 + 9511.5 + 11872.25 + 27 + 3);
        QTest::newRow("tool missing") << QString() << std::optional<double>();
        QTest::newRow("header only") << QStringLiteral("Device tps MB_read/s\n\n") << std::optional<double>();
        // Localised decimals do not pass for numbers.
        QTest::newRow("decimal commas")
            << QStringLiteral("Device a b c d e f g\nsda 1,0 0,1 0,1 0,0 9,5 1,5 0\n")
            << std::optional<double>();
    }
    void diskTotal() {
        QFETCH(QString, output);
        QFETCH(std::optional<double>, total);
        QCOMPARE(parseDiskTotal(output), total);
    }

    // Failed reads and counters that go down give 0, never a negative
    // figure or a spike afterwards.
    void trafficSequence() {
        TrafficCounter counter;
        const auto next = [&counter](const char* name) {
            return counter.kilobitsSince(parseNetDevTotal(fixture(QString::fromLatin1(name))));
        };
        QCOMPARE(next("netdev-1.txt"), 0.0);
        QCOMPARE(counter.kilobitsSince(parseNetDevTotal(QByteArray())), 0.0);
        QCOMPARE(next("netdev-2.txt"), 1000.0);
        QCOMPARE(next("netdev-3-interface-removed.txt"), 0.0);
        QCOMPARE(next("netdev-3-interface-removed.txt"), 0.0);
        QCOMPARE(next("netdev-2.txt"), double(111070348 + 142798 + 2 * 3567 - 2 * 3967) * 8 / 1000);
    }

    void gpuFigures_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<int>>("busyFile");
        QTest::addColumn<std::optional<int>>("vendorTool");
        QTest::newRow("37 and a line break") << "37\n" << std::optional<int>(37) << std::optional<int>(37);
        QTest::newRow("37 percent") << "37 %" << std::optional<int>() << std::optional<int>(37);
        QTest::newRow("two GPUs") << "37 %\n5 %\n" << std::optional<int>() << std::optional<int>();
        QTest::newRow("not supported") << "[N/A]" << std::optional<int>() << std::optional<int>();
    }
    void gpuFigures() {
        QFETCH(QString, text);
        QFETCH(std::optional<int>, busyFile);
        QFETCH(std::optional<int>, vendorTool);
        QCOMPARE(parseGpuBusyPercent(text.toUtf8()), busyFile);
        QCOMPARE(parseVendorGpuUsage(text), vendorTool);
    }

    void readersOnFixtureRoots_data() {
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("temperature");
        QTest::addColumn<int>("cpu");
        QTest::addColumn<QString>("error");
        QTest::newRow("hot") << "hot" << 61 << 0 << QString();
        QTest::newRow("below freezing, short cpu line, no MemAvailable")
            << "cold" << 0 << -1 << QStringLiteral("Failed to retrieve memory stats.");
        QTest::newRow("nothing readable")
            << "missing" << -1 << -1 << QStringLiteral("Failed to open /proc/meminfo, error: ");
    }
    void readersOnFixtureRoots() {
        QFETCH(QString, root);
        QFETCH(int, temperature);
        QFETCH(int, cpu);
        QFETCH(QString, error);
        SystemPaths::setRootPrefix(TestSupport::testDataPath(QStringLiteral("overview/") + root));
        OverviewSampler sampler(1);
        QCOMPARE(sampler.readMaxTemperature(), temperature);
        if (cpu >= 0)
            QVERIFY(sampler.readCpuUsage() >= 0);
        else
            QCOMPARE(sampler.readCpuUsage(), cpu);
        QString memoryError;
        sampler.readMemoryUsage(&memoryError);
        QVERIFY2(memoryError.startsWith(error) && memoryError.isEmpty() == error.isEmpty(),
                 qPrintable(memoryError));
        if (root == QLatin1String("hot"))
            QCOMPARE(sampler.readGpuUsage(), 37);
    }

    void vendorTool_data() {
        QTest::addColumn<QString>("standIn");
        QTest::addColumn<std::optional<int>>("usage");
        QTest::newRow("one line") << "one-line" << std::optional<int>(37);
        QTest::newRow("two lines") << "two-lines" << std::optional<int>();
        QTest::newRow("hangs past its limit") << "hang" << std::optional<int>();
    }
    void vendorTool() {
        QFETCH(QString, standIn);
        QFETCH(std::optional<int>, usage);
        QCOMPARE(OverviewSampler::readVendorGpuUsage(
                     TestSupport::testDataPath(QStringLiteral("overview/bin/nvidia-smi-") + standIn)),
                 usage);
    }

    // The stand-in prints a translated header and decimal commas unless
    // it runs under the C locale.
    void diskToolReadUnderTheCLocale() {
        SystemPaths::setSearchPath({TestSupport::testDataPath(QStringLiteral("overview/bin"))});
        QCOMPARE(OverviewSampler(1).readDiskTotal(), 1791.0 + 5153.0);
        QTemporaryDir noTools;
        SystemPaths::setSearchPath({noTools.path()});
        QCOMPARE(OverviewSampler(1).readDiskTotal(), -1.0);
    }
};

QTEST_GUILESS_MAIN(TestOverviewSampler)
#include "tst_overviewsampler.moc"
