#include "customplaintextedit.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTextBlock>

CustomPlainTextEdit::CustomPlainTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

CustomPlainTextEdit::~CustomPlainTextEdit() = default;

int CustomPlainTextEdit::lastValidPosition() const {
    // The character count includes the closing paragraph separator.
    return document()->characterCount() - 2;
}

void CustomPlainTextEdit::selectByte(int position) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(position);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, 2);
    setTextCursor(cursor);
    emit hexClicked(position);
}

void CustomPlainTextEdit::selectByteAround(int position) {
    const int last = lastValidPosition();
    if (last < 0)
        return; // an empty pane has no byte to select
    selectByte(qBound(0, position / 3 * 3, last));
}

void CustomPlainTextEdit::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (hexView)
        selectByteAround(textCursor().position());
    else
        emit asciiClicked(textCursor().position());
}

void CustomPlainTextEdit::keyPressEvent(QKeyEvent* event) {
    if (!hexView) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int byte = textCursor().position() / 3 + (event->key() == Qt::Key_Left ? -1 : 1);
        const int position = byte * 3;
        if (position >= 0 && position <= lastValidPosition())
            selectByte(position);
        event->accept();
        return;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        QPlainTextEdit::keyPressEvent(event);
        selectByteAround(textCursor().position());
        event->accept();
        return;
    default:
        QPlainTextEdit::keyPressEvent(event);
    }
}

void CustomPlainTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setStyleSheet(QStringLiteral("QMenu { background-color: white; color: black; }"
                                       "QMenu::item::selected { background-color: #3399FF; }"));
    menu->exec(event->globalPos());
    delete menu;
}
