// libFuzzer entry for the picture cost reader: every input is read as each
// of the four formats. What it tells must hold for Qt's own readers: a
// picture it lets through is decoded by Qt, from the parts it shows, at the
// size it read (for a GIF, the whole screen) and into no more memory than
// it charged.
#include "picturecost.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>

namespace {
// The shown parts, which must lie in order inside the file.
QByteArray shownBytes(const QByteArray& bytes, const QVector<PictureCost::Span>& shown) {
    QByteArray out;
    qsizetype after = 0;
    for (const PictureCost::Span& span : shown) {
        if (span.length <= 0 || span.from < after || span.from + span.length > bytes.size())
            abort();
        out += bytes.mid(int(span.from), int(span.length));
        after = span.from + span.length;
    }
    return out;
}

// Readers complain about broken pictures; here they all are.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The GIF and JPEG readers are plugins, found through the application.
    static QCoreApplication application(*argc, *argv);
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    for (const char* format : {"png", "jpeg", "gif", "bmp"}) {
        const std::optional<PictureCost::Picture> picture = PictureCost::readPicture(bytes, format);
        if (!picture)
            continue;
        const QSize made = picture->size;
        if (made.isEmpty() || picture->shown.isEmpty() || picture->shown.first().from != 0)
            abort();
        QByteArray shown = shownBytes(bytes, picture->shown);
        qint64 whole = -1;
        for (const QSize& target : {QSize(), QSize(126, 126), QSize(256, 256), QSize(3, 700)}) {
            const qint64 cost = PictureCost::decodingBytes(*picture, target);
            if (cost < 0)
                abort();
            if (!target.isValid())
                whole = cost;
        }
        // A GIF's reader makes its whole screen at four bytes a pixel.
        if (qstrcmp(format, "gif") == 0 && whole < qint64(made.width()) * made.height() * 4)
            abort();
        if (whole > 4 * 1024 * 1024 || made.width() > 4096 || made.height() > 4096)
            continue;
        QBuffer device(&shown);
        device.open(QIODevice::ReadOnly);
        QImageReader reader(&device, format);
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        const QImage image = reader.read();
        if (!image.isNull() && (image.size() != made || image.sizeInBytes() > whole))
            abort();
    }
    return 0;
}
