#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// One captured IPv4 frame. Numbers are in host order.
struct PacketInfo {
    QString application;
    QString timestamp; // UTC, "yyyy-MM-dd HH:mm:ss.zzz"
    QString sourceIP;
    quint16 sourcePort = 0;
    QString destinationIP;
    quint16 destinationPort = 0;
    QString protocol;   // "TCP", "UDP" or the IP protocol number
    quint32 length = 0; // IPv4 total length
    QString direction;  // "Outgoing", "Incoming" or "Broadcast"
    QByteArray rawData;
    QByteArray payload;
    QString sourceMAC;
    QString destinationMAC;
    quint16 etherType = 0;
    quint8 ttl = 0;
    quint16 identification = 0;
    quint16 flags = 0; // only the three flag bits, left in place
    quint16 ipChecksum = 0;
    quint32 sequenceNumber = 0;
    quint32 acknowledgmentNumber = 0;
    quint16 windowSize = 0;
    quint16 transportChecksum = 0;
};

Q_DECLARE_METATYPE(PacketInfo)
