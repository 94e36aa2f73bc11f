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

    QCustomPlot* plot(const char* name) const {
        return window->findChild<QCustomPlot*>(QString::fromLatin1(name));
    }

    void feed(double disk, double network, qint64 sampledAtMs = 0, int cpu = 10, int temperature = 40) {
        tab->updateGraphs(cpu, 5, 20, disk, network, temperature, QString(), sampledAtMs);
    }

    void showWindow() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
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

    void formFiguresAreNotShownAsReadings() {
        for (QProgressBar* bar :
             {ui->pbCPU, ui->pbGPU, ui->pbRAM, ui->pbDiskIO, ui->pbNetworkIO, ui->pbTemps})
            QCOMPARE(bar->text(), QStringLiteral("N/A"));

        tab->updateGraphs(42, -1, 13, 100.0, 0.0, 46, QString());
        QCOMPARE(ui->pbCPU->text(), QStringLiteral("42%"));
        QCOMPARE(ui->pbGPU->text(), QStringLiteral("N/A"));
        QCOMPARE(ui->pbRAM->text(), QStringLiteral("13%"));
        QCOMPARE(ui->pbDiskIO->text(), QStringLiteral("0 MB/s"));
        QCOMPARE(ui->pbNetworkIO->text(), QStringLiteral("0 Kb/s"));
        QCOMPARE(ui->pbTemps->text(), QStringLiteral("46°C"));
        QCOMPARE(plot("cpuUsagePlot")->graph(0)->data()->at(0)->key, 0.0);

        // A sample with an error text changes nothing.
        tab->updateGraphs(99, 99, 99, 500.0, 9000.0, 99, QStringLiteral("Failed to retrieve memory stats."));
        QCOMPARE(ui->pbCPU->text(), QStringLiteral("42%"));
        QCOMPARE(plot("cpuUsagePlot")->graph(0)->data()->size(), 1);

        // Hot enough to fill the bar, still named as it is; an unreadable CPU empties its bar.
        tab->updateGraphs(-1, 0, 13, 100.0, 0.0, 105, QString());
        QCOMPARE(ui->pbTemps->text(), QStringLiteral("105°C"));
        QCOMPARE(ui->pbTemps->value(), 100);
        QCOMPARE(ui->pbCPU->text(), QStringLiteral("N/A"));
        QCOMPARE(ui->pbCPU->value(), 0);
    }

    // Disk totals (MB) and network figures (kilobits since the previous
    // sample), taken every 500 ms unless sample times are given.
    void ratesAndScales_data() {
        QTest::addColumn<QList<double>>("diskTotals");
        QTest::addColumn<QList<double>>("kilobits");
        QTest::addColumn<QList<qint64>>("sampledAtMs");
        QTest::addColumn<QString>("diskBar");
        QTest::addColumn<QString>("networkBar");
        QTest::addColumn<QString>("diskScale");
        QTest::addColumn<QString>("networkScale");
        const QList<qint64> nominal;
        QTest::newRow("1000 MB/s") << QList<double>{0, 500} << QList<double>{0, 0} << nominal << "1.0 GB/s"
                                   << "0 Kb/s"
                                   << "2 GB/s"
                                   << "100 Kb/s";
        QTest::newRow("peak of exactly 100 MB/s")
            << QList<double>{0, 50} << QList<double>{0, 0} << nominal << "100 MB/s"
            << "0 Kb/s"
            << "250 MB/s"
            << "100 Kb/s";
        QTest::newRow("0.3 Kb/s") << QList<double>{0, 0} << QList<double>{0, 0.15} << nominal << "0 MB/s"
                                  << "1 Kb/s"
                                  << "10 MB/s"
                                  << "100 Kb/s";
        QTest::newRow("1400 Kb/s") << QList<double>{0, 0} << QList<double>{0, 700} << nominal << "0 MB/s"
                                   << "1 Mb/s"
                                   << "10 MB/s"
                                   << "5 Mb/s";
        QTest::newRow("2500000 Kb/s")
            << QList<double>{0, 0} << QList<double>{0, 1250000} << nominal << "0 MB/s"
            << "2.50 Gb/s"
            << "10 MB/s"
            << "5.00 Gb/s";
        // A slow tick: two seconds passed, not the nominal half second.
        QTest::newRow("time really elapsed")
            << QList<double>{0, 200} << QList<double>{0, 4000} << QList<qint64>{1000, 3000} << "100 MB/s"
            << "2 Mb/s"
            << "250 MB/s"
            << "5 Mb/s";
        // iostat failed once: no spike when it answers again.
        QTest::newRow("disk unreadable in between") << QList<double>{100, -1, 150} << QList<double>{0, 0, 0}
                                                    << QList<qint64>{1000, 1500, 2000} << "50 MB/s"
                                                    << "0 Kb/s"
                                                    << "100 MB/s"
                                                    << "100 Kb/s";
        QTest::newRow("disk total went down")
            << QList<double>{500, 100} << QList<double>{0, 0} << nominal << "0 MB/s"
            << "0 Kb/s"
            << "10 MB/s"
            << "100 Kb/s";
    }
    void ratesAndScales() {
        QFETCH(QList<double>, diskTotals);
        QFETCH(QList<double>, kilobits);
        QFETCH(QList<qint64>, sampledAtMs);
        tab->selectGraph(TabOverviewGraphs::DiskGraph);
        for (int i = 0; i < diskTotals.size(); ++i)
            feed(diskTotals.at(i), kilobits.at(i), sampledAtMs.value(i));
        QTEST(ui->pbDiskIO->text(), "diskBar");
        QTEST(ui->pbNetworkIO->text(), "networkBar");
        QTEST(ui->labelDiskIOSpeed->text(), "diskScale");
        QTEST(ui->labelNetworkIOSpeed->text(), "networkScale");
    }

    void historyKeepsTheNewest1001Points() {
        for (int i = 0; i < 1002; ++i)
            feed(i, 1);
        for (const char* name : {"cpuUsagePlot", "gpuUsagePlot", "ramUsagePlot", "diskIOPlot",
                                 "diskIORawPlot", "networkIOPlot", "networkIORawPlot", "temperaturePlot"}) {
            const QSharedPointer<QCPGraphDataContainer> data = plot(name)->graph(0)->data();
            QCOMPARE(data->size(), 1001);
            QCOMPARE(data->constBegin()->key, 1.0);
            QCOMPARE((data->constEnd() - 1)->key, 1001.0);
        }
    }

    void xRangeEndsAtTheNewestSample() {
        showWindow();
        window->resize(1100, 700);
        QCustomPlot* cpu = plot("cpuUsagePlot");
        QVERIFY(TestSupport::waitFor([cpu] { return cpu->width() > 900; }));
        QTest::qWait(150); // the grid waits for resizing to settle
        for (int i = 0; i < 5; ++i)
            feed(0, 0);
        const QCPRange range = cpu->xAxis->range();
        QCOMPARE(range.upper, 4.0);
        QCOMPARE(range.size(), double(int(cpu->width() * 0.4)));
        QCOMPARE(cpu->yAxis->range(), QCPRange(-1, 100));
    }

    void selectingGraphs() {
        showWindow();
        QCOMPARE(ui->gbHistory->title(), QStringLiteral("CPU History"));
        QTest::mouseClick(ui->gbDiskIO, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
        QCOMPARE(tab->currentGraph(), int(TabOverviewGraphs::DiskGraph));
        QCOMPARE(ui->gbHistory->title(), QStringLiteral("Disk I/O History"));
        QVERIFY(ui->gbDiskIO->font().bold() && !ui->gbCPU->font().bold());
        QVERIFY(ui->labelDiskIOSpeed->isVisible() && !ui->labelNetworkIOSpeed->isVisible());
        QVERIFY(plot("diskIOPlot")->isVisible() && !plot("cpuUsagePlot")->isVisible());

        tab->selectGraph(TabOverviewGraphs::NetworkGraph);
        QVERIFY(!ui->labelDiskIOSpeed->isVisible() && ui->labelNetworkIOSpeed->isVisible());

        // Out of range: nothing selected anew, the previous graph drawn again.
        tab->selectGraph(9);
        QCOMPARE(tab->currentGraph(), int(TabOverviewGraphs::NetworkGraph));
        QCOMPARE(ui->gbHistory->title(), QStringLiteral("Network I/O History"));
        QVERIFY(plot("networkIOPlot")->isVisible() && !ui->labelNetworkIOSpeed->isVisible());
    }

    void updateSpeed_data() {
        QTest::addColumn<QStringList>("speeds");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("interval");
        QTest::newRow("paused") << QStringList{"paused"} << false << 500;
        QTest::newRow("fast after paused") << QStringList{"paused", "fast"} << true << 250;
        QTest::newRow("slow") << QStringList{"slow"} << true << 1000;
        QTest::newRow("unknown restarts") << QStringList{"slow", "paused", "turbo"} << true << 1000;
    }
    void updateSpeed() {
        QFETCH(QStringList, speeds);
        for (const QString& speed : speeds)
            tab->setUpdateSpeed(speed);
        QTEST(updateTimer->isActive(), "running");
        QTEST(updateTimer->interval(), "interval");
    }

    void colorTheme_data() {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<QColor>("line");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("grid");
        QTest::newRow("green") << "green" << QColor(20, 202, 19) << QColor(6, 43, 0) << QColor(13, 123, 10);
        QTest::newRow("aperture") << "aperture" << QColor(255, 176, 0) << QColor(44, 26, 0)
                                  << QColor(150, 101, 0);
        QTest::newRow("unknown") << "Green" << QColor(255, 176, 0) << QColor(44, 26, 0)
                                 << QColor(150, 101, 0);
    }
    void colorTheme() {
        QFETCH(QString, theme);
        QFETCH(QColor, line);
        tab->setColorTheme(theme);
        QCustomPlot* shown = tab->currentPlot();
        QCOMPARE(shown->graph(0)->pen().color(), line);
        QTEST(shown->xAxis->grid()->pen().color(), "grid");
        QVERIFY(ui->pbCPU->styleSheet().contains(line.name()));
        QVERIFY(ui->labelDiskIOSpeed->styleSheet().contains(line.name()));
        QImage picture(40, 40, QImage::Format_RGB32);
        shown->render(&picture);
        QTEST(picture.pixelColor(30, 30), "background");
    }

    // Under 14 px there is no room for a grid division; the plot keeps its
    // previous ticker rather than one with an endless step.
    void tinyWindowNeitherHangsNorCrashes() {
        showWindow();
        QTest::qWait(150); // the grid waits for resizing to settle
        feed(0, 0);
        QCustomPlot* cpu = plot("cpuUsagePlot");
        const QSharedPointer<QCPAxisTicker> before = cpu->xAxis->ticker();
        QVERIFY(before.dynamicCast<QCPAxisTickerFixed>());
        window->setMinimumSize(0, 0);
        window->resize(10, 10);
        cpu->setFixedSize(10, 10);
        QTest::qWait(150);
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
        QTest::qWait(150);
        ui->tabWidgetMainTabs->setCurrentIndex(0);
        QFrame* frame = ui->fCPUUsagePlot;
        QLabel* label = ui->labelDiskIOSpeed;
        QVERIFY(TestSupport::waitFor([frame] { return frame->width() > 1000; }));
        QCOMPARE(label->geometry().right(), frame->width() - 6);
        QCOMPARE(label->y(), 5);
    }

    // While a sample is running, ticks ask for no more: after the worker
    // was held through many ticks, at most one sample is waiting.
    void ticksDoNotPileUpBehindASlowSample() {
        WorkerOverviewGraphs* worker = tab->sampleWorker();
        QVERIFY(TestSupport::waitFor([worker] { return !worker->sampleGate().isBusy(); }));
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
