#pragma once

#include <QLabel>

// A label whose text reads from top to bottom.
class VerticalLabel : public QLabel {
    Q_OBJECT
public:
    explicit VerticalLabel(QWidget* parent = nullptr);
    ~VerticalLabel() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
