#include "picturecost.h"

#include <QtMath>
#include <cstring>

namespace {

int byteAt(const QByteArray& bytes, qsizetype at) {
    return static_cast<unsigned char>(bytes.at(at));
}

int bigEndian16(const QByteArray& bytes, qsizetype at) {
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

bool isFrameMarker(int marker) {
    // SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isProgressiveFrame(int marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

// The offset of the marker that ends the coded data starting at from: an FF
// byte followed by anything but a stuffed 00 or a restart marker.
qsizetype endOfCodedData(const QByteArray& bytes, qsizetype from) {
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    while (from < size) {
        const void* found = std::memchr(data + from, 0xFF, size_t(size - from));
        if (!found)
            return size;
        const qsizetype at = static_cast<const char*>(found) - data;
        if (at + 1 >= size)
            return size;
        const int next = byteAt(bytes, at + 1);
        if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7))
            return at;
        from = at + 1;
    }
    return size;
}

qint64 roundUp(qint64 value, int multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

} // namespace

namespace PictureCost {

std::optional<JpegLayout> jpegLayout(const QByteArray& bytes) {
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8)
        return std::nullopt;
    JpegLayout layout;
    bool framed = false;
    qsizetype at = 2;
    while (at + 1 < bytes.size()) {
        // Bytes that are no marker are skipped, as the decoder skips them.
        if (byteAt(bytes, at) != 0xFF) {
            at = endOfCodedData(bytes, at);
            continue;
        }
        const int marker = byteAt(bytes, at + 1);
        if (marker == 0xFF || marker == 0x00) {
            ++at;
            continue;
        }
        at += 2;
        if (marker == 0xD9)
            break;
        if ((marker >= 0xD0 && marker <= 0xD8) || marker == 0x01)
            continue;
        if (at + 2 > bytes.size())
            break;
        const int length = bigEndian16(bytes, at);
        if (length < 2 || at + length > bytes.size())
            break;
        if (isFrameMarker(marker) && !framed) {
            if (length < 8)
                return std::nullopt;
            const int height = bigEndian16(bytes, at + 3);
            const int width = bigEndian16(bytes, at + 5);
            const int count = byteAt(bytes, at + 7);
            if (count < 1 || length < 8 + 3 * count)
                return std::nullopt;
            layout.size = QSize(width, height);
            layout.progressive = isProgressiveFrame(marker);
            for (int i = 0; i < count; ++i) {
                const int sampling = byteAt(bytes, at + 8 + 3 * i + 1);
                layout.components.append({qBound(1, sampling >> 4, 4), qBound(1, sampling & 0x0F, 4)});
            }
            framed = true;
        }
        at += length;
        if (marker == 0xDA) {
            ++layout.scans;
            at = endOfCodedData(bytes, at);
        }
    }
    if (!framed)
        return std::nullopt;
    return layout;
}

qint64 jpegDecodingBytes(const JpegLayout& layout, const QSize& target) {
    const qint64 width = layout.size.width();
    const qint64 height = layout.size.height();
    int maxHorizontal = 1;
    int maxVertical = 1;
    for (const JpegLayout::Component& component : layout.components) {
        maxHorizontal = qMax(maxHorizontal, component.horizontal);
        maxVertical = qMax(maxVertical, component.vertical);
    }
    qint64 coefficients = 0;
    // A file of more than one scan is decoded through a buffer of every
    // block of every component: 64 coefficients of two bytes each.
    if (layout.progressive || layout.scans > 1) {
        for (const JpegLayout::Component& component : layout.components) {
            const qint64 across =
                (width * component.horizontal + maxHorizontal * 8 - 1) / (maxHorizontal * 8);
            const qint64 down = (height * component.vertical + maxVertical * 8 - 1) / (maxVertical * 8);
            coefficients += roundUp(across, component.horizontal) * roundUp(down, component.vertical) * 128;
        }
    }
    // The decoder reduces by n/8 (n from 1 to 8) towards the target, as
    // Qt's reader asks it to; four bytes a pixel of the reduced image.
    int eighths = 8;
    if (target.isValid() && !target.isEmpty()) {
        const double factor = qMin(double(width) / target.width(), double(height) / target.height());
        eighths = qBound(1, qCeil(8 / factor), 8);
    }
    const qint64 reducedWidth = (width * eighths + 7) / 8;
    const qint64 reducedHeight = (height * eighths + 7) / 8;
    return coefficients + reducedWidth * reducedHeight * 4;
}

qint64 decodingBytes(const QByteArray& bytes, const QByteArray& format, const QSize& size,
                     const QSize& target) {
    const qint64 pixels = qint64(size.width()) * size.height();
    if (format == "jpeg") {
        const std::optional<JpegLayout> layout = jpegLayout(bytes);
        return layout ? jpegDecodingBytes(*layout, target) : -1;
    }
    if (format == "png") {
        // The bit depth of the header chunk, which comes first.
        if (bytes.size() < 25 || bytes.mid(12, 4) != "IHDR")
            return -1;
        return pixels * (byteAt(bytes, 24) == 16 ? 8 : 4);
    }
    // GIF and BMP are decoded whole, four bytes a pixel.
    return pixels * 4;
}

} // namespace PictureCost
