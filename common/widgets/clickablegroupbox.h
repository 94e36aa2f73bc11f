#pragma once

#include <QGroupBox>

// A group box that reports a left click anywhere on it.
class ClickableGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit ClickableGroupBox(QWidget* parent = nullptr);
    ~ClickableGroupBox() override;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
