#pragma once

#include <QByteArray>
#include <QSize>
#include <QVector>
#include <optional>

// What decoding a picture would take, read from its header before any pixel
// is decoded. A small file can ask for a lot: a 16-bit PNG holds eight bytes
// a pixel, and a progressive JPEG keeps every coefficient of the whole image
// (two bytes a sample, full size) however small the picture it is decoded
// to; a JPEG can also repeat scans, each one a pass over the whole image.
// Pure functions of the file's bytes.
namespace PictureCost {

// The frame and scans of a JPEG file, from its markers.
struct JpegLayout {
    QSize size;
    bool progressive = false;
    // Sampling factors of each component (one for grey, three for colour, four for CMYK).
    struct Component {
        int horizontal = 1;
        int vertical = 1;
    };
    QVector<Component> components;
    // Start-of-scan markers in the whole file; ordinary encoders write at
    // most a few dozen.
    int scans = 0;
};

// Walks the markers of a JPEG file (skipping the coded data of each scan);
// nothing when it has no frame header or a broken one.
std::optional<JpegLayout> jpegLayout(const QByteArray& bytes);

// The bytes a decoder holds at once for a JPEG of layout decoded for a
// picture of target: the image reduced by n/8 towards target, plus, for a
// file of more than one scan, the coefficients of every block.
qint64 jpegDecodingBytes(const JpegLayout& layout, const QSize& target);

// The bytes a decoder holds at once for a picture of format ("png", "jpeg",
// "gif" or "bmp") whose header declares size, decoded for a picture of
// target (any size when target is empty): the whole image for the formats
// that are decoded at full size, the reduced image and any whole-image
// coefficient buffer for a JPEG. -1 when the header cannot be read.
qint64 decodingBytes(const QByteArray& bytes, const QByteArray& format, const QSize& size,
                     const QSize& target);

} // namespace PictureCost
