#include "accountpicture.h"

#include "safefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>

#include <memory>

namespace {

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
    const QByteArray bytes = readFile(path, owner, maxFaceBytes);
    return bytes.isEmpty() ? QImage()
                           : decode(bytes, Crop::CentreSquare, QSize(tilePictureSide, tilePictureSide));
}

QByteArray readFile(const QString& path, std::optional<uid_t> owner, qint64 maxBytes) {
    SafeFile::ReadRules rules;
    rules.maxBytes = maxBytes;
    rules.owner = owner;
    const SafeFile::Read read = SafeFile::read(path, rules);
    // A bigger file is refused whole, never decoded from its start.
    return read.ok() && !read.truncated ? read.data : QByteArray();
}

QIcon standInIcon(const QString& username) {
    static const QIcon rootIcon(QStringLiteral(":/icons/user-root"));
    static const QIcon otherIcon(QStringLiteral(":/icons/user-other"));
    static const QIcon systemIcon(QStringLiteral(":/icons/user-system"));
    if (username == QLatin1String("root"))
        return rootIcon;
    if (username == QLatin1String("nobody"))
        return otherIcon;
    return systemIcon;
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
