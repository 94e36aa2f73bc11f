#pragma once

#include "packetinfo.h"

#include <QByteArray>
#include <QString>

// The three file formats a capture is saved in, as bytes: a readable text
// report, CSV and the classic pcap file (Ethernet, snapshot length 65535).
// Pure functions; the page walks its tree and streams their output.
namespace CaptureFormats {

QByteArray textHeader();
QByteArray textGroupStart(const QString& application);
QByteArray textPacket(const PacketInfo& packet);
QByteArray textGroupEnd();

QByteArray csvHeader();
QByteArray csvLine(const QString& application, const PacketInfo& packet);
// A value in double quotes, inner quotes doubled, so commas, quotes and line
// breaks in a process name cannot break the row; one that a spreadsheet
// would take for a formula (a leading =, +, -, @, tab or carriage return)
// gets a leading ' so that it stays text.
QString csvField(const QString& value);

QByteArray pcapFileHeader();
QByteArray pcapRecord(const PacketInfo& packet);

// "yyyy-MM-dd HH:mm:ss.zzz" read as UTC, whatever the local time zone.
bool parseTimestamp(const QString& text, qint64& seconds, qint64& microseconds);

// Payload bytes as upper-case hex pairs separated by single spaces.
QString hexBytes(const QByteArray& bytes);

} // namespace CaptureFormats
