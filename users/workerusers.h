#pragma once

#include "detailsuser.h"

#include <QObject>

// Reads accounts and groups; also the program's per-user settings
// (security level) under root's home.
class WorkerUsers : public QObject {
    Q_OBJECT
public:
    explicit WorkerUsers(QObject* parent = nullptr);
    ~WorkerUsers() override;

    // True when the folder exists or was created with all missing parents.
    static bool ensureDirectoryExists(const QString& path);
    // Security level (0 to 2) of the invoking user named by SUDO_USER; creates
    // the settings folder and file (level 2) when they are missing.
    static int getSudoUserSecurityLevel();
    // Security level of any account; never creates anything.
    static int getSecurityLevel(const DetailsUser& user);

signals:
    void userListUpdated(const QList<DetailsUser>& users);

public slots:
    void getUsers();
    void requestSetShowAllUsers(bool checked);

private:
    bool showAllUsers = false;
};
