#include "dialogwebcam.h"

#include "ui_dialogwebcam.h"
#include "userslog.h"

#include <QCamera>
#include <QCameraImageCapture>
#include <QCameraViewfinder>
#include <QCameraViewfinderSettings>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QStyle>
#include <QThreadPool>

DialogWebcam::DialogWebcam(QWidget* parent, CameraProbe probe) : QDialog(parent), ui(new Ui::DialogWebcam) {
    ui->setupUi(this);
    // Says what is going on until the camera shows, or instead of an empty,
    // silent viewfinder when there is none.
    status = new QLabel(tr("Looking for a camera on this computer..."), this);
    status->setObjectName(QStringLiteral("labelCameraStatus"));
    status->setAlignment(Qt::AlignCenter);
    status->setMinimumSize(400, 120);
    ui->verticalLayoutWebcam->insertWidget(0, status);
    ui->pushButtonTakeSnapshot->setEnabled(false);
    ui->pushButtonTakeSnapshot->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->pushButtonCancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->pushButtonTakeSnapshot, &QPushButton::clicked, this, &DialogWebcam::captureImage);
    connect(ui->pushButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    fitToContents();

    QPointer<DialogWebcam> guard(this);
    QThreadPool::globalInstance()->start([guard, probe = std::move(probe)] {
        const QCameraInfo found = probe();
        // The guard is only looked at on the GUI thread, where the dialog lives.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, found] {
                if (guard)
                    guard->onCameraFound(found);
            },
            Qt::QueuedConnection);
    });
}

DialogWebcam::~DialogWebcam() {
    if (camera)
        camera->stop();
    delete ui;
}

void DialogWebcam::onCameraFound(const QCameraInfo& info) {
    if (info.isNull()) {
        qCDebug(lcUsers) << "No camera found";
        status->setText(tr("No camera was found on this computer."));
        return;
    }
    qCDebug(lcUsers) << "Camera found:" << info.description() << info.deviceName();
    camera = new QCamera(info, this);
    viewfinder = new QCameraViewfinder(this);
    imageCapture = new QCameraImageCapture(camera, this);
    // The photo stays in memory: no file is written anywhere.
    imageCapture->setCaptureDestination(QCameraImageCapture::CaptureToBuffer);
    QCameraViewfinderSettings settings;
    settings.setResolution(800, 600);
    camera->setViewfinderSettings(settings);
    viewfinder->setFixedSize(800, 600);
    status->hide();
    ui->verticalLayoutWebcam->insertWidget(0, viewfinder);
    fitToContents();
    camera->setViewfinder(viewfinder);
    camera->start();
    connect(imageCapture, &QCameraImageCapture::imageCaptured, this, &DialogWebcam::processCapturedImage);
    ui->pushButtonTakeSnapshot->setEnabled(true);
}

// The dialog takes the size of what it shows and keeps it.
void DialogWebcam::fitToContents() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->activate();
    adjustSize();
    setFixedSize(size());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DialogWebcam::captureImage() {
    if (!captured && imageCapture)
        imageCapture->capture(QString());
}

void DialogWebcam::processCapturedImage(int, const QImage& image) {
    if (captured)
        return;
    captured = true;
    emit imageCaptured(image);
    if (imageCapture)
        disconnect(imageCapture, &QCameraImageCapture::imageCaptured, this,
                   &DialogWebcam::processCapturedImage);
    close();
}
