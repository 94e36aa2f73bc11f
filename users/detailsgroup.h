#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One group as seen for one account in the group membership dialog.
struct DetailsGroup {
    QString name;
    int gid = -1; // until a group line sets it
    QString description;
    bool isMember = false;
    bool isLocked = false; // the membership may not be changed
};

Q_DECLARE_METATYPE(DetailsGroup)
