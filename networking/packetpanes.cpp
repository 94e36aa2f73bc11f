#include "packetpanes.h"

#include "captureformats.h"
#include "customplaintextedit.h"

#include <QLabel>

namespace {
QString hexLabel(quint16 value) {
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}
} // namespace

PacketPanes::PacketPanes(const QList<QLabel*>& fieldLabels, CustomPlainTextEdit* hex,
                         CustomPlainTextEdit* ascii, QObject* parent)
    : QObject(parent), labels(fieldLabels), hex(hex), ascii(ascii) {
    Q_ASSERT(labels.size() == FieldCount);
    hex->setHexView(true);
    ascii->setHexView(false);
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
    QString text;
    text.reserve(packet.payload.size());
    for (const char c : packet.payload)
        text += (uchar(c) >= 32 && uchar(c) <= 126) ? QLatin1Char(c) : QLatin1Char('.');
    hex->setPlainText(CaptureFormats::hexBytes(packet.payload));
    ascii->setPlainText(text);

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
    hex->clear();
    ascii->clear();
    hex->setExtraSelections({});
    ascii->setExtraSelections({});
    loading = false;
}

void PacketPanes::selectAsciiRange(int start, int end) {
    QTextCursor cursor = ascii->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    ascii->setTextCursor(cursor);
}

void PacketPanes::onHexClicked(int hexPosition) {
    syncing = true;
    const int byte = hexPosition / 3;
    if (byte >= 0 && byte < ascii->toPlainText().length())
        selectAsciiRange(byte, byte + 1);
    syncing = false;
}

void PacketPanes::onAsciiClicked(int asciiPosition) {
    const int position = asciiPosition * 3;
    if (position >= 0 && position < hex->toPlainText().length()) {
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
    const int length = ascii->toPlainText().length();
    selectAsciiRange(qMin(cursor.selectionStart() / 3, length),
                     qMin((cursor.selectionEnd() + 2) / 3, length));
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
    const int length = hex->toPlainText().length();
    QTextCursor cursor = hex->textCursor();
    cursor.setPosition(qMin(selection.selectionStart() * 3, length));
    cursor.setPosition(qMin(selection.selectionEnd() * 3, length), QTextCursor::KeepAnchor);
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
    const int position = cursor.position();
    highlight(ascii, position, 1);
    highlight(hex, position * 3, 2);
    syncing = false;
}
