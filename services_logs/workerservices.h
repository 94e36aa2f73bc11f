#pragma once

#include "detailsservice.h"

#include <QObject>

class WorkerServices : public QObject {
    Q_OBJECT
public:
    explicit WorkerServices(QObject* parent = nullptr);
    ~WorkerServices() override;

public slots:
    void fetchServices();

signals:
    void servicesUpdated(const QList<DetailsService>& records);
};
