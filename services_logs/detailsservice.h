#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

struct DetailsService {
    QString name;
};

Q_DECLARE_METATYPE(DetailsService)
