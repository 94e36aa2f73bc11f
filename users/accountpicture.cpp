#include "accountpicture.h"

#include "rootfiles.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QThreadPool>

#include <memory>

namespace {

// Pixmaps are made in pixmap(), which only the GUI thread calls (painting,
// or a dialog taking the picture).
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(const QImage& image) : image(image) {}
    explicit DeferredIconEngine(const QString& resourcePath) : resourcePath(resourcePath) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (!resourcePath.isEmpty()) {
            if (resourceIcon.isNull())
                resourceIcon = QIcon(resourcePath);
            return resourceIcon.pixmap(size, mode, state);
        }
        if (image.isNull() || size.isEmpty())
            return QPixmap();
        QPixmap pixmap = QPixmap::fromImage(
            image.size() == size ? image : image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        return pixmap;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        if (!resourcePath.isEmpty())
            return QSize(size);
        Q_UNUSED(mode)
        Q_UNUSED(state)
        return image.size().scaled(size, Qt::KeepAspectRatio).boundedTo(size);
    }

    QIconEngine* clone() const override {
        return resourcePath.isEmpty() ? new DeferredIconEngine(image) : new DeferredIconEngine(resourcePath);
    }

    QString key() const override { return QStringLiteral("tessmar-deferred"); }

private:
    QImage image;
    QString resourcePath;
    QIcon resourceIcon;
};

bool startsWith(const QByteArray& bytes, const char* magic, int length) {
    return bytes.size() >= length && std::equal(magic, magic + length, bytes.constData());
}

} // namespace

namespace AccountPicture {

QByteArray formatOf(const QByteArray& bytes) {
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8))
        return QByteArrayLiteral("png");
    if (startsWith(bytes, "\xff\xd8\xff", 3))
        return QByteArrayLiteral("jpeg");
    if (startsWith(bytes, "GIF87a", 6) || startsWith(bytes, "GIF89a", 6))
        return QByteArrayLiteral("gif");
    if (startsWith(bytes, "BM", 2))
        return QByteArrayLiteral("bmp");
    return QByteArray();
}

QImage decode(const QByteArray& bytes, Crop crop, const QSize& size) {
    const QByteArray format = formatOf(bytes);
    if (format.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty() || declared.width() > maxSide ||
        declared.height() > maxSide)
        return QImage();
    // JPEG decodes straight to a smaller size; the others hold every pixel once.
    if (format != "jpeg" && qint64(declared.width()) * declared.height() > maxFullPixels)
        return QImage();
    if (crop == Crop::CentreSquare && declared.width() != declared.height()) {
        const int side = qMin(declared.width(), declared.height());
        reader.setClipRect(QRect((declared.width() - side) / 2, (declared.height() - side) / 2, side, side));
    }
    if (size.isValid() && !size.isEmpty())
        reader.setScaledSize(size);
    QImage image = reader.read();
    // The reader scales quickly; a smooth pass where it left the size alone.
    if (!image.isNull() && size.isValid() && image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage readTilePicture(const QString& path, uid_t owner) {
    QByteArray bytes;
    if (!RootFiles::readSmallFile(path, owner, maxFaceBytes, &bytes))
        return QImage();
    return decode(bytes, Crop::CentreSquare, QSize(tilePictureSide, tilePictureSide));
}

QIcon deferredIcon(const QImage& image) {
    return image.isNull() ? QIcon() : QIcon(new DeferredIconEngine(image));
}

QIcon deferredIcon(const QString& resourcePath) {
    return QIcon(new DeferredIconEngine(resourcePath));
}

void readInBackground(QObject* context, std::function<QImage()> read,
                      std::function<void(const QImage&)> done) {
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([guard, read = std::move(read), done = std::move(done)]() {
        const QImage image = read();
        // The guard is only looked at on the GUI thread, where context lives.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, image] {
                if (guard)
                    done(image);
            },
            Qt::QueuedConnection);
    });
}

QImage readAway(const std::function<QImage()>& read) {
    QEventLoop loop;
    auto result = std::make_shared<QImage>();
    readInBackground(&loop, read, [&loop, result](const QImage& image) {
        *result = image;
        loop.quit();
    });
    // Painting goes on; clicks wait until the picture is read.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return *result;
}

} // namespace AccountPicture
