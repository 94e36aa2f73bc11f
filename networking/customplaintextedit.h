#pragma once

#include <QPlainTextEdit>

// The packet payload panes: in hex mode the cursor moves and selects whole bytes.
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

private:
    bool hexView = false;
};
