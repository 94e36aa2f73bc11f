#pragma once

#include <QPlainTextEdit>

// The packet payload panes. In hex view (byte i at characters 3i, 3i+1 and a
// space) the cursor moves and selects whole bytes and clicks report the byte;
// the ASCII pane reports the clicked character.
class CustomPlainTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CustomPlainTextEdit(QWidget* parent = nullptr);
    ~CustomPlainTextEdit() override;

    void setHexView(bool enabled) { hexView = enabled; }

    QSize sizeHint() const override { return QSize(100, 0); }
    QSize minimumSizeHint() const override { return QSize(100, 0); }

signals:
    void hexClicked(int position);
    void asciiClicked(int position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int lastValidPosition() const;
    // Selects the byte whose first digit is nearest at or before position.
    void selectByteAround(int position);
    void selectByte(int position);

    bool hexView = false;
};
