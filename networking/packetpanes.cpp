#include "packetpanes.h"

#include "captureformats.h"
#include "customplaintextedit.h"

#include <QLabel>

namespace {
QString hexLabel(quint16 value) {
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString hexRows(const QByteArray& payload) {
    QString text = CaptureFormats::hexBytes(payload);
    for (int byte = PacketPanes::BytesPerRow; byte < payload.size(); byte += PacketPanes::BytesPerRow)
        text[byte * 3 - 1] = QLatin1Char('\n');
    return text;
}

QString asciiRows(const QByteArray& payload) {
    QString text;
    text.reserve(payload.size() + payload.size() / PacketPanes::BytesPerRow);
    for (int byte = 0; byte < payload.size(); ++byte) {
        if (byte && byte % PacketPanes::BytesPerRow == 0)
            text += QLatin1Char('\n');
        const uchar c = uchar(payload[byte]);
        text += (c >= 32 && c <= 126) ? QLatin1Char(char(c)) : QLatin1Char('.');
    }
    return text;
}
} // namespace

PacketPanes::PacketPanes(const QList<QLabel*>& fieldLabels, CustomPlainTextEdit* hex,
                         CustomPlainTextEdit* ascii, QObject* parent)
    : QObject(parent), labels(fieldLabels), hex(hex), ascii(ascii) {
    Q_ASSERT(labels.size() == FieldCount);
    hex->setHexView(true);
    ascii->setHexView(false);
    // A pane that wrapped by its width would break its rows elsewhere than
    // the other (the ASCII text at punctuation); a narrow pane scrolls.
    hex->setLineWrapMode(QPlainTextEdit::NoWrap);
    ascii->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A cursor move and a selection in the HEX pane select the same bytes.
    connect(hex, &QPlainTextEdit::cursorPositionChanged, this, &PacketPanes::followHexCursor);
    connect(hex, &QPlainTextEdit::selectionChanged, this, &PacketPanes::followHexCursor);
    connect(ascii, &QPlainTextEdit::cursorPositionChanged, this, &PacketPanes::onAsciiCursorMoved);
    connect(ascii, &QPlainTextEdit::selectionChanged, this, &PacketPanes::onAsciiSelectionChanged);
    connect(hex, &CustomPlainTextEdit::hexClicked, this, &PacketPanes::onHexClicked);
    connect(ascii, &CustomPlainTextEdit::asciiClicked, this, &PacketPanes::onAsciiClicked);
}

void PacketPanes::show(const PacketInfo& packet) {
    loading = true;
    payloadBytes = packet.payload.size();
    hex->setPlainText(hexRows(packet.payload));
    ascii->setPlainText(asciiRows(packet.payload));

    labels[SourceMAC]->setText(packet.sourceMAC);
    labels[DestinationMAC]->setText(packet.destinationMAC);
    labels[EtherType]->setText(hexLabel(packet.etherType));
    labels[TTL]->setText(QString::number(packet.ttl));
    labels[Identification]->setText(QString::number(packet.identification));
    labels[Flags]->setText(QString::number(packet.flags));
    labels[IPChecksum]->setText(hexLabel(packet.ipChecksum));
    labels[SequenceNumber]->setText(QString::number(packet.sequenceNumber));
    labels[AcknowledgmentNumber]->setText(QString::number(packet.acknowledgmentNumber));
    labels[WindowSize]->setText(QString::number(packet.windowSize));
    labels[TransportChecksum]->setText(hexLabel(packet.transportChecksum));
    loading = false;
}

void PacketPanes::clear() {
    loading = true;
    for (QLabel* label : qAsConst(labels))
        label->setText(QStringLiteral("N/A"));
    payloadBytes = 0;
    hex->clear();
    ascii->clear();
    hex->setExtraSelections({});
    ascii->setExtraSelections({});
    loading = false;
}

void PacketPanes::selectAsciiBytes(int firstByte, int endByte) {
    const int length = ascii->document()->characterCount() - 1;
    const int start = qMin(asciiPosition(firstByte), length);
    // Up to the last byte's character, not the row break after it.
    const int end = endByte > firstByte ? qMin(asciiPosition(endByte - 1) + 1, length) : start;
    QTextCursor cursor = ascii->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    ascii->setTextCursor(cursor);
}

void PacketPanes::onHexClicked(int hexPosition) {
    syncing = true;
    const int byte = hexPosition / 3;
    if (byte >= 0 && byte < payloadBytes)
        selectAsciiBytes(byte, byte + 1);
    syncing = false;
}

void PacketPanes::onAsciiClicked(int clickedPosition) {
    const int position = byteAtAscii(clickedPosition) * 3;
    if (position >= 0 && position < hex->document()->characterCount() - 1) {
        QTextCursor cursor = hex->textCursor();
        cursor.setPosition(position);
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, 1);
        hex->setTextCursor(cursor);
    }
}

void PacketPanes::followHexCursor() {
    if (syncing || loading)
        return;
    syncing = true;
    ascii->setExtraSelections({});
    const QTextCursor cursor = hex->textCursor();
    selectAsciiBytes(qMin(cursor.selectionStart() / 3, payloadBytes),
                     qMin((cursor.selectionEnd() + 2) / 3, payloadBytes));
    syncing = false;
}

void PacketPanes::onAsciiSelectionChanged() {
    if (syncing || loading)
        return;
    syncing = true;
    hex->setExtraSelections({});
    const QTextCursor selection = ascii->textCursor();
    if (!selection.hasSelection()) {
        QTextCursor cursor = hex->textCursor();
        cursor.clearSelection();
        hex->setTextCursor(cursor);
        syncing = false;
        onAsciiCursorMoved();
        return;
    }
    const int length = hex->document()->characterCount() - 1;
    QTextCursor cursor = hex->textCursor();
    cursor.setPosition(qMin(byteAtAscii(selection.selectionStart()) * 3, length));
    cursor.setPosition(qMin(byteAtAscii(selection.selectionEnd()) * 3, length), QTextCursor::KeepAnchor);
    hex->setTextCursor(cursor);
    syncing = false;
}

void PacketPanes::onAsciiCursorMoved() {
    if (syncing || loading)
        return;
    const QTextCursor cursor = ascii->textCursor();
    if (cursor.hasSelection())
        return;
    syncing = true;
    auto highlight = [](QPlainTextEdit* pane, int position, int characters) {
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(pane->palette().color(QPalette::Highlight));
        selection.format.setForeground(pane->palette().color(QPalette::HighlightedText));
        selection.cursor = QTextCursor(pane->document());
        selection.cursor.setPosition(qMin(position, pane->document()->characterCount() - 1));
        selection.cursor.setPosition(qMin(position + characters, pane->document()->characterCount() - 1),
                                     QTextCursor::KeepAnchor);
        pane->setExtraSelections({selection});
    };
    const int byte = byteAtAscii(cursor.position());
    highlight(ascii, asciiPosition(byte), 1);
    highlight(hex, byte * 3, 2);
    syncing = false;
}
