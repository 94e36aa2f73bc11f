#pragma once

#include <QPointer>
#include <QString>

class QObject;
class QThread;

// Owns the thread a tab's worker runs on. The worker is moved to a new
// thread, deleted on that thread when it finishes, and stop() ends the
// thread within a bounded wait so that quitting never leaves one running.
class WorkerThread {
public:
    WorkerThread(QObject* worker, const QString& name);
    ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread with inherited priority unless it is running already.
    void start();
    // Asks the thread's event loop to quit and waits up to timeoutMs.
    // Returns true when the thread has ended.
    bool stop(unsigned long timeoutMs = 5000);
    bool isRunning() const;
    QThread* thread() const { return m_thread; }

    // From now on no stop() waits past deadlineMs from now: a worker still
    // in a long step then is left to end with the process. Set as the
    // program quits, so that quitting has a bound whatever the workers do.
    static void limitStopsTo(int deadlineMs);
    // How many threads stop() has left running so far.
    static int leftRunning();

private:
    QThread* m_thread = nullptr;
    QPointer<QObject> m_worker;
};
