#include "windowproperties.h"

#include <QLoggingCategory>

#include <cstring>

Q_LOGGING_CATEGORY(lcWindowProperties, "tessmar.applications.properties", QtWarningMsg)

namespace WindowProperties {

QVector<QImage> parseNetWmIcon(const quint32* values, qsizetype count) {
    QVector<QImage> images;
    if (!values || count <= 0)
        return images;
    const quint64 n = quint64(count);
    quint64 index = 0;
    while (index + 2 <= n) {
        const quint32 width = values[index];
        const quint32 height = values[index + 1];
        index += 2;
        const quint64 pixels = quint64(width) * quint64(height);
        if (width == 0 || height == 0 || width > maximumIconSide || height > maximumIconSide ||
            pixels > n - index) {
            qCDebug(lcWindowProperties) << "Invalid icon size or data length";
            break;
        }
        QImage image(int(width), int(height), QImage::Format_ARGB32);
        if (!image.isNull()) {
            // Rows of a 32-bit image are exactly width values long.
            for (int row = 0; row < int(height); ++row)
                std::memcpy(image.scanLine(row), values + index + quint64(row) * width, width * 4);
            images.append(image);
        }
        index += pixels;
    }
    return images;
}

QImage chooseIcon(const QVector<QImage>& images) {
    for (const QImage& image : images) {
        if (image.width() >= 32 && image.height() >= 32)
            return image;
    }
    return images.isEmpty() ? QImage() : images.last();
}

QString instanceName(const QByteArray& wmClass) {
    const int end = wmClass.indexOf('\0');
    return QString::fromUtf8(end < 0 ? wmClass : wmClass.left(end));
}

bool isUtf8(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const uchar lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The sequence's length and the range of its second byte, which
        // rules out overlong forms, surrogates and values past U+10FFFF.
        int length = 0;
        uchar low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (size - i < length || data[i + 1] < low || data[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k) {
            if (data[i + k] < 0x80 || data[i + k] > 0xBF)
                return false;
        }
        i += length;
    }
    return true;
}

QString textValue(const QByteArray& value, bool utf8) {
    const int end = value.indexOf('\0');
    const QByteArray text = end < 0 ? value : value.left(end);
    const QString decoded = utf8 || isUtf8(text) ? QString::fromUtf8(text) : QString::fromLatin1(text);
    return decoded.isNull() ? QStringLiteral("") : decoded;
}

QString programName(const QByteArray& cmdline) {
    const int end = cmdline.indexOf('\0');
    const QString path = QString::fromUtf8(end < 0 ? cmdline : cmdline.left(end));
    return path.section(QLatin1Char('/'), -1);
}

} // namespace WindowProperties
