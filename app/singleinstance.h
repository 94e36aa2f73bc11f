#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one running copy of the program per machine through a named local
// socket. Only a peer running as our own user (root) counts as an instance:
// any local user can create a socket of that name first.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Connects to the server name; true when a genuine instance answers in time.
    // The connection alone asks that instance to raise its window.
    bool anotherInstanceIsRunning(int timeoutMs = 1000);
    // Removes a stale or foreign socket of the name and listens, owner-only.
    bool listen();

signals:
    void activationRequested();

private:
    void onNewConnection();

    QString serverName;
    QLocalServer* server = nullptr;
};
