#pragma once

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One local account as the Users page and the user dialogs see it.
struct DetailsUser {
    QString username;
    int uid = 0;
    int gid = 0;
    int securityLevel = 0; // 0 to 2
    QString userType;
    bool isOnlyAdministrator = false;
    QString realName;
    QString homeDirectory;
    QString loginShell;
    QString lastLoginTime;
    bool isLoggedIn = false;
    QString description;
    QStringList groups;
    bool autoLogin = false;
};

// The picture of one account (its ~/.face as the account's tile shows it),
// read after the account list.
struct UserPicture {
    QString username;
    QImage picture;
};

Q_DECLARE_METATYPE(DetailsUser)
Q_DECLARE_METATYPE(UserPicture)
