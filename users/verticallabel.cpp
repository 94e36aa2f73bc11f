#include "verticallabel.h"

#include <QPainter>

VerticalLabel::VerticalLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

VerticalLabel::~VerticalLabel() = default;

void VerticalLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Current : QPalette::Disabled, QPalette::WindowText));
    painter.translate(width(), 0);
    painter.rotate(90);
    painter.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text());
}
