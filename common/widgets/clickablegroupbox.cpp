#include "clickablegroupbox.h"

#include <QMouseEvent>

ClickableGroupBox::ClickableGroupBox(QWidget* parent) : QGroupBox(parent) {}

ClickableGroupBox::~ClickableGroupBox() = default;

void ClickableGroupBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked();
}
