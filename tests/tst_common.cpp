#include "selectionkeeper.h"
#include "tabworker.h"
#include "testsupport.h"

#include <QScrollBar>
#include <QSemaphore>
#include <QTableWidget>
#include <QtTest>

namespace {
struct Sample {
    int request = 0;
    QString text;
};
} // namespace

Q_DECLARE_METATYPE(Sample)

// Answers each request with its number and text; "hold" waits for the test
// to let it go, "silent" leaves without answering.
class WorkerSample : public QObject {
    Q_OBJECT
public:
    QSemaphore held;

signals:
    void sampleUpdated(const Sample& sample);

public slots:
    void fetchSample(int request, const QString& text) {
        if (text == QLatin1String("hold"))
            held.acquire();
        if (text == QLatin1String("silent"))
            return;
        emit sampleUpdated({request, text});
    }
};

// The seams in common/: the tab/worker contract and the kept selection of a
// refilled view.
class TestCommon : public QObject {
    Q_OBJECT
    QList<int> answered;
    QList<QThread*> answeredOn;

signals:
    void requestUpdateSample(int request, const QString& text);
    void requestTickSample(int request, const QString& text);

public slots:
    void onSampleDataReady(const Sample& sample) {
        answered << sample.request;
        answeredOn << QThread::currentThread();
    }

private slots:
    void init() {
        answered.clear();
        answeredOn.clear();
    }

    // A tick while the previous one is queued or running is dropped, a user
    // request never is; the gate opens again on every way out of the slot;
    // results arrive on the tab's thread.
    void requestsAndResults() {
        TabWorker<WorkerSample> worker(QStringLiteral("workersample"));
        worker.connectResult(&WorkerSample::sampleUpdated, this, &TestCommon::onSampleDataReady);
        worker.connectRequest(this, &TestCommon::requestUpdateSample, &WorkerSample::fetchSample);
        worker.connectRequest(this, &TestCommon::requestTickSample, &WorkerSample::fetchSample,
                              RequestDelivery::SkipWhileBusy);
        worker.start();
        emit requestTickSample(1, "hold");
        emit requestTickSample(2, "skipped");
        QVERIFY(worker.isBusy());
        emit requestUpdateSample(3, "always");
        worker.object()->held.release();
        QTRY_VERIFY(!worker.isBusy());
        emit requestTickSample(4, "silent");
        QTRY_VERIFY(!worker.isBusy());
        emit requestTickSample(5, "tick");
        emit requestUpdateSample(6, "last");
        QTRY_COMPARE(answered.size(), 4);
        QTest::qWait(0);
        QCOMPARE(answered, QList<int>({1, 3, 5, 6}));
        QCOMPARE(answeredOn.count(QThread::currentThread()), 4);
    }

    // Once the worker is gone, a request reaches nothing.
    void requestsEndWithTheWorker() {
        auto worker = std::make_unique<TabWorker<WorkerSample>>(QStringLiteral("workersample"));
        QPointer<WorkerSample> object = worker->object();
        worker->connectResult(&WorkerSample::sampleUpdated, this, &TestCommon::onSampleDataReady);
        worker->connectRequest(this, &TestCommon::requestUpdateSample, &WorkerSample::fetchSample);
        worker->start();
        emit requestUpdateSample(1, "first");
        QTRY_COMPARE(answered.size(), 1);
        worker.reset();
        QVERIFY(!object);
        emit requestUpdateSample(2, "after");
        QTest::qWait(50);
        QCOMPARE(answered, QList<int>({1}));
    }

    // A refill that reuses the rows (no model reset) moves the selection to
    // the row that now holds its key, or drops it when the key is gone; the
    // scroll position stays either way.
    void selectionKept_data() {
        QTest::addColumn<bool>("keyStays");
        QTest::newRow("key moves") << true;
        QTest::newRow("key gone") << false;
    }
    void selectionKept() {
        QFETCH(bool, keyStays);
        QTableWidget table(200, 1);
        table.resize(200, 200);
        table.setSelectionBehavior(QAbstractItemView::SelectRows);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        const auto fill = [&](int first, int step) {
            for (int row = 0; row < 200; ++row) {
                if (!table.item(row, 0))
                    table.setItem(row, 0, new QTableWidgetItem);
                table.item(row, 0)->setText(QString::number(first + row * step));
            }
        };
        fill(0, 1);
        table.selectRow(150);
        table.verticalScrollBar()->setValue(40);
        const SelectionKeeper kept(&table);
        fill(keyStays ? 199 : 1000, -1);
        kept.restore();
        QCOMPARE(table.verticalScrollBar()->value(), 40);
        QCOMPARE(table.currentRow(), keyStays ? 49 : -1);
        QCOMPARE(table.selectionModel()->selectedRows().size(), keyStays ? 1 : 0);
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
