#pragma once

#include "detailsgroup.h"
#include "detailsuser.h"

#include <QObject>
#include <atomic>

// The worker of the Users tab: on the tab's thread it lists the accounts
// (AccountQueries) for the page, then reads their pictures one by one, so
// that a slow picture never holds up the list. The user dialogs and the main window make
// plain instances of their own and call it directly for one account's
// details, its security level (SecurityLevel) and its groups.
class WorkerUsers : public QObject {
    Q_OBJECT
public:
    explicit WorkerUsers(QObject* parent = nullptr);
    ~WorkerUsers() override;

    // Every field but the picture: the home folder is read by the account
    // list only, off the GUI thread.
    static DetailsUser getUserDetails(const QString& username);
    static QString getUserType(int uid, const QString& username);
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

    // From any thread: a list being read stops at its next account and
    // answers nothing; a picture being decoded stops at its next read.
    void cancel() { cancelled = true; }

signals:
    // The accounts without their pictures; each picture follows on its own.
    void userListUpdated(const QList<DetailsUser>& users);
    // The picture of one account of the last list.
    void userPictureRead(const UserPicture& picture);
    void groupListUpdated(const QList<DetailsGroup>& groups);

public slots:
    void getUsers();
    // The pictures of the last list not read yet are not read (the page was left).
    void stopPictures();
    void getGroups(const QString& username);
    int getUserPrimaryGid(const QString& username);
    void requestSetShowAllUsers(bool checked);

private:
    // One picture per call, each call queued behind whatever the tab asked
    // for meanwhile: a new list, or stopPictures.
    void readNextPicture();
    bool stopping() const;

    bool showAllUsers = false;
    std::atomic<bool> cancelled{false};
    QList<DetailsUser> picturesToRead;
    bool pictureReadQueued = false;
};
