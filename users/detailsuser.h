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
    // The picture the account chose (~/.face) as its tile shows it, read on
    // the worker's thread; null for none, where the page shows a stand-in.
    QImage picture;
    QString description;
    QStringList groups;
    bool autoLogin = false;
};

Q_DECLARE_METATYPE(DetailsUser)
