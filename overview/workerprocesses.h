#pragma once

#include "detailsprocess.h"

#include <QObject>
#include <memory>

class ProcessScanner;

// Scans /proc on its own thread and answers with the process list.
class WorkerProcesses : public QObject {
    Q_OBJECT
public:
    explicit WorkerProcesses(QObject* parent = nullptr);
    ~WorkerProcesses() override;

    // The session user's ID, from XDG_RUNTIME_DIR or else SUDO_UID; empty
    // when they name none.
    static QString getSessionUid();

public slots:
    void fetchProcesses();
    void requestSetShowAllUsers(bool checked);

signals:
    void processListUpdated(const QList<DetailsProcess>& detailsProcess);

private:
    std::unique_ptr<ProcessScanner> scanner;
    bool showAllUsers = false;
};
