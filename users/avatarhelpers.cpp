#include "avatarhelpers.h"

#include "accountpicture.h"
#include "userslog.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QWidget>

namespace {
constexpr int tileSize = 190;
constexpr int pictureSize = 126;
constexpr int markSize = 24;
} // namespace

QPixmap makeVeiledPixmap(const QPixmap& source) {
    QPixmap veiled = source;
    QPainter painter(&veiled);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(veiled.rect(), QColor(255, 255, 255, 127));
    painter.end();
    return veiled;
}

QPixmap composeAvatarPixmap(const QPixmap& source, const QPixmap& overlay, bool edit) {
    QPixmap picture = source;
    if (!picture.isNull() && picture.size() != QSize(pictureSize, pictureSize)) {
        picture = picture.scaled(pictureSize, pictureSize, Qt::KeepAspectRatioByExpanding,
                                 Qt::SmoothTransformation);
        if (picture.width() > pictureSize || picture.height() > pictureSize)
            picture = picture.copy((picture.width() - pictureSize) / 2, (picture.height() - pictureSize) / 2,
                                   pictureSize, pictureSize);
    }
    if (edit && !picture.isNull())
        picture = makeVeiledPixmap(picture);
    QPixmap canvas(tileSize, tileSize);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    if (!picture.isNull())
        painter.drawPixmap((tileSize - picture.width()) / 2, (tileSize - picture.height()) / 2, picture);
    painter.drawPixmap(0, 0, overlay);
    if (edit) {
        const QPixmap mark = QPixmap(QStringLiteral(":/icons/edit"))
                                 .scaled(markSize, markSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawPixmap(canvas.width() - markSize - 74, 74, mark);
    }
    painter.end();
    return canvas;
}

void fixBoldFontWeight(QWidget* widget) {
    const auto fix = [](QWidget* w) {
        QFont font = w->font();
        if (font.weight() == 75) {
            font.setWeight(68);
            w->setFont(font);
        }
    };
    fix(widget);
    for (QWidget* child : widget->findChildren<QWidget*>())
        fix(child);
}

QImage cropImageToSquare(const QImage& image) {
    QImage square = image;
    if (image.width() != image.height()) {
        const int side = qMin(image.width(), image.height());
        square = image.copy((image.width() - side) / 2, (image.height() - side) / 2, side, side);
    }
    return square.scaled(256, 256, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

AccountPicture::BackgroundRead openImageFromFile(QWidget* parent, std::function<void(const QImage&)> chosen) {
    const QString fileName = QFileDialog::getOpenFileName(
        parent, QCoreApplication::translate("QObject", "Open Image"), QDir::homePath(),
        QCoreApplication::translate("QObject", "Images (*.png *.jpg *.jpeg *.bmp *.gif)"));
    if (fileName.isEmpty())
        return AccountPicture::BackgroundRead();
    QObject* context = parent ? static_cast<QObject*>(parent) : QCoreApplication::instance();
    return AccountPicture::readInBackground(
        context,
        [fileName](const AccountPicture::StopCheck& stop) {
            const QByteArray bytes =
                AccountPicture::readFile(fileName, std::nullopt, AccountPicture::maxChosenFileBytes);
            return AccountPicture::decode(bytes, AccountPicture::Crop::CentreSquare, QSize(256, 256), stop);
        },
        [parent, chosen = std::move(chosen)](const QImage& image) {
            if (!image.isNull()) {
                chosen(image);
                return;
            }
            qCDebug(lcUsers) << "No image was selected or processing failed.";
            if (parent)
                QMessageBox::warning(parent, QCoreApplication::translate("QObject", "Open Image"),
                                     QCoreApplication::translate("QObject", "Could not load image."));
        });
}

bool readStockPicture(const QString& path, QByteArray* bytes, QImage* image) {
    *bytes = AccountPicture::readFile(path, 0, AccountPicture::maxFaceBytes);
    *image = AccountPicture::decode(*bytes);
    return !image->isNull();
}

QByteArray encodePicture(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
