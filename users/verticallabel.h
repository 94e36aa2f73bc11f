#pragma once

#include <QLabel>

// A label whose text reads from top to bottom.
class VerticalLabel : public QLabel {
    Q_OBJECT
public:
    explicit VerticalLabel(QWidget* parent = nullptr);
    ~VerticalLabel() override;
    // The text stands upright, so width and height trade places.
    QSize sizeHint() const override { return QLabel::sizeHint().transposed(); }
    QSize minimumSizeHint() const override { return QLabel::minimumSizeHint().transposed(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
