#include "windowproperties.h"

#include <QPainter>

#include <QLoggingCategory>
#include <QSize>

Q_LOGGING_CATEGORY(lcWindowProperties, "tessmar.applications.properties", QtWarningMsg)

namespace {

// The bytes at the end of text that start a UTF-8 letter and stop before
// its end: 0 when the last letter is whole (or the text is not UTF-8 there).
int cutLetterBytes(const QByteArray& text) {
    for (int back = 1; back <= 3 && back <= text.size(); ++back) {
        const uchar c = uchar(text.at(text.size() - back));
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: the letter starts further back
        const int length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

namespace WindowProperties {

void NetWmIconWalk::take(const quint32* values, qsizetype count, quint64 propertyValues) {
    if (done)
        return;
    if (!values || count < 2) {
        done = true;
        return;
    }
    const quint32 width = values[0];
    const quint32 height = values[1];
    const quint64 pixelOffset = offset + 2;
    const quint64 pixels = quint64(width) * quint64(height);
    if (width == 0 || height == 0 || width > maximumIconSide || height > maximumIconSide ||
        pixelOffset > propertyValues || pixels > propertyValues - pixelOffset) {
        qCDebug(lcWindowProperties) << "Invalid icon size or data length";
        done = true;
        return;
    }
    found.append({width, height, pixelOffset});
    offset = pixelOffset + pixels;
    // A lone value after the last image is no header.
    done = found.size() >= maximumImages || offset + 2 > propertyValues;
}

int chooseIconImage(const QVector<IconImage>& images, int side) {
    int smallestFitting = -1;
    int largest = -1;
    for (int i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        const bool fits = image.width >= quint32(side) && image.height >= quint32(side);
        if (fits && (smallestFitting < 0 || image.pixelCount() < images[smallestFitting].pixelCount()))
            smallestFitting = i;
        if (largest < 0 || image.pixelCount() > images[largest].pixelCount())
            largest = i;
    }
    return smallestFitting >= 0 ? smallestFitting : largest;
}

QImage iconFromPixels(const quint32* values, qsizetype count, const IconImage& image, int side) {
    if (!values || count <= 0 || quint64(count) != image.pixelCount() || image.width > maximumIconSide ||
        image.height > maximumIconSide || side <= 0)
        return QImage();
    const int width = int(image.width);
    const int height = int(image.height);
    // Rows of a 32-bit image are exactly width values long: the received
    // values are read in place, and only the result is kept.
    const QImage whole(reinterpret_cast<const uchar*>(values), width, height, width * 4,
                       QImage::Format_ARGB32);
    if (whole.isNull())
        return QImage();
    const QImage fitted =
        width <= side && height <= side
            ? whole
            : whole.scaled(
                  QSize(width, height).scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)),
                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Centred on a transparent square of the row's size: a small or narrow
    // icon keeps its pixels, and the titles of all rows start at one place.
    QImage square(side, side, QImage::Format_ARGB32);
    if (square.isNull())
        return QImage();
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage((side - fitted.width()) / 2, (side - fitted.height()) / 2, fitted);
    painter.end();
    return square;
}

QString instanceName(const QByteArray& wmClass) {
    const int end = wmClass.indexOf('\0');
    return QString::fromUtf8(end < 0 ? wmClass : wmClass.left(end));
}

QString textValue(const QByteArray& value, bool utf8, bool cut) {
    const int end = value.indexOf('\0');
    const QByteArray text = end < 0 ? value : value.left(end);
    // Judged as UTF-8 without the letter a cut broke.
    const QByteArray whole = cut && end < 0 ? text.left(text.size() - cutLetterBytes(text)) : text;
    QString decoded = QString::fromUtf8(whole);
    // Qt's decoder writes a replacement for every malformed sequence
    // (overlong forms, surrogates, cut-short bytes) and drops a byte order
    // mark at the start: valid UTF-8 alone reads back to the same bytes
    // after that mark.
    static const QByteArray byteOrderMark = QByteArrayLiteral("\xef\xbb\xbf");
    const int markSize = whole.startsWith(byteOrderMark) ? byteOrderMark.size() : 0;
    if (!utf8 &&
        decoded.toUtf8() != QByteArray::fromRawData(whole.constData() + markSize, whole.size() - markSize))
        decoded = QString::fromLatin1(text);
    return decoded.isNull() ? QStringLiteral("") : decoded;
}

QString programName(const QByteArray& cmdline) {
    const int end = cmdline.indexOf('\0');
    const QString path = QString::fromUtf8(end < 0 ? cmdline : cmdline.left(end));
    return path.section(QLatin1Char('/'), -1);
}

} // namespace WindowProperties
