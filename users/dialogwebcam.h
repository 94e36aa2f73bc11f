#pragma once

#include <QDialog>
#include <QImage>

namespace Ui {
class DialogWebcam;
}
class QCamera;
class QCameraImageCapture;
class QCameraViewfinder;

// Shows the default camera and takes one photo, handed over in memory.
class DialogWebcam : public QDialog {
    Q_OBJECT
public:
    explicit DialogWebcam(QWidget* parent = nullptr);
    ~DialogWebcam() override;

signals:
    void imageCaptured(const QImage& image);

public slots:
    void captureImage();
    void processCapturedImage(int id, const QImage& image);

private:
    Ui::DialogWebcam* ui;
    QCamera* camera;
    QCameraViewfinder* viewfinder;
    QCameraImageCapture* imageCapture;
    bool captured = false;
};
