#include "picturecost.h"

#include <QtMath>
#include <cstring>

namespace {

using PictureCost::Span;

int byteAt(const QByteArray& bytes, qsizetype at) {
    return static_cast<unsigned char>(bytes.at(at));
}

int bigEndian16(const QByteArray& bytes, qsizetype at) {
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

quint32 bigEndian32(const QByteArray& bytes, qsizetype at) {
    return quint32(bigEndian16(bytes, at)) << 16 | quint32(bigEndian16(bytes, at + 2));
}

int littleEndian16(const QByteArray& bytes, qsizetype at) {
    return byteAt(bytes, at) | byteAt(bytes, at + 1) << 8;
}

quint32 littleEndian32(const QByteArray& bytes, qsizetype at) {
    return quint32(littleEndian16(bytes, at)) | quint32(littleEndian16(bytes, at + 2)) << 16;
}

// Adds a run to the shown parts, joined to the last one when it follows it.
void show(QVector<Span>& shown, qsizetype from, qsizetype length) {
    if (length <= 0)
        return;
    if (!shown.isEmpty() && shown.last().from + shown.last().length == from)
        shown.last().length += length;
    else
        shown.append({from, length});
}

// Sides past any a reader accepts are counted at this, so that no product
// below overflows and the charge stays far above every limit.
constexpr qint64 sideCap = 1 << 20;

qint64 side(int value) {
    return qBound<qint64>(0, value, sideCap);
}

// The bytes of a QImage of size at bits a pixel: lines padded to 32 bits.
qint64 imageBytes(const QSize& size, int bits) {
    return (side(size.width()) * bits + 31) / 32 * 4 * side(size.height());
}

// Whether a picture of size is scaled to target after decoding.
bool scaledTo(const QSize& size, const QSize& target) {
    return target.isValid() && !target.isEmpty() && target != size;
}

// --- JPEG ---

bool isFrameMarker(int marker) {
    // SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool isProgressiveFrame(int marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

// Segments Qt's reader asks the decoder to keep whole: comments, Exif (APP1)
// and colour profiles (APP2). None of them makes a pixel.
bool isKeptMetadata(int marker) {
    return marker == 0xFE || marker == 0xE1 || marker == 0xE2;
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

// --- PNG ---

// The chunks that make a PNG's pixels (and its few fixed-size colour
// facts); the reader is given nothing else.
bool isPixelChunk(const QByteArray& bytes, qsizetype type) {
    static const char* const kept[] = {"IHDR", "PLTE", "tRNS", "IDAT", "IEND",
                                       "gAMA", "cHRM", "sRGB", "pHYs"};
    for (const char* name : kept)
        if (std::memcmp(bytes.constData() + type, name, 4) == 0)
            return true;
    return false;
}

bool validPngDepth(int colourType, int bitDepth) {
    switch (colourType) {
    case 0:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case 3:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case 2:
    case 4:
    case 6:
        return bitDepth == 8 || bitDepth == 16;
    default:
        return false;
    }
}

std::optional<PictureCost::PngLayout> pngLayout(const QByteArray& bytes) {
    // The signature, then the header chunk: 13 bytes of data.
    if (bytes.size() < 33 || std::memcmp(bytes.constData(), "\x89PNG\r\n\x1a\n", 8) != 0 ||
        bigEndian32(bytes, 8) != 13 || std::memcmp(bytes.constData() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    const quint32 width = bigEndian32(bytes, 16);
    const quint32 height = bigEndian32(bytes, 20);
    PictureCost::PngLayout layout;
    layout.bitDepth = byteAt(bytes, 24);
    layout.colourType = byteAt(bytes, 25);
    const int interlace = byteAt(bytes, 28);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || interlace > 1 ||
        !validPngDepth(layout.colourType, layout.bitDepth))
        return std::nullopt;
    layout.size = QSize(int(width), int(height));
    layout.interlaced = interlace == 1;
    show(layout.shown, 0, 8);
    qsizetype at = 8;
    while (at + 8 <= bytes.size()) {
        const quint32 length = bigEndian32(bytes, at);
        const qint64 end = qint64(at) + 12 + length;
        const bool pixels = isPixelChunk(bytes, at + 4);
        if (length > 0x7FFFFFFF || end > bytes.size()) {
            // Cut short: the reader meets a pixel chunk as it is, and the
            // end of the file instead of any other.
            if (pixels)
                show(layout.shown, at, bytes.size() - at);
            return layout;
        }
        if (std::memcmp(bytes.constData() + at + 4, "tRNS", 4) == 0)
            layout.transparency = true;
        if (pixels)
            show(layout.shown, at, qsizetype(end) - at);
        const bool last = std::memcmp(bytes.constData() + at + 4, "IEND", 4) == 0;
        at = qsizetype(end);
        if (last)
            return layout;
    }
    show(layout.shown, at, bytes.size() - at);
    return layout;
}

qint64 pngDecodingBytes(const PictureCost::PngLayout& layout, const QSize& target) {
    const bool scaled = scaledTo(layout.size, target);
    const bool deep = layout.bitDepth == 16;
    // The image Qt's reader makes, in bits a pixel, and what smooth scaling
    // converts it to first (0 for a format it scales as it is).
    int bits = 32;
    int converted = 32;
    switch (layout.colourType) {
    case 0:
        if (layout.bitDepth == 1) {
            bits = 1;
        } else if (deep) {
            bits = layout.transparency ? 64 : 16;
            converted = layout.transparency ? 64 : 32;
        } else {
            bits = 8;
        }
        break;
    case 3:
        bits = layout.bitDepth == 1 ? 1 : 8;
        break;
    default: {
        const bool alpha = layout.colourType != 2 || layout.transparency;
        if (deep) {
            bits = 64;
            converted = alpha ? 64 : 0;
            break;
        }
        // Eight bits a channel: read straight into the smaller picture, a
        // few rows at a time, when it is not interlaced and not larger.
        if (scaled && !layout.interlaced && target.width() <= layout.size.width() &&
            target.height() <= layout.size.height())
            return imageBytes(target, 32) + side(layout.size.width()) * 24;
        converted = alpha ? 32 : 0;
        break;
    }
    }
    return imageBytes(layout.size, bits) + (scaled ? imageBytes(layout.size, converted) : 0);
}

// --- GIF ---

// The offset after the data sub-blocks starting at from (each a length
// byte and that many bytes, up to an empty one).
qsizetype skipSubBlocks(const QByteArray& bytes, qsizetype from) {
    while (from < bytes.size()) {
        const int length = byteAt(bytes, from);
        from += 1 + length;
        if (length == 0)
            break;
    }
    return from;
}

qsizetype colourTableBytes(int flags) {
    return (flags & 0x80) ? 3 * (2 << (flags & 0x07)) : 0;
}

std::optional<PictureCost::GifLayout> gifLayout(const QByteArray& bytes) {
    if (bytes.size() < 13 || (std::memcmp(bytes.constData(), "GIF87a", 6) != 0 &&
                              std::memcmp(bytes.constData(), "GIF89a", 6) != 0))
        return std::nullopt;
    const int screenWidth = littleEndian16(bytes, 6);
    const int screenHeight = littleEndian16(bytes, 8);
    PictureCost::GifLayout layout;
    bool framed = false;
    // What the last graphic control block said, for the frame that follows.
    bool transparent = false;
    int disposal = 0;
    qsizetype at = 13 + colourTableBytes(byteAt(bytes, 10));
    while (at < bytes.size()) {
        const int introducer = byteAt(bytes, at++);
        if (introducer == 0x2C) {
            if (at + 9 > bytes.size())
                break;
            const int left = littleEndian16(bytes, at);
            const int top = littleEndian16(bytes, at + 2);
            const int width = littleEndian16(bytes, at + 4);
            const int height = littleEndian16(bytes, at + 6);
            const int flags = byteAt(bytes, at + 8);
            if (!framed) {
                // The decoder sizes its image at the first frame: the
                // screen, or the frame's extent where the screen declares
                // no size. (Qt's size query guesses otherwise for a screen
                // ten times a frame; the decoder does not.)
                layout.canvas = QSize(screenWidth > 0 ? screenWidth : left + width,
                                      screenHeight > 0 ? screenHeight : top + height);
                layout.transparent = transparent;
                framed = true;
            }
            if (disposal == 3) {
                // The part of the screen under the frame, kept to restore it.
                const int screenRight = layout.canvas.width() - 1;
                const int screenBottom = layout.canvas.height() - 1;
                const int right = qMin(screenRight, qMax(0, qMin(left + width, layout.canvas.width()) - 1));
                const int bottom =
                    qMin(screenBottom, qMax(0, qMin(top + height, layout.canvas.height()) - 1));
                layout.restoreBuffer = layout.restoreBuffer.expandedTo(
                    QSize(right - qMin(screenRight, left) + 1, bottom - qMin(screenBottom, top) + 1));
            }
            // A frame without a control block of its own restores nothing.
            disposal = 0;
            at += 9 + colourTableBytes(flags) + 1; // the descriptor, its colours, the code size
            at = skipSubBlocks(bytes, at);
        } else if (introducer == 0x21) {
            if (at >= bytes.size())
                break;
            const int label = byteAt(bytes, at++);
            if (label == 0xF9 && at < bytes.size()) {
                if (byteAt(bytes, at) == 0 || at + 1 >= bytes.size()) {
                    // The decoder would read flags left from an earlier block.
                    transparent = true;
                    disposal = 3;
                } else {
                    const int flags = byteAt(bytes, at + 1);
                    transparent = flags & 0x01;
                    disposal = (flags >> 2) & 0x07;
                }
            }
            // The decoder reads a control or application block's first
            // length byte as the block's own size: a size of 0 ends the
            // block, not its data, whose sub-blocks follow all the same.
            if ((label == 0xF9 || label == 0xFF) && at < bytes.size() && byteAt(bytes, at) == 0)
                ++at;
            at = skipSubBlocks(bytes, at);
        } else {
            // The trailer, or a byte the decoder stops at.
            break;
        }
    }
    if (!framed || layout.canvas.isEmpty())
        return std::nullopt;
    return layout;
}

qint64 gifDecodingBytes(const PictureCost::GifLayout& layout, const QSize& target) {
    // The screen, four bytes a pixel; a transparent one is converted to
    // premultiplied alpha before it is scaled.
    const bool converted = layout.transparent && scaledTo(layout.canvas, target);
    return imageBytes(layout.canvas, 32) * (converted ? 2 : 1) + imageBytes(layout.restoreBuffer, 32);
}

// --- BMP ---

std::optional<PictureCost::BmpLayout> bmpLayout(const QByteArray& bytes) {
    // The file header (14 bytes), then the information header, read as Qt
    // reads it: the four sizes it knows, and the oldest layout for any other.
    if (bytes.size() < 18 || bytes.at(0) != 'B' || bytes.at(1) != 'M')
        return std::nullopt;
    const quint32 headerSize = littleEndian32(bytes, 14);
    const bool known = headerSize == 40 || headerSize == 64 || headerSize == 108 || headerSize == 124;
    const qsizetype read = headerSize >= 108 && known ? qsizetype(headerSize) : known ? 40 : 12;
    if (bytes.size() < 14 + read)
        return std::nullopt;
    qint64 width = 0;
    qint64 height = 0;
    int planes = 0;
    int bitCount = 0;
    quint32 compression = 0;
    if (known) {
        width = qint32(littleEndian32(bytes, 18));
        height = qint32(littleEndian32(bytes, 22));
        planes = littleEndian16(bytes, 26);
        bitCount = littleEndian16(bytes, 28);
        compression = littleEndian32(bytes, 30);
    } else {
        width = qint16(littleEndian16(bytes, 18));
        height = qint16(littleEndian16(bytes, 20));
        planes = littleEndian16(bytes, 22);
        bitCount = littleEndian16(bytes, 24);
    }
    const bool depthKnown =
        bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
    const bool compressionKnown = compression == 0 || (bitCount == 4 && compression == 2) ||
                                  (bitCount == 8 && compression == 1) ||
                                  ((bitCount == 16 || bitCount == 32) && compression == 3);
    // A negative height is a picture stored top down.
    height = qAbs(height);
    if (!depthKnown || planes != 1 || !compressionKnown || width <= 0 || height <= 0 || height > 0x7FFFFFFF ||
        width * height > 16384LL * 16384)
        return std::nullopt;
    PictureCost::BmpLayout layout;
    layout.size = QSize(int(width), int(height));
    layout.bitCount = bitCount;
    layout.alpha = compression == 3 && headerSize >= 108 && known && littleEndian32(bytes, 66) != 0;
    return layout;
}

qint64 bmpDecodingBytes(const PictureCost::BmpLayout& layout, const QSize& target) {
    // Sixteen bits and more make four bytes a pixel, four and eight bits an
    // index a byte, one bit a bit; all but an opaque colour image are
    // converted to four bytes a pixel before they are scaled.
    const int bits = layout.bitCount >= 16 ? 32 : layout.bitCount == 1 ? 1 : 8;
    const bool converted = scaledTo(layout.size, target) && (bits != 32 || layout.alpha);
    return imageBytes(layout.size, bits) + (converted ? imageBytes(layout.size, 32) : 0);
}

} // namespace

namespace PictureCost {

std::optional<JpegLayout> jpegLayout(const QByteArray& bytes) {
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8)
        return std::nullopt;
    JpegLayout layout;
    bool framed = false;
    qsizetype at = 2;
    qsizetype shownFrom = 0;
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
        const qsizetype markerAt = at;
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
            // The decoder refuses a frame of no pixels (it does not read a
            // height given after the scan).
            if (count < 1 || length < 8 + 3 * count || width == 0 || height == 0)
                return std::nullopt;
            layout.size = QSize(width, height);
            layout.progressive = isProgressiveFrame(marker);
            for (int i = 0; i < count; ++i) {
                const int sampling = byteAt(bytes, at + 8 + 3 * i + 1);
                layout.components.append({qBound(1, sampling >> 4, 4), qBound(1, sampling & 0x0F, 4)});
            }
            framed = true;
        }
        if (isKeptMetadata(marker)) {
            show(layout.shown, shownFrom, markerAt - shownFrom);
            shownFrom = at + length;
        }
        at += length;
        if (marker == 0xDA) {
            ++layout.scans;
            at = endOfCodedData(bytes, at);
        }
    }
    if (!framed)
        return std::nullopt;
    show(layout.shown, shownFrom, bytes.size() - shownFrom);
    return layout;
}

qint64 jpegDecodingBytes(const JpegLayout& layout, const QSize& target) {
    const qint64 width = layout.size.width();
    const qint64 height = layout.size.height();
    if (width <= 0 || height <= 0)
        return -1;
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
    // Qt's reader asks it to.
    int eighths = 8;
    if (target.isValid() && !target.isEmpty()) {
        const double factor = qMin(double(width) / target.width(), double(height) / target.height());
        const double wanted = 8 / factor;
        eighths = wanted >= 8 ? 8 : qBound(1, qCeil(wanted), 8);
    }
    const QSize reduced(int((width * eighths + 7) / 8), int((height * eighths + 7) / 8));
    // Four bytes a pixel for colour; a grey image is one byte a pixel,
    // turned into four to be scaled.
    const bool grey = layout.components.size() == 1;
    const qint64 image = imageBytes(reduced, grey ? 8 : 32);
    const qint64 converted = grey && scaledTo(reduced, target) ? imageBytes(reduced, 32) : 0;
    return coefficients + image + converted;
}

std::optional<Picture> readPicture(const QByteArray& bytes, const QByteArray& format) {
    Picture picture;
    if (format == "jpeg") {
        std::optional<JpegLayout> layout = jpegLayout(bytes);
        if (!layout)
            return std::nullopt;
        picture.size = layout->size;
        picture.scans = layout->scans;
        picture.shown = layout->shown;
        picture.layout = std::move(*layout);
    } else if (format == "png") {
        std::optional<PngLayout> layout = pngLayout(bytes);
        if (!layout)
            return std::nullopt;
        picture.size = layout->size;
        picture.shown = layout->shown;
        picture.layout = std::move(*layout);
    } else if (format == "gif") {
        const std::optional<GifLayout> layout = gifLayout(bytes);
        if (!layout)
            return std::nullopt;
        picture.size = layout->canvas;
        picture.shown.append({0, bytes.size()});
        picture.layout = *layout;
    } else if (format == "bmp") {
        const std::optional<BmpLayout> layout = bmpLayout(bytes);
        if (!layout)
            return std::nullopt;
        picture.size = layout->size;
        picture.shown.append({0, bytes.size()});
        picture.layout = *layout;
    } else {
        return std::nullopt;
    }
    return picture;
}

qint64 decodingBytes(const Picture& picture, const QSize& target) {
    if (const auto* jpeg = std::get_if<JpegLayout>(&picture.layout))
        return jpegDecodingBytes(*jpeg, target);
    if (const auto* png = std::get_if<PngLayout>(&picture.layout))
        return pngDecodingBytes(*png, target);
    if (const auto* gif = std::get_if<GifLayout>(&picture.layout))
        return gifDecodingBytes(*gif, target);
    return bmpDecodingBytes(std::get<BmpLayout>(picture.layout), target);
}

} // namespace PictureCost
