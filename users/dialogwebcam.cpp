#include "dialogwebcam.h"

#include "ui_dialogwebcam.h"

#include <QCamera>
#include <QCameraImageCapture>
#include <QCameraInfo>
#include <QCameraViewfinder>
#include <QCameraViewfinderSettings>
#include <QLabel>
#include <QStyle>

DialogWebcam::DialogWebcam(QWidget* parent) : QDialog(parent), ui(new Ui::DialogWebcam) {
    camera = new QCamera(this);
    viewfinder = new QCameraViewfinder(this);
    imageCapture = new QCameraImageCapture(camera, this);
    // The photo stays in memory: no file is written anywhere.
    imageCapture->setCaptureDestination(QCameraImageCapture::CaptureToBuffer);
    ui->setupUi(this);
    ui->verticalLayoutWebcam->insertWidget(0, viewfinder);
    const bool hasCamera = !QCameraInfo::availableCameras().isEmpty();
    if (hasCamera) {
        QCameraViewfinderSettings settings;
        settings.setResolution(800, 600);
        camera->setViewfinderSettings(settings);
    } else {
        // Say so instead of showing an empty, silent viewfinder.
        viewfinder->hide();
        auto* message = new QLabel(tr("No camera was found on this computer."), this);
        message->setObjectName(QStringLiteral("labelNoCamera"));
        message->setAlignment(Qt::AlignCenter);
        message->setMinimumSize(400, 120);
        ui->verticalLayoutWebcam->insertWidget(0, message);
        ui->pushButtonTakeSnapshot->setEnabled(false);
    }
    viewfinder->setFixedSize(800, 600);
    adjustSize();
    setFixedSize(size());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (hasCamera) {
        camera->setViewfinder(viewfinder);
        camera->start();
    }
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
