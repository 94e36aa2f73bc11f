#pragma once

#include "packetinfo.h"

#include <QObject>

class WorkerNetworkingPacketSniffer : public QObject {
    Q_OBJECT
public:
    explicit WorkerNetworkingPacketSniffer(QObject* parent = nullptr);
    ~WorkerNetworkingPacketSniffer() override;
};
