#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

struct DetailsUser {
    QString name;
};

Q_DECLARE_METATYPE(DetailsUser)
