#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

struct PacketInfo {
    QString name;
};

Q_DECLARE_METATYPE(PacketInfo)
