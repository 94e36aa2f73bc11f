#include "loadingoverlay.h"

#include <QProgressBar>
#include <QVBoxLayout>

LoadingOverlay::LoadingOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 150);"));

    progressBar = new QProgressBar(this);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setStyleSheet(
        QStringLiteral("QProgressBar {border: 2px solid grey;border-radius: 5px;text-align: center;}"
                       "QProgressBar::chunk {background-color: #05B8CC;width: 20px;}"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progressBar, 0, Qt::AlignCenter);

    if (parent)
        setGeometry(parent->rect());
}

LoadingOverlay::~LoadingOverlay() = default;

void LoadingOverlay::setProgress(int percent) {
    progressBar->setValue(percent);
}

void LoadingOverlay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Covers the parent again, also when shown after the parent was resized.
    if (parentWidget())
        setGeometry(parentWidget()->rect());
}
