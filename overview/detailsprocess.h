#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One row of the process table, built on the scanner's thread and copied by
// value to the GUI thread.
struct DetailsProcess {
    QString pid;
    QString user;
    QString name;
    QString state;
    QString cpuUsage;
    QString memory;
    QString nice;
    // Clock ticks after boot at which the process started, as the scan read
    // it: with pid it names the process this row showed, even when the ID
    // has been reused since.
    qint64 startTime = 0;
    // Theme icon names or absolute file paths, best first. The scanner only
    // picks the candidates: QIcon and the theme lookup are not thread-safe,
    // so the icon itself is built on the GUI thread.
    QStringList iconNames;
};

Q_DECLARE_METATYPE(DetailsProcess)
