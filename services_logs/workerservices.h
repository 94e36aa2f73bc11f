#pragma once

#include "detailsservice.h"

#include <QObject>

// Lists the systemd service unit files on its own thread.
class WorkerServices : public QObject {
    Q_OBJECT
public:
    explicit WorkerServices(QObject* parent = nullptr);
    ~WorkerServices() override;

signals:
    void serviceListUpdated(const QList<DetailsService>& detailsService);

public slots:
    void fetchServices();
    void requestSetShowFailedServices(bool checked);

private:
    bool showFailedServices = false;
};
