#pragma once

#include <QCameraInfo>
#include <QDialog>
#include <QImage>
#include <functional>

namespace Ui {
class DialogWebcam;
}
class QCamera;
class QCameraImageCapture;
class QCameraViewfinder;
class QLabel;

// Shows the default camera and takes one photo, handed over in memory. The
// camera is looked for away from the GUI thread, and the camera objects
// (slow to make, camera or not) are made only for a camera that was found.
class DialogWebcam : public QDialog {
    Q_OBJECT
public:
    // Finds the default camera, on a thread of the pool; a null one when
    // there is none.
    using CameraProbe = std::function<QCameraInfo()>;

    explicit DialogWebcam(QWidget* parent = nullptr, CameraProbe probe = &QCameraInfo::defaultCamera);
    ~DialogWebcam() override;

signals:
    void imageCaptured(const QImage& image);

public slots:
    void captureImage();
    void processCapturedImage(int id, const QImage& image);

private:
    void onCameraFound(const QCameraInfo& info);
    void fitToContents();

    Ui::DialogWebcam* ui;
    QLabel* status;
    QCamera* camera = nullptr;
    QCameraViewfinder* viewfinder = nullptr;
    QCameraImageCapture* imageCapture = nullptr;
    bool captured = false;
};
