#include "workerusers.h"

#include "accountchanges.h"
#include "accountqueries.h"
#include "commandrunner.h"
#include "securitylevel.h"
#include "userslog.h"

WorkerUsers::WorkerUsers(QObject* parent) : QObject(parent) {
    qCDebug(lcUsers) << "We are here in WorkerUsers!";
}

WorkerUsers::~WorkerUsers() = default;

bool WorkerUsers::stopping() const {
    return cancelled || CommandRunner::isAborted();
}

void WorkerUsers::getUsers() {
    qCDebug(lcUsers) << "Here in get users!";
    // Quitting, or the tab going away, ends a long account list at once.
    const std::optional<QList<DetailsUser>> users =
        AccountQueries::listAccounts(showAllUsers, [this] { return stopping(); });
    if (!users)
        return;
    qCDebug(lcUsers) << "About to emit userlist" << users->size();
    emit userListUpdated(*users);
    picturesToRead.clear();
    for (const DetailsUser& user : *users)
        if (AccountQueries::mayHavePicture(user))
            picturesToRead.append(user);
    if (!picturesToRead.isEmpty() && !pictureReadQueued) {
        pictureReadQueued = true;
        QMetaObject::invokeMethod(this, &WorkerUsers::readNextPicture, Qt::QueuedConnection);
    }
}

void WorkerUsers::stopPictures() {
    qCDebug(lcUsers) << "Pictures left unread:" << picturesToRead.size();
    picturesToRead.clear();
}

void WorkerUsers::readNextPicture() {
    pictureReadQueued = false;
    if (picturesToRead.isEmpty() || stopping())
        return;
    const DetailsUser next = picturesToRead.takeFirst();
    const QImage picture = AccountQueries::picture(next, next.homeDirectory, [this] { return stopping(); });
    if (!picture.isNull())
        emit userPictureRead({next.username, picture});
    if (!picturesToRead.isEmpty()) {
        pictureReadQueued = true;
        QMetaObject::invokeMethod(this, &WorkerUsers::readNextPicture, Qt::QueuedConnection);
    }
}

void WorkerUsers::requestSetShowAllUsers(bool checked) {
    showAllUsers = checked;
    qCDebug(lcUsers).noquote() << "Set the showAllUsers to:" << (checked ? "true" : "false");
    getUsers();
}

void WorkerUsers::getGroups(const QString& username) {
    const QList<DetailsGroup> groups = AccountQueries::groupsOf(username);
    qCDebug(lcUsers) << "About to emit grouplist" << groups.size();
    emit groupListUpdated(groups);
}

int WorkerUsers::getUserPrimaryGid(const QString& username) {
    return AccountQueries::primaryGid(username);
}

DetailsUser WorkerUsers::getUserDetails(const QString& username) {
    return AccountQueries::userDetails(username);
}

QString WorkerUsers::getUserType(int uid, const QString& username) {
    return AccountQueries::userType(uid, username);
}

int WorkerUsers::getSudoUserSecurityLevel() {
    return SecurityLevel::ofInvokingUser();
}

int WorkerUsers::getSecurityLevel(const DetailsUser& user) {
    return SecurityLevel::ofAccount(user.username);
}

bool WorkerUsers::updateUserGroups(const QString& username, const QStringList& wanted,
                                   const QStringList& current, QString* error) {
    return AccountChanges::updateUserGroups(username, wanted, current, error);
}
