#include "dialogwebcam.h"

#include "ui_dialogwebcam.h"

#include <QCamera>
#include <QCameraImageCapture>
#include <QCameraViewfinder>
#include <QCameraViewfinderSettings>
#include <QStyle>

DialogWebcam::DialogWebcam(QWidget* parent) : QDialog(parent), ui(new Ui::DialogWebcam) {
    camera = new QCamera(this);
    viewfinder = new QCameraViewfinder(this);
    imageCapture = new QCameraImageCapture(camera, this);
    // The photo stays in memory: no file is written anywhere.
    imageCapture->setCaptureDestination(QCameraImageCapture::CaptureToBuffer);
    ui->setupUi(this);
    ui->verticalLayoutWebcam->insertWidget(0, viewfinder);
    QCameraViewfinderSettings settings;
    settings.setResolution(800, 600);
    camera->setViewfinderSettings(settings);
    viewfinder->setFixedSize(800, 600);
    adjustSize();
    setFixedSize(size());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    camera->setViewfinder(viewfinder);
    camera->start();
    ui->pushButtonTakeSnapshot->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->pushButtonCancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->pushButtonTakeSnapshot, &QPushButton::clicked, this, &DialogWebcam::captureImage);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(imageCapture, &QCameraImageCapture::imageCaptured, this, &DialogWebcam::processCapturedImage);
}

DialogWebcam::~DialogWebcam() {
    camera->stop();
    delete ui;
}

void DialogWebcam::captureImage() {
    if (!captured)
        imageCapture->capture(QString());
}

void DialogWebcam::processCapturedImage(int, const QImage& image) {
    if (captured)
        return;
    captured = true;
    emit imageCaptured(image);
    disconnect(imageCapture, &QCameraImageCapture::imageCaptured, this, &DialogWebcam::processCapturedImage);
    close();
}
