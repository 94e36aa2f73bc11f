#pragma once

#include "detailsservice.h"

#include <QObject>

// Lists the systemd service unit files on its own thread.
class WorkerServices : public QObject {
    Q_OBJECT
public:
    explicit WorkerServices(QObject* parent = nullptr);
    ~WorkerServices() override;

    // Folders searched, in this order, for a unit file's description.
    static const QStringList& unitFolders();
    // The description of a unit from the first folder whose file has one.
    static QString findDescription(const QString& unitName);

    // Time allowed for one run of systemctl.
    static constexpr int listingTimeoutMs = 5000;
    // Largest part of a unit file searched for its description.
    static constexpr qint64 maxUnitFileBytes = 1024 * 1024;

signals:
    // Every listing answers once: with the units, or with the reason it
    // could not be made, for the page.
    void serviceListUpdated(const ServiceListing& listing);

public slots:
    void fetchServices();
    void requestSetShowFailedServices(bool checked);

private:
    bool showFailedServices = false;
};
