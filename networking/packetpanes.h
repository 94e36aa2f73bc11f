#pragma once

#include "packetinfo.h"

#include <QList>
#include <QObject>

class CustomPlainTextEdit;
class QLabel;
class QPlainTextEdit;

// The details of the selected packet: its header fields, and its payload in
// a HEX pane and an ASCII pane that follow each other (a click, a cursor or
// a selection in one shows the same bytes in the other).
//
// Both panes break their rows after every 16 bytes and never wrap, so each
// ASCII row shows the bytes of the HEX row beside it. In the HEX pane byte i
// is at 3i (the row break takes the place of a space); in the ASCII pane
// each row break is a character of its own.
class PacketPanes : public QObject {
    Q_OBJECT
public:
    static constexpr int BytesPerRow = 16;
    // The header fields' labels, in the order of PacketPanes::Field.
    enum Field {
        SourceMAC,
        DestinationMAC,
        EtherType,
        TTL,
        Identification,
        Flags,
        IPChecksum,
        SequenceNumber,
        AcknowledgmentNumber,
        WindowSize,
        TransportChecksum,
        FieldCount
    };

    PacketPanes(const QList<QLabel*>& fieldLabels, CustomPlainTextEdit* hex, CustomPlainTextEdit* ascii,
                QObject* parent = nullptr);

    void show(const PacketInfo& packet);
    // "N/A" in every field and empty panes.
    void clear();

private:
    void onHexClicked(int hexPosition);
    void onAsciiClicked(int clickedPosition);
    void followHexCursor();
    void onAsciiSelectionChanged();
    void onAsciiCursorMoved();
    // The ASCII range of the bytes [firstByte, endByte).
    void selectAsciiBytes(int firstByte, int endByte);
    static int asciiPosition(int byte) { return byte + byte / BytesPerRow; }
    static int byteAtAscii(int position) { return position - position / (BytesPerRow + 1); }

    QList<QLabel*> labels;
    CustomPlainTextEdit* hex;
    CustomPlainTextEdit* ascii;
    int payloadBytes = 0;
    // Set while the panes are filled or one follows the other, so that
    // the change it makes is not followed back.
    bool loading = false;
    bool syncing = false;
};
