#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Runs wmctrl for the Applications tab on a thread of its own, so that a
// slow or wedged X server never freezes the window; every run is bounded.
class WorkerApplications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static constexpr int timeoutMs = 3000;

public slots:
    // Answers with windowListRead; the output is empty when wmctrl could not
    // run or did not finish in time.
    void fetchWindowList();
    // action is "-ic" (close gracefully) or "-ia" (activate); answers with
    // windowCommandFinished.
    void runWindowCommand(const QString& action, const QString& id);

signals:
    void windowListRead(const QByteArray& output);
    void windowCommandFinished(const QString& action, const QString& id, bool succeeded);
};
