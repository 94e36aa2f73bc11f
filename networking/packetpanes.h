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
class PacketPanes : public QObject {
    Q_OBJECT
public:
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
    void onAsciiClicked(int asciiPosition);
    void followHexCursor();
    void onAsciiSelectionChanged();
    void onAsciiCursorMoved();
    void selectAsciiRange(int start, int end);

    QList<QLabel*> labels;
    CustomPlainTextEdit* hex;
    CustomPlainTextEdit* ascii;
    // Set while the panes are filled or one follows the other, so that
    // the change it makes is not followed back.
    bool loading = false;
    bool syncing = false;
};
