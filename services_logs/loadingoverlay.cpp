#include "loadingoverlay.h"

#include <QEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

LoadingOverlay::LoadingOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);

    progressBar = new QProgressBar(this);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar {border: 2px solid grey;border-radius: 5px;text-align: center;}"
                       "QProgressBar::chunk {background-color: #05B8CC;width: 20px;}"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progressBar, 0, Qt::AlignCenter);

    if (parent) {
        parent->installEventFilter(this);
        coverParent();
    }
}

LoadingOverlay::~LoadingOverlay() = default;

void LoadingOverlay::setProgress(int percent) {
    progressBar->setValue(percent);
}

int LoadingOverlay::progress() const {
    return progressBar->value();
}

void LoadingOverlay::setBackdrop(const QPixmap& picture, const QPoint& offset) {
    backdrop = picture;
    backdropOffset = offset;
    update();
}

void LoadingOverlay::coverParent() {
    if (parentWidget() && geometry() != parentWidget()->rect())
        setGeometry(parentWidget()->rect());
}

bool LoadingOverlay::eventFilter(QObject* watched, QEvent* event) {
    // The table was resized: cover it again, shown or not.
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        coverParent();
    return QWidget::eventFilter(watched, event);
}

void LoadingOverlay::paintEvent(QPaintEvent*) {
    // A style sheet background is not drawn for a QWidget subclass: the veil
    // is painted here.
    QPainter painter(this);
    if (!backdrop.isNull())
        painter.drawPixmap(backdropOffset, backdrop);
    painter.fillRect(rect(), QColor(255, 255, 255, 150));
}

void LoadingOverlay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    coverParent();
}

void LoadingOverlay::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    coverParent();
    // Above the table's viewport and scroll bars, which were made later.
    raise();
}

void LoadingOverlay::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    backdrop = QPixmap();
}
