#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

struct DetailsCronJob {
    QString name;
};

Q_DECLARE_METATYPE(DetailsCronJob)
