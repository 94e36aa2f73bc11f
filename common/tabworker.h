#pragma once

#include "tickgate.h"
#include "workerthread.h"

#include <QList>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

// How a tab talks to its worker. Every tab does it the same way:
//
//   request signal --queued--> fetch slot on the worker's thread
//   result signal  --queued--> data-ready slot on the GUI thread
//
//   class WorkerCronJobs : public QObject {       // knows nothing of tabs,
//   signals:                                       // threads or gates
//       void cronJobsUpdated(const QList<DetailsCronJob>& jobs);
//   public slots:
//       void fetchCronJobs();
//   };
//   class TabCronJobs : public QWidget {
//   signals:
//       void requestUpdateCronJobsTable();
//   public slots:
//       void onCronJobsDataReady(const QList<DetailsCronJob>& jobs);
//   private:
//       TabWorker<WorkerCronJobs> worker{QStringLiteral("workercronjobs")};
//   };
//
//   // In the tab's constructor:
//   worker.connectResult(&WorkerCronJobs::cronJobsUpdated, this, &TabCronJobs::onCronJobsDataReady);
//   worker.connectRequest(this, &TabCronJobs::requestUpdateCronJobsTable, &WorkerCronJobs::fetchCronJobs);
//   worker.start();
//   emit requestUpdateCronJobsTable();
//
// The rules a pair follows:
// - Requests are signals of the tab (requestUpdate...) or of one of its
//   widgets (a check box's toggled), connected once with connectRequest to
//   a worker slot (fetch...). Each emission runs the slot once on the
//   worker's thread with a copy of the signal's arguments. A setting the
//   worker needs (show all users, say) is a request too: a slot that stores
//   it and answers like a fetch. The tab never calls the worker directly.
// - Timer ticks connect with RequestDelivery::SkipWhileBusy: an emission
//   while the previous such request is queued or running is dropped. The
//   gate opens again when the slot returns, whichever way it returns; the
//   worker never sees it. User actions (a reload, a check box, a theme flip)
//   use RequestDelivery::Always and are never dropped.
// - A slot answers with one signal (...Updated) carrying one value: a
//   record, a list of records, or a small struct that also says why there
//   is nothing (a failure text). connectResult delivers it queued to the
//   tab's data-ready slot (on...DataReady); the tab reads nothing else of
//   the worker.
// - The TabWorker is a member of the tab. The worker has no parent and is
//   deleted on its own thread; destroying the TabWorker (or stop()) cuts the
//   request connections and ends the thread within a bounded wait, so
//   quitting never waits on a hung tool (CommandRunner ends those at quit).
enum class RequestDelivery { Always, SkipWhileBusy };

Q_DECLARE_LOGGING_CATEGORY(lcTabWorker)

template <typename Worker> class TabWorker {
public:
    // Creates the worker (with args) and moves it to a new thread called
    // threadName; start() starts that thread.
    template <typename... Args>
    explicit TabWorker(const QString& threadName, Args&&... args)
        : name(threadName), worker(new Worker(std::forward<Args>(args)...)), thread(worker, threadName) {}

    ~TabWorker() { disconnectRequests(); }

    TabWorker(const TabWorker&) = delete;
    TabWorker& operator=(const TabWorker&) = delete;

    // Every emission of sender's request signal runs fetch on the worker's
    // thread with the signal's arguments.
    template <typename Sender, typename SignalOwner, typename... SignalArgs, typename... SlotArgs>
    void connectRequest(Sender* sender, void (SignalOwner::*request)(SignalArgs...),
                        void (Worker::*fetch)(SlotArgs...),
                        RequestDelivery delivery = RequestDelivery::Always) {
        static_assert(std::is_base_of_v<SignalOwner, Sender>, "the signal must be the sender's");
        static_assert(sizeof...(SignalArgs) == sizeof...(SlotArgs),
                      "the fetch slot takes what the request signal carries");
        Worker* target = worker;
        const std::shared_ptr<TickGate> requestGate =
            delivery == RequestDelivery::SkipWhileBusy ? gate : std::shared_ptr<TickGate>();
        requestConnections.append(QObject::connect(
            sender, request, sender, [threadName = name, target, requestGate, fetch](SignalArgs... values) {
                if (requestGate && !requestGate->tryEnter()) {
                    qCDebug(lcTabWorker).noquote() << threadName << "is still busy; tick skipped";
                    return;
                }
                QMetaObject::invokeMethod(
                    target,
                    [target, requestGate, fetch,
                     arguments = std::make_tuple(std::decay_t<SignalArgs>(values)...)] {
                        const TickGate::Pass pass(requestGate.get());
                        std::apply([&](const auto&... copies) { (target->*fetch)(copies...); }, arguments);
                    },
                    Qt::QueuedConnection);
            }));
    }

    // Delivers the worker's result signal, queued, to the tab's data-ready
    // slot. The value crosses threads by copy: its type must be a metatype
    // (Q_DECLARE_METATYPE), which the queued connection registers.
    template <typename Result, typename Tab, typename SlotResult>
    void connectResult(void (Worker::*updated)(Result), Tab* tab, void (Tab::*dataReady)(SlotResult)) {
        static_assert(!std::is_pointer_v<std::decay_t<Result>>, "results travel by value");
        QObject::connect(worker, updated, tab, dataReady, Qt::QueuedConnection);
    }

    void start() { thread.start(); }

    // Cuts the requests and ends the thread within timeoutMs; true when it ended.
    bool stop(unsigned long timeoutMs = 5000) {
        disconnectRequests();
        return thread.stop(timeoutMs);
    }

    // A request that skips while busy is queued or running.
    bool isBusy() const { return gate->isBusy(); }

    // For calls the worker documents as safe from any thread, and for tests.
    Worker* object() const { return worker; }

private:
    void disconnectRequests() {
        for (const QMetaObject::Connection& connection : requestConnections)
            QObject::disconnect(connection);
        requestConnections.clear();
    }

    const QString name;
    // Shared with the queued calls, so that a thread left running after a
    // stop that timed out never touches a freed gate.
    const std::shared_ptr<TickGate> gate = std::make_shared<TickGate>();
    Worker* worker;
    WorkerThread thread;
    QList<QMetaObject::Connection> requestConnections;
};
