#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One systemd service unit file as listed on the Services page.
struct DetailsService {
    QString unitName; // with its ".service" suffix
    QString unitFileState;
    QString activeState;
    QString subState;
    QString extra;
    QString description;
};

Q_DECLARE_METATYPE(DetailsService)

// One answer of the service worker: the listed units, or why there are none.
struct ServiceListing {
    QList<DetailsService> services;
    QString failure; // empty when the listing was made
};

Q_DECLARE_METATYPE(ServiceListing)
