#include "mainwindow.h"
#include "startup.h"
#include "systempaths.h"
#include "taboverviewgraphs.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "workeroverviewgraphs.h"

#include <qcustomplot.h>

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The Overview's bars and history graphs inside a real main window. The
// system root points at an empty folder, so the sampler's own samples carry
// an error and are dropped: only the samples a test feeds are shown.
class TestOverviewGraphs : public QObject {
    Q_OBJECT

    QTemporaryDir emptyRoot;
    std::unique_ptr<MainWindow> window;
    Ui::MainWindow* ui = nullptr;
    TabOverviewGraphs* tab = nullptr;
    QTimer* updateTimer = nullptr;

    QCustomPlot* plot(const char* name) const { return window->findChild<QCustomPlot*>(name); }
    static OverviewSample sample(int cpu, int gpu, int ram, double disk, double network, int temperature,
                                 const QString& error, qint64 sampledAtMs = 0) {
        OverviewSample taken;
        taken.cpuUsage = cpu;
        taken.gpuUsage = gpu;
        taken.ramUsage = ram;
        taken.diskTotalMb = disk;
        taken.networkKilobits = network;
        taken.maxTemperature = temperature;
        taken.error = error;
        taken.sampledAtMs = sampledAtMs;
        return taken;
    }
    void feed(double disk, double network, qint64 sampledAtMs = 0) {
        tab->updateGraphs(sample(10, 5, 20, disk, network, 40, QString(), sampledAtMs));
    }
    QString barTexts() const {
        QStringList texts;
        for (QProgressBar* bar :
             {ui->pbCPU, ui->pbGPU, ui->pbRAM, ui->pbDiskIO, ui->pbNetworkIO, ui->pbTemps})
            texts << bar->text();
        return texts.join('|');
    }
    // The graphs skip samples while a resize settles: wait until it has.
    void settle() {
        auto* resizeTimer = tab->findChild<QTimer*>("overviewResizeTimer");
        QVERIFY(resizeTimer);
        QCoreApplication::processEvents();
        QVERIFY(TestSupport::waitFor([resizeTimer] { return !resizeTimer->isActive(); }));
    }
    void showWindow() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }

