#pragma once

#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

struct DetailsLogsSysLog {
    QString name;
};

struct DetailsLogsAuthLog {
    QString name;
};

struct DetailsLogsKernLog {
    QString name;
};

struct DetailsLogsDmesgLog {
    QString name;
};

struct DetailsLogsBootLog {
    QString name;
};

struct DetailsLogsFailLog {
    QString name;
};

struct DetailsLogsDpkgLog {
    QString name;
};

struct DetailsLogsFlatpakLog {
    QString name;
};

Q_DECLARE_METATYPE(DetailsLogsSysLog)
Q_DECLARE_METATYPE(DetailsLogsAuthLog)
Q_DECLARE_METATYPE(DetailsLogsKernLog)
Q_DECLARE_METATYPE(DetailsLogsDmesgLog)
Q_DECLARE_METATYPE(DetailsLogsBootLog)
Q_DECLARE_METATYPE(DetailsLogsFailLog)
Q_DECLARE_METATYPE(DetailsLogsDpkgLog)
Q_DECLARE_METATYPE(DetailsLogsFlatpakLog)
