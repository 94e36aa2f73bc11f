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

signals:
    void serviceListUpdated(const QList<DetailsService>& detailsService);
    // The listing could not be made; the message says why, for the page.
    void serviceListFailed(const QString& message);

public slots:
    void fetchServices();
    void requestSetShowFailedServices(bool checked);

private:
    bool showFailedServices = false;
};