private slots:
    void initTestCase() { registerSharedMetaTypes(); }

    void init() {
        SystemPaths::setRootPrefix(emptyRoot.path());
        window = std::make_unique<MainWindow>();
        ui = window->form();
        tab = window->findChild<TabOverviewGraphs*>();
        updateTimer = window->findChild<QTimer*>(QStringLiteral("overviewUpdateTimer"));
        QVERIFY(tab && updateTimer);
        QCoreApplication::processEvents(); // the first selection is queued
    }
    void cleanup() {
        window.reset();
        SystemPaths::setRootPrefix(QString());
    }

    void barsShowOnlyReadings() {
        QCOMPARE(barTexts(), QString("N/A|N/A|N/A|N/A|N/A|N/A"));
        tab->updateGraphs(sample(42, -1, 13, 100.0, 0.0, 46, QString()));
        QCOMPARE(barTexts(), QString("42%|N/A|13%|0 MB/s|0 Kb/s|46°C"));
        // A sample with an error text changes nothing.
        tab->updateGraphs(
            sample(99, 99, 99, 500.0, 9000.0, 99, QStringLiteral("Failed to retrieve memory stats.")));
        QCOMPARE(barTexts(), QString("42%|N/A|13%|0 MB/s|0 Kb/s|46°C"));
        QCOMPARE(plot("cpuUsagePlot")->graph(0)->data()->size(), 1);
        // An unreadable CPU empties its bar; heat fills it, named as it is.
        tab->updateGraphs(sample(-1, 0, 13, 100.0, 0.0, 105, QString()));
        QCOMPARE(barTexts(), QString("N/A|0%|13%|0 MB/s|0 Kb/s|105°C"));
        QVERIFY(ui->pbCPU->value() == 0 && ui->pbTemps->value() == 100);
    }

    // Disk totals (MB) and network figures (kilobits since the previous
    // sample), taken every 500 ms unless sample times are given.
    void ratesAndScales_data() {
        QTest::addColumn<QList<double>>("diskTotals");
        QTest::addColumn<QList<double>>("kilobits");
        QTest::addColumn<QList<qint64>>("sampledAtMs");
        QTest::addColumn<QString>("shown"); // disk bar|network bar|disk scale|network scale
        const auto row = [](const char* name, QList<double> disk, QList<double> network, QList<qint64> times,
                            const char* shown) {
            QTest::newRow(name) << disk << network << times << QString::fromUtf8(shown);
        };
        row("1000 MB/s, 0.3 Kb/s", {0, 500}, {0, 0.15}, {}, "1.0 GB/s|1 Kb/s|2 GB/s|100 Kb/s");
        row("peak of exactly 100 MB/s, 1400 Kb/s", {0, 50}, {0, 700}, {}, "100 MB/s|1 Mb/s|250 MB/s|5 Mb/s");
        row("disk total went down, 2500000 Kb/s", {500, 100}, {0, 1250000}, {},
            "0 MB/s|2.50 Gb/s|10 MB/s|5.00 Gb/s");
        // A slow tick: two seconds passed, not the nominal half second.
        row("time really elapsed", {0, 200}, {0, 4000}, {1000, 3000}, "100 MB/s|2 Mb/s|250 MB/s|5 Mb/s");
        // A write of less than a megabyte shows, in tenths below 10 MB/s.
        row("0.3 MB in half a second", {1000, 1000.3}, {0, 0}, {}, "0.6 MB/s|0 Kb/s|10 MB/s|100 Kb/s");
        // The counters could not be read once: no spike when they can again.
        row("disk unreadable in between", {100, -1, 150}, {0, 0, 0}, {1000, 1500, 2000},
            "50 MB/s|0 Kb/s|100 MB/s|100 Kb/s");
    }
    void ratesAndScales() {
        QFETCH(QList<double>, diskTotals);
        QFETCH(QList<double>, kilobits);
        QFETCH(QList<qint64>, sampledAtMs);
        tab->selectGraph(TabOverviewGraphs::DiskGraph);
        for (int i = 0; i < diskTotals.size(); ++i)
            feed(diskTotals.at(i), kilobits.at(i), sampledAtMs.value(i));
        QTEST(QStringList({ui->pbDiskIO->text(), ui->pbNetworkIO->text(), ui->labelDiskIOSpeed->text(),
                           ui->labelNetworkIOSpeed->text()})
                  .join('|'),
              "shown");
    }

    void historyKeepsTheNewest1001Points() {
        for (int i = 0; i < 1002; ++i)
            feed(i, 1);
        for (const char* name : {"cpuUsagePlot", "gpuUsagePlot", "ramUsagePlot", "diskIOPlot",
                                 "diskIORawPlot", "networkIOPlot", "networkIORawPlot", "temperaturePlot"})
            QCOMPARE(plot(name)->graph(0)->data()->size(), 1001);
        const QSharedPointer<QCPGraphDataContainer> data = plot("cpuUsagePlot")->graph(0)->data();
        QVERIFY(data->constBegin()->key == 1.0 && (data->constEnd() - 1)->key == 1001.0);
    }

    void selectingGraphs() {
        showWindow();
        QTest::mouseClick(ui->gbDiskIO, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
        QCOMPARE(tab->currentGraph(), int(TabOverviewGraphs::DiskGraph));
        QCOMPARE(ui->gbHistory->title(), QStringLiteral("Disk I/O History"));
        QVERIFY(ui->gbDiskIO->font().bold() && !ui->gbCPU->font().bold());
        QVERIFY(ui->labelDiskIOSpeed->isVisible() && !ui->labelNetworkIOSpeed->isVisible());
        QVERIFY(plot("diskIOPlot")->isVisible() && !plot("cpuUsagePlot")->isVisible());
        // A figure without a source says so on its graph, as on its bar.
        const QLabel* noData = tab->noDataOverlay();
        QVERIFY(noData && !noData->isVisible());
        tab->updateGraphs(sample(10, -1, 20, 0, 0, 40, QString()));
        tab->selectGraph(TabOverviewGraphs::GpuGraph);
        QVERIFY(noData->isVisible());
        QCOMPARE(noData->text(), QString("N/A"));
        tab->updateGraphs(sample(10, 5, 20, 0, 0, -1, QString()));
        QVERIFY(!noData->isVisible());
        tab->selectGraph(TabOverviewGraphs::TemperatureGraph);
        QVERIFY(noData->isVisible());
        tab->selectGraph(TabOverviewGraphs::DiskGraph);
        QVERIFY(!noData->isVisible());
        // Out of range: nothing selected anew, the previous graph drawn again.
        tab->selectGraph(9);
        QCOMPARE(tab->currentGraph(), int(TabOverviewGraphs::DiskGraph));
        QVERIFY(plot("diskIOPlot")->isVisible() && !ui->labelDiskIOSpeed->isVisible());
    }

    void updateSpeed() {
        const auto intervalAfter = [this](const char* speed) {
            tab->setUpdateSpeed(QString::fromLatin1(speed));
            return updateTimer->isActive() ? updateTimer->interval() : 0;
        };
        QCOMPARE(intervalAfter("paused"), 0);
        QCOMPARE(intervalAfter("fast"), 250);
        QCOMPARE(intervalAfter("medium"), 500);
        QCOMPARE(intervalAfter("slow"), 1000);
        intervalAfter("paused");
        QCOMPARE(intervalAfter("turbo"), 1000); // unknown: runs on as before
    }

    void colorTheme_data() {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QColor>("line");
        QTest::addColumn<QColor>("background");
        QTest::newRow("green") << "green" << QColor(20, 202, 19) << QColor(6, 43, 0);
        QTest::newRow("aperture") << "aperture" << QColor(255, 176, 0) << QColor(44, 26, 0);
    }
    void colorTheme() {
        QFETCH(QString, theme);
        QFETCH(QColor, line);
        tab->setColorTheme(theme);
        QCustomPlot* shown = tab->currentPlot();
        QCOMPARE(shown->graph(0)->pen().color(), line);
        QVERIFY(ui->pbCPU->styleSheet().contains(line.name()));
        QImage picture(40, 40, QImage::Format_RGB32);
        shown->render(&picture);
        QTEST(picture.pixelColor(30, 30), "background");
    }

    // The x range ends at the newest sample and spans 0.4 points a pixel.
    // Under 14 px there is no room for a grid division: the plot keeps its
    // previous ticker rather than one with an endless step.
    void xRangeAndTinyWindow() {
        showWindow();
        window->resize(1100, 700);
        QCustomPlot* cpu = plot("cpuUsagePlot");
        QVERIFY(TestSupport::waitFor([cpu] { return cpu->width() > 900; }));
        settle();
        for (int i = 0; i < 5; ++i)
            feed(0, 0);
        QCOMPARE(cpu->xAxis->range().upper, 4.0);
        QCOMPARE(cpu->xAxis->range().size(), double(int(cpu->width() * 0.4)));
        QCOMPARE(cpu->yAxis->range(), QCPRange(-1, 100));
        const QSharedPointer<QCPAxisTicker> before = cpu->xAxis->ticker();
        QVERIFY(before.dynamicCast<QCPAxisTickerFixed>());
        window->setMinimumSize(0, 0);
        window->resize(10, 10);
        cpu->setFixedSize(10, 10);
        settle();
        for (int i = 0; i < 3; ++i)
            feed(0, 0);
        QVERIFY(cpu->axisRect()->width() < 14);
        QCOMPARE(cpu->xAxis->ticker(), before);
    }

    // The scale label sits in the plot's top right corner also after the
    // window was maximised while another tab was shown.
    void scaleLabelFollowsTheFrame() {
        showWindow();
        tab->selectGraph(TabOverviewGraphs::DiskGraph);
        ui->tabWidgetMainTabs->setCurrentIndex(2);
        window->showMaximized();
        QVERIFY(TestSupport::waitFor([this] { return window->width() > 1000; }));
        settle();
        ui->tabWidgetMainTabs->setCurrentIndex(0);
        QFrame* frame = ui->fCPUUsagePlot;
        QVERIFY(TestSupport::waitFor([frame] { return frame->width() > 1000; }));
        QCOMPARE(ui->labelDiskIOSpeed->geometry().right(), frame->width() - 6);
        QCOMPARE(ui->labelDiskIOSpeed->y(), 5);
    }

    // While a sample is running, ticks ask for no more: after the worker
    // was held through many ticks, at most one sample is waiting.
    void ticksDoNotPileUpBehindASlowSample() {
        WorkerOverviewGraphs* worker = tab->sampleWorker();
        QVERIFY(TestSupport::waitFor([this] { return !tab->isSampling(); }));
        QSemaphore release;
        QMetaObject::invokeMethod(
            worker, [&release] { release.acquire(); }, Qt::QueuedConnection);
        QSignalSpy samples(worker, &WorkerOverviewGraphs::updateCompleted);
        QSignalSpy ticks(updateTimer, &QTimer::timeout);
        tab->setUpdateSpeed(QStringLiteral("fast"));
        QVERIFY(TestSupport::waitFor([&ticks] { return ticks.size() >= 6; }));
        tab->setUpdateSpeed(QStringLiteral("paused"));
        release.release();
        // Everything queued before this marker has run once it returns.
        QMetaObject::invokeMethod(
            worker, [] {}, Qt::BlockingQueuedConnection);
        QVERIFY(samples.size() <= 1);
    }
};

QTEST_MAIN(TestOverviewGraphs)
#include "tst_overviewgraphs.moc"
