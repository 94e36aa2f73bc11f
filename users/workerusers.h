#pragma once

#include "detailsgroup.h"
#include "detailsuser.h"

#include <QMap>
#include <QObject>

// Reads the local accounts and groups, the program's per-user settings and
// security level, and changes group membership. Lives on the Users tab's
// thread for the account list; the dialogs call it directly.
class WorkerUsers : public QObject {
    Q_OBJECT
public:
    explicit WorkerUsers(QObject* parent = nullptr);
    ~WorkerUsers() override;

    // Every field but the picture, which it leaves at the stand-in icon: the
    // home folder is read by the account list only, off the GUI thread.
    static DetailsUser getUserDetails(const QString& username);
    static QString getUserType(int uid, const QString& username);
    static QStringList getUserGroups(const QString& username);
    static bool isUserInAdminGroup(const QString& username);
    static int countAdministrators();
    static bool isOnlyAdministrator(const DetailsUser& user);
    static QString getLastLoginTime(const DetailsUser& user);
    static bool isUserLoggedIn(const DetailsUser& user);
    // The picture of an account; reads at most a small regular file owned by
    // the account, so call it off the GUI thread for many accounts.
    // The icon makes its pixmaps only when painted, so it may cross threads.
    static QIcon getUserIcon(const DetailsUser& user, const QString& homeDirectory);
    static QString getUserDescription(const DetailsUser& user);
    static bool isAutoLoginUser(const DetailsUser& user);
    static QMap<QString, QString> getGroupDescriptions();

    // True when the folder exists or was created with all missing parents.
    static bool ensureDirectoryExists(const QString& path);
    // Security level (0 to 2) of the invoking user named by SUDO_USER; creates
    // the settings folder and file (level 2) when they are missing.
    static int getSudoUserSecurityLevel();
    // Security level of any account; never creates anything.
    static int getSecurityLevel(const DetailsUser& user);

    // Adds and removes memberships so that username's groups go from current
    // to wanted. The primary group is never touched; the only administrator
    // is never taken out of "sudo". error says why when false.
    bool updateUserGroups(const QString& username, const QStringList& wanted, const QStringList& current,
                          QString* error = nullptr);

signals:
    void userListUpdated(const QList<DetailsUser>& users);
    void groupListUpdated(const QList<DetailsGroup>& groups);

public slots:
    void getUsers();
    void getGroups(const QString& username);
    int getUserPrimaryGid(const QString& username);
    void requestSetShowAllUsers(bool checked);

private:
    bool showAllUsers = false;
};
