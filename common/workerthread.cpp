#include "workerthread.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>

Q_LOGGING_CATEGORY(lcWorkerThread, "tessmar.workerthread", QtWarningMsg)

namespace {
using Clock = std::chrono::steady_clock;
// Nanoseconds on Clock; the largest value while there is no limit.
std::atomic<Clock::rep> stopDeadline{Clock::duration::max().count()};
std::atomic<int> threadsLeftRunning{0};

unsigned long boundedWait(unsigned long timeoutMs) {
    const Clock::rep deadline = stopDeadline.load();
    if (deadline == Clock::duration::max().count())
        return timeoutMs;
    const Clock::rep left = deadline - Clock::now().time_since_epoch().count();
    const auto leftMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration(left)).count();
    return std::min<unsigned long>(timeoutMs,
                                   static_cast<unsigned long>(std::max<decltype(leftMs)>(leftMs, 0)));
}
} // namespace

WorkerThread::WorkerThread(QObject* worker, const QString& name) : m_thread(new QThread), m_worker(worker) {
    m_thread->setObjectName(name);
    worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
}

WorkerThread::~WorkerThread() {
    if (stop())
        delete m_thread;
    // A thread that did not end in time is left alone: deleting a running
    // QThread would abort the program.
}

void WorkerThread::start() {
    if (!m_thread->isRunning())
        m_thread->start(QThread::InheritPriority);
}

bool WorkerThread::stop(unsigned long timeoutMs) {
    if (m_thread->isRunning()) {
        m_thread->quit();
        if (!m_thread->wait(boundedWait(timeoutMs))) {
            // Expected while quitting, when the wait has a bound; a fault otherwise.
            if (stopDeadline.load() != Clock::duration::max().count())
                qCDebug(lcWorkerThread).noquote()
                    << "Worker thread" << m_thread->objectName() << "is left to end with the program";
            else
                qWarning().noquote() << "Worker thread" << m_thread->objectName() << "did not stop in time";
            ++threadsLeftRunning;
            return false;
        }
    }
    // The deferred delete normally runs as the thread finishes; a worker
    // whose thread never started is deleted here.
    delete m_worker.data();
    return true;
}

bool WorkerThread::isRunning() const {
    return m_thread->isRunning();
}

void WorkerThread::limitStopsTo(int deadlineMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    stopDeadline.store(deadline.time_since_epoch().count());
}

int WorkerThread::leftRunning() {
    return threadsLeftRunning.load();
}
