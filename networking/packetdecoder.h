#pragma once

#include "packetinfo.h"

#include <QString>
#include <cstddef>
#include <cstdint>

// Decoding of captured Ethernet frames into packet records. Pure functions of
// the captured bytes: every offset is checked against the captured length, so
// a short, lying or hostile frame is dropped instead of read past its end.
namespace PacketDecoder {

constexpr quint16 EtherTypeIPv4 = 0x0800;
constexpr int EthernetHeaderLength = 14;

// What the capture needs of a frame before it keeps it: the two endpoints,
// the protocol and where the IP payload lies. Numbers in host order.
struct FrameSummary {
    quint32 sourceAddress = 0;
    quint32 destinationAddress = 0;
    quint16 sourcePort = 0; // 0 unless TCP or UDP (and a first fragment)
    quint16 destinationPort = 0;
    quint8 protocol = 0;
    quint16 totalLength = 0;       // the IPv4 total-length field
    bool groupDestination = false; // Ethernet broadcast or multicast
    int transportOffset = 0;       // from the start of the frame
    int transportLength = 0;       // IP payload bytes that were captured
};

// Checks the frame as decodeEthernetFrame does and fills summary, without
// making any text. False for a frame that decodeEthernetFrame drops.
bool summarizeFrame(const uchar* frame, size_t capturedLength, FrameSummary& summary);

// Fills every field of packet that the frame itself gives (all but the
// application, the direction and the timestamp). Returns false, leaving
// packet in an unspecified state, for a frame that is not IPv4 over Ethernet
// or whose headers do not fit in the captured bytes. The payload is cut to
// what was captured when the IPv4 total length claims more.
bool decodeEthernetFrame(const uchar* frame, size_t capturedLength, PacketInfo& packet);

// The IP protocol number of an Ethernet frame carrying IPv4, or -1 when the
// frame is too short to tell. Lets the capture drop switched-off protocols
// before decoding.
int ipProtocolOf(const uchar* frame, size_t capturedLength);

// "yyyy-MM-dd HH:mm:ss.zzz" in UTC, computed without a time-zone lookup.
QString formatTimestamp(qint64 seconds, qint64 microseconds);

// "TCP" for 6, "UDP" for 17, otherwise the number in decimal.
QString protocolText(quint8 protocol);

// Dotted decimal text of an address given in host order (0x7F000001 is 127.0.0.1).
QString ipv4Text(quint32 address);
// Six lower-case two-digit bytes joined by ':'.
QString macText(const uchar* bytes);

} // namespace PacketDecoder
