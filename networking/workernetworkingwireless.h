#pragma once

#include <QObject>

class WorkerNetworkingWireless : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingWireless(QObject* parent = nullptr);
    ~WorkerNetworkingWireless() override;
};
