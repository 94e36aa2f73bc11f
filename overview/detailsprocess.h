#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

// One row of the process table.
struct DetailsProcess {
    QString pid;
    QString user;
    QString name;
    QString state;
    QString cpu;
    QString memory;
    QString priority;
    QIcon icon;
};

Q_DECLARE_METATYPE(DetailsProcess)
