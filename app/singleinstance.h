#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one running copy of the program per machine through a local socket
// in a folder only root may write (/run/tessmar, mode 0700): in the shared
// temporary folder any local user could block the name. Only a peer running
// as our own user counts as an instance.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket is socketName inside the absolute folder.
    SingleInstance(const QString& folder, const QString& socketName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Connects to the socket; true when a genuine instance answers in time.
    // The connection alone asks that instance to raise its window.
    bool anotherInstanceIsRunning(int timeoutMs = 1000);
    // Makes the folder private, removes a stale socket and listens, owner-only.
    bool listen();

    QString socketPath() const;

signals:
    void activationRequested();

private:
    bool preparePrivateFolder() const;
    void onNewConnection();

    QString folder;
    QString socketName;
    QLocalServer* server = nullptr;
};
