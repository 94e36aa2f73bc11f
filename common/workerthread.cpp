#include "workerthread.h"

#include <QDebug>
#include <QObject>
#include <QThread>

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
        if (!m_thread->wait(timeoutMs)) {
            qWarning().noquote() << "Worker thread" << m_thread->objectName() << "did not stop in time";
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
